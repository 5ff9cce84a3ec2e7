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


}
