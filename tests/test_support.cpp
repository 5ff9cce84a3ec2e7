#include "test_support.h"

#include <QDir>
#include <QUuid>

namespace tj::test {

QString homeFolder()
{
    return QDir::homePath();
}

QString freshFolder(const QString &prefix)
{
    const QString path = homeFolder() + QStringLiteral("/tmp/") + prefix + QLatin1Char('-')
        + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDir().mkpath(path);
    return path;
}

QString WriteTestPicture(int width, int height, const QString &name)
{
    const QString path = QDir(freshFolder(QStringLiteral("pictures"))).filePath(name);
    EXPECT_TRUE(MakeTestPicture(width, height).convertToFormat(QImage::Format_RGB32).save(path, nullptr, 90))
        << path.toStdString();
    return path;
}

}
