#include "app/jp_website_puzzles.h"

#include "imaging/image_decode.h"
#include "play/jp_pref_controller.h"
#include "services/jp_website_downloader.h"
#include "services/website_catalogue.h"
#include "support/cc_unzipper.h"
#include "support/helpers.h"
#include "support/log.h"
#include "support/paths.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <QSet>

#include <utility>

namespace {

const QString kCatalogueName = QStringLiteral("website.plist");
const QString kThumbnailFolderName = QStringLiteral("!Website Thumbnails");
const QString kDownloadFailed = QStringLiteral("Website download failed.");
const QString kPictureFailed = QStringLiteral(
    "The puzzle \"%1\" could not be downloaded from the Wrenmoor website. Please check your Internet connection, "
    "or try another puzzle.");
const QString kCatalogueFailed = QStringLiteral(
    "I could not determine which puzzles are available on the Wrenmoor website. Please check your Internet "
    "connection, or try again later.");

// At most limit + 1 bytes, so the caller can tell an oversized file.
std::optional<QByteArray> readFile(const QString &path, qint64 limit)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray data = file.read(limit + 1);
    if (data.size() > limit)
        return std::nullopt;
    return data;
}

// Writes a new file, never through whatever (a link, say) already stands at path.
bool writeNewFile(const QString &path, const QByteArray &data)
{
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.close();
        file.remove();
        return false;
    }
    return true;
}

bool hasJpgExtension(const QString &name)
{
    return pathExtension(name) == QLatin1String("jpg");
}

// A whole JPEG whose header gives a picture size.
bool isJpegPicture(const QByteArray &data)
{
    if (!IsCompleteJpeg(data))
        return false;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    const QSize size = reader.size();
    return size.isValid() && !size.isEmpty();
}

}

JPWebsitePuzzles::JPWebsitePuzzles(JPPrefController *prefs, QString supportFolder, QObject *parent)
    : QObject(parent)
    , m_prefs(prefs)
    , m_supportFolder(std::move(supportFolder))
{
}

JPWebsitePuzzles::~JPWebsitePuzzles()
{
    ++m_downloadSeq;
    if (m_currentDownload) {
        m_currentDownload->disconnect(this);
        m_currentDownload->cancel();
    }
}

QString JPWebsitePuzzles::catalogueFile() const
{
    return QDir(m_supportFolder).filePath(kCatalogueName);
}

QString JPWebsitePuzzles::thumbnailFolder() const
{
    return QDir(m_supportFolder).filePath(kThumbnailFolderName);
}

QString JPWebsitePuzzles::localPictureFolder()
{
    return QDir::homePath() + QStringLiteral("/!Midden/Jigsaw Photos");
}

QImage JPWebsitePuzzles::thumbnailFor(const PuzzleCandidate &candidate) const
{
    if (!IsPlainFileName(candidate.file))
        return QImage();
    QImageReader reader(QDir(thumbnailFolder()).filePath(WebsiteThumbnailName(candidate.file)));
    reader.setAutoTransform(true);
    return reader.read();
}

void JPWebsitePuzzles::identifyWebsitePuzzles(QList<PuzzleCandidate> &candidates)
{
    const bool archiveStored = !m_prefs->websiteZipName().isEmpty();
    const bool current = QFileInfo(catalogueFile()).isFile()
        && ((archiveStored && m_prefs->lastWebsiteDate() == DayIndexForToday())
            || (!archiveStored && m_justLoadedPlist));
    if (!current) {
        downloadFile(kCatalogueName);
        return;
    }
    // A current catalogue is never fetched again here: one without pictures would otherwise
    // be downloaded over and over.
    const std::optional<WebsiteCatalogue> catalogue = ReadWebsiteCatalogue(catalogueFile());
    if (!catalogue || catalogue->pictures.isEmpty()) {
        LogString(QStringLiteral("Couldn't load website.plist"));
        return;
    }
    for (const QVariantMap &picture : catalogue->pictures)
        candidates.append(PuzzleCandidate::fromPropertyList(picture));
    if (catalogue->archiveName.isEmpty())
        return;
    const bool newArchive = catalogue->archiveName != m_prefs->websiteZipName();
    if (!newArchive && thumbnailCount() >= catalogue->pictures.size())
        return;
    downloadFile(catalogue->archiveName + QStringLiteral(".zip"));
}

