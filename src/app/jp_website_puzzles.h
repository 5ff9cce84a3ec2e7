#pragma once

#include "app/puzzle_candidate.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

class JPPrefController;
class JPWebsiteDownloader;

// The website source of the new-puzzle dialog: decides when the catalogue and the thumbnail
// archive must be fetched, runs one download at a time and installs what arrives. The dialog
// owns it and turns its signals into grid reloads, alerts and the choice of a picture.
// Main thread only. A download's result is used only while it is the current one: every new
// download, cancelDownload() and destruction raise the sequence number, so a late completion
// is ignored.
class JPWebsitePuzzles : public QObject
{
    Q_OBJECT

public:
    // No thumbnail in the archive may unpack to more than this, nor all of them together to
    // more than the second figure.
    static constexpr uint64_t kMaxThumbnailSize = 16 * 1024 * 1024;
    static constexpr uint64_t kMaxThumbnailBytes = 256 * 1024 * 1024;

    JPWebsitePuzzles(JPPrefController *prefs, QString supportFolder, QObject *parent = nullptr);
    ~JPWebsitePuzzles() override;

    // Appends the catalogue's pictures when the stored catalogue is current, and fetches the
    // catalogue or the thumbnail archive when they are due.
    void identifyWebsitePuzzles(QList<PuzzleCandidate> &candidates);
    // Fetches "website.plist", "NAME.zip" or a picture "FILE.jpg" (from the candidate's
    // category folder); with advancedAndLocal the local picture folder is tried first.
    void downloadFile(const QString &name, const PuzzleCandidate &candidate = {});
    // Copies the name from the local picture folder (in the candidate's "cat" subfolder)
    // into the temporary folder and installs it as if downloaded; false when it isn't there.
    bool downloadLocalFile(const QString &name, const PuzzleCandidate &candidate);
    void cancelDownload();

    bool loadingWebsiteInfo() const { return m_loadingWebsiteInfo; }
    bool justLoadedPlist() const { return m_justLoadedPlist; }
    bool isDownloading() const { return m_currentDownload != nullptr; }

    QString catalogueFile() const;
    QString thumbnailFolder() const;
    // The candidate's thumbnail from the thumbnail folder; null when missing or unreadable.
    QImage thumbnailFor(const PuzzleCandidate &candidate) const;
    // "~/!Midden/Jigsaw Photos", the advanced user's copy of the website's pictures.
    static QString localPictureFolder();

    // Replaces the downloads' no-data time-out; for tests.
    void setDownloadTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

Q_SIGNALS:
    void spinnerChanged(bool running);
    void reloadGrid();
    // A new catalogue is in place: the dialog reloads the website source now, while
    // justLoadedPlist() is true.
    void catalogueLoaded();
    void pictureReady(const QString &path, const PuzzleCandidate &candidate);
    void downloadFailed(const QString &message, const QString &information);

private:
    void downloadFinished(JPWebsiteDownloader *download, bool success);
    void dropCurrentDownload();
    void didDownloadFile(const QString &name, const QString &path, const PuzzleCandidate &candidate);
    void installCatalogue(const QString &path);
    void installThumbnails(const QString &name, const QString &path);
    void installPicture(const QString &path, const PuzzleCandidate &candidate);
    qsizetype thumbnailCount() const;

    JPPrefController *const m_prefs;
    const QString m_supportFolder;
    JPWebsiteDownloader *m_currentDownload = nullptr; // a child of this object
    PuzzleCandidate m_downloadCandidate; // the picture m_currentDownload fetches
    uint64_t m_downloadSeq = 0;
    bool m_loadingWebsiteInfo = false;
    bool m_justLoadedPlist = false;
    std::optional<std::chrono::milliseconds> m_timeout;
};
