#include "services/cc_update_threads.h"

#include "services/version_check.h"
#include "support/helpers.h"
#include "support/log.h"
#include "support/paths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

CCUpdateCheckThread::CCUpdateCheckThread(const QUrl &page, QString executableName, QString versionText, QObject *parent)
    : CCAppUpdaterThread(page, true, parent)
    , m_executableName(std::move(executableName))
    , m_versionText(std::move(versionText))
{
}

bool CCUpdateCheckThread::examineDownload(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const std::optional<VersionCheckResult> result =
        checkForNewVersion(file.read(maximumSize()), m_executableName, m_versionText);
    if (!result)
        return false;
    if (!result->updateLink.isEmpty())
        setDownloadPath(QStringLiteral("%1/%2").arg(address().toString(), result->updateLink));
    setDownloadVersion({result->version.major, result->version.minor, result->version.patch});
    return true;
}

CCUpdateDownloadThread::CCUpdateDownloadThread(const QUrl &address, QString folder, QObject *parent)
    : CCAppUpdaterThread(address, false, parent)
    , m_folder(std::move(folder))
{
}

QString CCUpdateDownloadThread::downloadsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return QString();
    return folder;
}

QString CCUpdateDownloadThread::updateFileName(const QString &suggested, const QString &folder)
{
    const QString last = suggested.mid(suggested.lastIndexOf(QLatin1Char('/')) + 1);
    const QString extension = pathExtension(last).toLower();
    if (extension != QLatin1String("dmg") && extension != QLatin1String("zip"))
        return QString();
    QString base = stringByDeletingPathExtension(last);
    // Dots would read as extensions; a name of only dots would make a hidden file.
    base.remove(QLatin1Char('.'));
    if (base.trimmed().isEmpty())
        base = QStringLiteral("update");
    return UniqueName(base, extension, folder);
}

QString CCUpdateDownloadThread::decideDestination(const QString &suggestedFilename)
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder)) {
        LogString(QStringLiteral("Can't find or create download folder"));
        return QString();
    }
    const QString name = updateFileName(suggestedFilename, m_folder);
    if (name.isEmpty()) {
        LogString(QStringLiteral("Download %1 refused: \"%2\" is no disk image or archive")
                      .arg(address().toDisplayString(), suggestedFilename));
        return QString();
    }
    return QDir(m_folder).filePath(name);
}