void JPWebsitePuzzles::downloadFile(const QString &name, const PuzzleCandidate &candidate)
{
    if (m_prefs->advancedAndLocal() && downloadLocalFile(name, candidate))
        return;
    ++m_downloadSeq;
    dropCurrentDownload();
    m_loadingWebsiteInfo = name.endsWith(QLatin1String("plist"));
    if (m_loadingWebsiteInfo)
        Q_EMIT reloadGrid();

    const QString fileName = candidate.cat.isEmpty() ? name : candidate.cat + QLatin1Char('/') + name;
    auto *download = new JPWebsiteDownloader(fileName, candidate.puzzleDict(), m_downloadSeq, this);
    if (m_timeout)
        download->setTimeout(*m_timeout);
    connect(download, &CCAppUpdaterThread::finished, this,
            [this, download](bool success) { downloadFinished(download, success); });
    m_currentDownload = download;
    m_downloadCandidate = candidate;
    download->start();
    Q_EMIT spinnerChanged(true);
}

bool JPWebsitePuzzles::downloadLocalFile(const QString &name, const PuzzleCandidate &candidate)
{
    const QString &cat = candidate.cat;
    if (!IsPlainFileName(name) || (!cat.isEmpty() && !IsPlainFileName(cat)))
        return false;
    QString source = localPictureFolder();
    if (!cat.isEmpty())
        source += QLatin1Char('/') + cat;
    source += QLatin1Char('/') + name;
    if (!QFileInfo(source).isFile())
        return false;
    const QString copy = QDir::temp().filePath(stringByAppendingFile(QString(), guidString(), pathExtension(name)));
    if (!QFile::copy(source, copy))
        return false;
    didDownloadFile(name, copy, candidate);
    return true;
}

void JPWebsitePuzzles::cancelDownload()
{
    ++m_downloadSeq;
    const bool wasRunning = m_currentDownload != nullptr;
    dropCurrentDownload();
    m_loadingWebsiteInfo = false;
    if (wasRunning)
        Q_EMIT spinnerChanged(false);
}

void JPWebsitePuzzles::dropCurrentDownload()
{
    if (!m_currentDownload)
        return;
    JPWebsiteDownloader *download = m_currentDownload;
    m_currentDownload = nullptr;
    download->disconnect(this);
    download->cancel();
    download->deleteLater();
}

void JPWebsitePuzzles::downloadFinished(JPWebsiteDownloader *download, bool success)
{
    if (download != m_currentDownload || download->sequence() != m_downloadSeq)
        return;
    m_currentDownload = nullptr;
    const PuzzleCandidate candidate = std::exchange(m_downloadCandidate, {});
    download->deleteLater();
    m_loadingWebsiteInfo = false;
    Q_EMIT spinnerChanged(false);

    if (success && !download->downloadPath().isEmpty()) {
        didDownloadFile(download->fileName(), download->downloadPath(), candidate);
        return;
    }
    Q_EMIT reloadGrid();
    if (download->fileName().endsWith(QLatin1String("jpg"))) {
        Q_EMIT downloadFailed(kDownloadFailed, kPictureFailed.arg(candidate.name));
    } else {
        Q_EMIT downloadFailed(kDownloadFailed, kCatalogueFailed);
    }
}

void JPWebsitePuzzles::didDownloadFile(const QString &name, const QString &path, const PuzzleCandidate &candidate)
{
    const QString extension = pathExtension(name);
    if (extension == QLatin1String("plist")) {
        installCatalogue(path);
    } else if (extension == QLatin1String("zip")) {
        installThumbnails(name, path);
    } else if (extension == QLatin1String("jpg")) {
        installPicture(path, candidate);
    } else {
        QFile::remove(path);
    }
}

