#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <mutex>

// The application log: one file that records are appended to, halved at a line boundary once
// it reaches kMaxLogSize. Safe from any thread: every file access runs under the logger's
// lock (and an advisory file lock, so two running copies of the game do not interleave).
class CCLogger
{
public:
    static constexpr qint64 kMaxLogSize = 4194304;

    // The process-wide logger writing to defaultLogPath(), created on first use and never
    // destroyed; its file is closed when the application is about to quit.
    static CCLogger *sharedInstance();
    // $XDG_STATE_HOME (or ~/.local/state) + "/Wrenmoor/com.wrenmoor.tobbin-jigsaw.log".
    static QString defaultLogPath();

    // The file and its folder are created on the first record, not here.
    explicit CCLogger(QString path);
    ~CCLogger();
    CCLogger(const CCLogger &) = delete;
    CCLogger &operator=(const CCLogger &) = delete;

    // Appends "YYYY-MM-DD hh:mm:ss com.wrenmoor.tobbin-jigsaw <message>\n". A record logged
    // by a thread that is already inside a logger is dropped; other threads wait their turn.
    // When the file can't be opened, written or shortened the record goes to the system log.
    void logString(const QString &message);
    // Closes the file; the next record opens it again.
    void close();
    QString path() const { return m_path; }

    // Runs inside the lock after every record written to the file, so tests can re-enter.
    void setRecordHookForTesting(std::function<void()> hook);

private:
    bool openLocked();
    bool appendLocked(const QByteArray &record);

    const QString m_path;
    std::mutex m_mutex;
    int m_fd = -1;
    std::function<void()> m_recordHook;
};

// Halves the log file open as fd (size S): keeps everything after the first newline within
// 16,384 bytes from S/2, or from S/2 itself when there is none there. Fails when S is below
// 8192 or on any read or write error.
bool ShortenLogFile(int fd);

// The fallback for records the log file can't take: standard error and syslog.
void WriteToSystemLog(const QString &message);
