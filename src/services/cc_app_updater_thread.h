#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>

// One HTTP GET on a thread of its own, with its own network manager and event loop, written
// to a file. Everything the owner sees happens on the thread that created the object: the
// signals, the hooks below and every change of state, so a download that was cancelled or
// abandoned can never act. Destroying a running download cancels it and waits for its thread.
//
// A download fails (and leaves no file behind) on a network error, a status outside 200-299,
// more than maximumSize() bytes, a body shorter than its declared length, or no data for
// timeout(). Redirects are followed up to kMaximumRedirects times, never from https to http.
//
// In check mode (checkRequest) the finished file is handed to examineDownload() and then
// removed; downloadPath() is whatever that hook set. Otherwise downloadPath() is the file.
class CCAppUpdaterThread : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kPageTimeout{30'000};
    static constexpr std::chrono::milliseconds kUpdateTimeout{600'000};
    static constexpr qint64 kPageSizeLimit = 16 * 1024 * 1024;
    static constexpr qint64 kFileSizeLimit = 64 * 1024 * 1024;
    static constexpr int kMaximumRedirects = 5;

    // checkRequest: a version check (30 s, 16 MiB); otherwise an update download (600 s, 64 MiB).
    CCAppUpdaterThread(const QUrl &address, bool checkRequest, QObject *parent = nullptr);
    ~CCAppUpdaterThread() override;
    CCAppUpdaterThread(const CCAppUpdaterThread &) = delete;
    CCAppUpdaterThread &operator=(const CCAppUpdaterThread &) = delete;

    // Both take effect at start().
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }
    void setMaximumSize(qint64 bytes) { m_maximumSize = bytes; }
    qint64 maximumSize() const { return m_maximumSize; }

    const QUrl &address() const { return m_address; }
    bool checkRequest() const { return m_checkRequest; }

    // Decides the destination and starts the thread. Runs once; a download that can't start
    // reports finished(false) from the event loop.
    void start();
    // Stops the transfer and waits for the thread; the file is removed and finished(false)
    // follows from the event loop. Does nothing once the download has finished.
    void cancel();

    bool isExecuting() const { return m_state == State::Executing; }
    bool isFinished() const { return m_state == State::Finished; }
    bool wasSuccessful() const { return m_success; }
    bool isCancelled() const { return m_cancelled; }
    // The file being written, then the finished file; empty after a failure.
    const QString &downloadPath() const { return m_downloadPath; }
    // The version a check found (major, minor, patch), as set by examineDownload().
    const std::array<int, 3> &downloadVersion() const { return m_downloadVersion; }
    // "Content-Length" of the response (0 when absent) and the bytes received so far.
    qint64 totalLength() const { return m_totalLength.load(); }
    qint64 doneLength() const { return m_doneLength.load(); }
    // Why the download failed; empty after a success.
    const QString &errorString() const { return m_errorString; }

Q_SIGNALS:
    void finished(bool success);
    void progressed(qint64 done, qint64 total);

protected:
    // Where the data goes, asked once by start(); empty fails the download. The file is
    // written beside it and put in its place only when complete. Default: a fresh GUID name
    // in the temporary folder.
    virtual QString decideDestination(const QString &suggestedFilename);
    // Check mode only, after a complete download: false fails it. Default: success.
    virtual bool examineDownload(const QString &path);

    void setDownloadPath(const QString &path) { m_downloadPath = path; }
    void setDownloadVersion(const std::array<int, 3> &version) { m_downloadVersion = version; }

private:
    class Runner;
    enum class State { Ready, Executing, Finished };

    void complete(bool success, const QString &error);
    void reportProgress();
    void stopRunner();
    void finishQueued(bool success);

    const QUrl m_address;
    const bool m_checkRequest;
    std::chrono::milliseconds m_timeout;
    qint64 m_maximumSize;
    State m_state = State::Ready;
    bool m_success = false;
    bool m_cancelled = false;
    QString m_downloadPath;
    QString m_errorString;
    std::array<int, 3> m_downloadVersion{0, 0, 0};
    std::atomic<qint64> m_totalLength{0};
    std::atomic<qint64> m_doneLength{0};
    std::atomic<bool> m_progressPending{false};
    std::unique_ptr<Runner> m_runner;
};

// Fetches the maker's news page into a fresh GUID file with the extension "html" in the
// temporary folder (30 s, 16 MiB).
class CCNewsUpdaterThread : public CCAppUpdaterThread
{
    Q_OBJECT

public:
    explicit CCNewsUpdaterThread(QObject *parent = nullptr);

protected:
    CCNewsUpdaterThread(const QUrl &address, QObject *parent);
    QString decideDestination(const QString &suggestedFilename) override;
};