void JPWebsitePuzzles::installCatalogue(const QString &path)
{
    const std::optional<QByteArray> data = readFile(path, CCAppUpdaterThread::kPageSizeLimit);
    QFile::remove(path);
    // The old catalogue stays until a new one has proved readable.
    if (!data || !PropertyListArrayFromData(*data)) {
        LogString(QStringLiteral("Couldn't load website.plist"));
        Q_EMIT reloadGrid();
        return;
    }
    QDir().mkpath(m_supportFolder);
    QSaveFile target(catalogueFile());
    if (!target.open(QIODevice::WriteOnly) || target.write(*data) != data->size() || !target.commit()) {
        LogString(QStringLiteral("Can't move download \"%1\" to \"%2\"").arg(path, catalogueFile()));
        Q_EMIT reloadGrid();
        return;
    }
    m_prefs->setLastWebsiteDate(DayIndexForToday());
    m_justLoadedPlist = true;
    Q_EMIT catalogueLoaded();
    m_justLoadedPlist = false;
}

void JPWebsitePuzzles::installThumbnails(const QString &name, const QString &path)
{
    std::unique_ptr<CCUnzipper> archive = CCUnzipper::initWithFile(path);
    // The new thumbnails are unpacked beside the old ones first: an archive that yields none
    // must not cost the thumbnails in place.
    const QString staging = QDir(m_supportFolder).filePath(QStringLiteral(".thumbnails.unpacking"));
    QDir(staging).removeRecursively();
    QSet<QString> unpackedNames;
    if (archive && QDir().mkpath(staging)) {
        uint64_t unpacked = 0;
        for (uint64_t i = archive->numberOfFiles(); i-- > 0;) {
            const std::optional<CCUnzipper::Entry> entry = archive->entryAtIndex(i);
            if (!entry || !hasJpgExtension(entry->path))
                continue;
            const QString leaf = SafeLastPathComponent(entry->path);
            if (!hasJpgExtension(leaf) || entry->orig > kMaxThumbnailSize
                || unpacked + entry->orig > kMaxThumbnailBytes)
                continue;
            const std::optional<QByteArray> data = archive->copyDataOfFileAtIndex(i, kMaxThumbnailSize);
            if (!data || !isJpegPicture(*data) || !writeNewFile(QDir(staging).filePath(leaf), *data))
                continue;
            unpacked += uint64_t(data->size());
            unpackedNames.insert(leaf);
        }
    }
    archive.reset();
    QFile::remove(path);
    if (unpackedNames.isEmpty()) {
        LogString(QStringLiteral("Thumbnail archive \"%1\" holds no usable thumbnail").arg(name));
        QDir(staging).removeRecursively();
        Q_EMIT reloadGrid();
        return;
    }

    m_prefs->setWebsiteZipName(stringByDeletingPathExtension(name));
    const QDir folder(thumbnailFolder());
    QDir().mkpath(folder.path());
    const QStringList present = folder.entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString &file : present) {
        if (hasJpgExtension(file))
            QFile::remove(folder.filePath(file));
    }
    for (const QString &leaf : unpackedNames)
        QFile::rename(QDir(staging).filePath(leaf), folder.filePath(leaf));
    QDir(staging).removeRecursively();
    Q_EMIT reloadGrid();
}

void JPWebsitePuzzles::installPicture(const QString &path, const PuzzleCandidate &candidate)
{
    QString picture = path;
    if (pathExtension(path) != QLatin1String("jpg")) {
        const QString renamed = stringByReplacingExtension(path, QStringLiteral("jpg"));
        QFile::remove(renamed);
        if (QFile::rename(path, renamed))
            picture = renamed;
    }
    Q_EMIT pictureReady(picture, candidate);
}

qsizetype JPWebsitePuzzles::thumbnailCount() const
{
    const QStringList files = QDir(thumbnailFolder()).entryList(QDir::Files);
    return std::count_if(files.cbegin(), files.cend(), hasJpgExtension);
}
