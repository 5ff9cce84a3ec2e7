#include "support/paths.h"

#include "support/cc_unzipper.h"
#include "support/helpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool existsIn(const QString &folder, const QString &name)
{
    return QFileInfo::exists(folder + QLatin1Char('/') + name);
}

}

QString UniqueName(const QString &rawName, const QString &rawExtension, const QString &folder)
{
    QString name = rawName;
    name.remove(QLatin1Char('/'));
    name.remove(QLatin1Char(':'));
    if (name.isEmpty())
        name = QStringLiteral("untitled");

    QString extension = rawExtension;
    if (!extension.isEmpty()) {
        if (extension.compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0) {
            const QString own = pathExtension(name);
            if (!own.isEmpty()) {
                extension = own + QStringLiteral(".zip");
                name = stringByDeletingPathExtension(name);
            }
        }
        name.remove(QLatin1Char('.'));
    }

    const auto withExtension = [&extension](const QString &base) {
        return extension.isEmpty() ? base : base + QLatin1Char('.') + extension;
    };
    QString candidate = withExtension(name);
    if (!existsIn(folder, candidate))
        return candidate;
    for (int i = 1; i <= 99; ++i) {
        candidate = withExtension(name + QLatin1Char('-') + QString::number(i));
        if (!existsIn(folder, candidate))
            return candidate;
    }
    return withExtension(guidString());
}

bool IsPlainFileName(const QString &name)
{
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) && SafeLastPathComponent(name) == name;
}

QString ResourcePath(const QString &relativePath)
{
    // Names come from stored settings and catalogues too: never leave the resource folder.
    if (relativePath.isEmpty() || relativePath.startsWith(QLatin1Char('/'))
        || relativePath.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return QString();
    QStringList roots;
    const QByteArray overridden = qgetenv("TOBBIN_RESOURCES");
    if (!overridden.isEmpty())
        roots << QString::fromLocal8Bit(overridden);
    bool installed = false;
    if (QCoreApplication::instance()) {
        const QString appDir = QCoreApplication::applicationDirPath();
        const QString shared = appDir + QStringLiteral("/../share/tobbin-jigsaw");
        // An installed game uses its own resources only: a file missing there must show up as
        // missing, not be taken from another installation or the tree it was built from.
        installed = QFileInfo(shared).isDir();
        roots << shared;
        if (!installed)
            roots << appDir + QStringLiteral("/resources");
    }
    if (!installed)
        roots << QStringLiteral(TJ_INSTALL_RESOURCES) << QStringLiteral(TJ_SOURCE_RESOURCES);
    for (const QString &root : roots) {
        const QString candidate = QDir::cleanPath(root + QLatin1Char('/') + relativePath);
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return QString();
}

QString PathForUserFolder(UserFolderKind kind)
{
    const QStandardPaths::StandardLocation location =
        kind == CachesFolder ? QStandardPaths::GenericCacheLocation : QStandardPaths::GenericDataLocation;
    const QString path = QStandardPaths::writableLocation(location);
    if (path.isEmpty() || !QDir().mkpath(path))
        return QString();
    return path;
}

QString HomeFolderPath()
{
    static const QString home = QDir::homePath();
    return home;
}

QString AbbreviateHome(const QString &path)
{
    const QString home = HomeFolderPath();
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

QString ExpandTilde(const QString &path)
{
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        return HomeFolderPath() + path.mid(1);
    return path;
}
