#include "services/jp_website_downloader.h"

#include "services/wrenmoor_server.h"
#include "support/helpers.h"

#include <QDir>

JPWebsiteDownloader::JPWebsiteDownloader(const QString &fileName, const QVariantMap &puzzleDict, uint64_t sequence,
                                         QObject *parent)
    : CCNewsUpdaterThread(addressForFileName(fileName), parent)
    , m_fileName(fileName)
    , m_puzzleDict(puzzleDict)
    , m_sequence(sequence)
{
    if (pathExtension(fileName) == QLatin1String("jpg"))
        setMaximumSize(kFileSizeLimit);
}

QUrl JPWebsiteDownloader::addressForFileName(const QString &fileName)
{
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('\\')))
        return QUrl();
    const QStringList parts = fileName.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return QUrl();
    }
    return WrenmoorServerUrl(QString::fromLatin1(kPuzzlesPath) + fileName);
}

QString JPWebsiteDownloader::decideDestination(const QString &)
{
    const QString extension = pathExtension(m_fileName.section(QLatin1Char('/'), -1));
    return QDir::temp().filePath(stringByAppendingFile(QString(), guidString(), extension));
}
