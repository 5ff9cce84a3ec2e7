#include "support/cc_logger.h"

#include "support/cc_kernel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

namespace {

constexpr qint64 kMinShortenSize = 8192;
constexpr qint64 kBlockSize = 4096;
// How far past the midpoint a line boundary is looked for.
constexpr qint64 kNewlineSearchSpan = 4 * kBlockSize;

// Per thread, so a record logged from inside the logger (for example by a message handler
// the write path triggers) is dropped instead of deadlocking on the logger's own lock.
thread_local bool t_insideLogger = false;

class InsideLoggerScope
{
public:
    InsideLoggerScope() { t_insideLogger = true; }
    ~InsideLoggerScope() { t_insideLogger = false; }
    InsideLoggerScope(const InsideLoggerScope &) = delete;
    InsideLoggerScope &operator=(const InsideLoggerScope &) = delete;
};

class FileLock
{
public:
    explicit FileLock(int fd)
        : m_fd(fd)
    {
        while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FileLock() { flock(m_fd, LOCK_UN); }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

private:
    int m_fd;
};

bool writeAll(int fd, const char *data, qint64 length, off_t offset)
{
    while (length > 0) {
        const ssize_t written = pwrite(fd, data, size_t(length), offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        length -= written;
        offset += written;
    }
    return true;
}

ssize_t readSome(int fd, char *buffer, qint64 length, off_t offset)
{
    ssize_t got;
    do {
        got = pread(fd, buffer, size_t(length), offset);
    } while (got < 0 && errno == EINTR);
    return got;
}

qint64 fileSize(int fd)
{
    struct stat info;
    return fstat(fd, &info) == 0 ? qint64(info.st_size) : -1;
}

QByteArray recordPrefix()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return QString::asprintf("%d-%02d-%02d %02d:%02d:%02d ", date.year(), date.month(), date.day(), time.hour(),
                             time.minute(), time.second())
               .toUtf8()
        + kBundleIdentifier + ' ';
}

}

bool ShortenLogFile(int fd)
{
    const qint64 size = fileSize(fd);
    if (size < kMinShortenSize)
        return false;
    char buffer[kBlockSize];
    const qint64 middle = size / 2;
    qint64 cut = middle;
    for (qint64 offset = middle; offset < std::min(middle + kNewlineSearchSpan, size);) {
        const ssize_t got = readSome(fd, buffer, std::min(kBlockSize, middle + kNewlineSearchSpan - offset), offset);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (const char *newline = static_cast<const char *>(memchr(buffer, '\n', size_t(got)))) {
            cut = offset + (newline - buffer) + 1;
            break;
        }
        offset += got;
    }
    qint64 target = 0;
    for (qint64 source = cut; source < size;) {
        const ssize_t got = readSome(fd, buffer, std::min(kBlockSize, size - source), source);
        if (got <= 0)
            return false;
        if (!writeAll(fd, buffer, got, target))
            return false;
        source += got;
        target += got;
    }
    return ftruncate(fd, target) == 0;
}

void WriteToSystemLog(const QString &message)
{
    const QByteArray text = message.toUtf8();
    std::fprintf(stderr, "%s: %s\n", kBundleIdentifier, text.constData());
    syslog(LOG_NOTICE, "%s", text.constData());
}

CCLogger *CCLogger::sharedInstance()
{
    static CCLogger *const logger = [] {
        auto *created = new CCLogger(defaultLogPath());
        // Connected with the application as context so the file is closed on the main thread
        // even when the first record came from another one.
        if (QCoreApplication *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, [created] { created->close(); });
        return created;
    }();
    return logger;
}

QString CCLogger::defaultLogPath()
{
    // Qt 6.4 has no standard location for state files; an unset or relative value means the
    // default, as the XDG base-directory rules say.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Wrenmoor/") + QLatin1String(kBundleIdentifier) + QStringLiteral(".log");
}

CCLogger::CCLogger(QString path)
    : m_path(std::move(path))
{
}

CCLogger::~CCLogger()
{
    close();
}

void CCLogger::close()
{
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void CCLogger::setRecordHookForTesting(std::function<void()> hook)
{
    std::lock_guard lock(m_mutex);
    m_recordHook = std::move(hook);
}

void CCLogger::logString(const QString &message)
{
    if (t_insideLogger)
        return;
    InsideLoggerScope inside;
    std::lock_guard lock(m_mutex);
    const QByteArray record = recordPrefix() + message.toUtf8() + '\n';
    if (!appendLocked(record)) {
        WriteToSystemLog(message);
        return;
    }
    if (m_recordHook)
        m_recordHook();
}

bool CCLogger::openLocked()
{
    if (m_fd >= 0)
        return true;
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    return m_fd >= 0;
}

bool CCLogger::appendLocked(const QByteArray &record)
{
    if (!openLocked())
        return false;
    FileLock fileLock(m_fd);
    qint64 size = fileSize(m_fd);
    if (size >= kMaxLogSize) {
        if (!ShortenLogFile(m_fd))
            return false;
        size = fileSize(m_fd);
    }
    if (size < 0 || !writeAll(m_fd, record.constData(), record.size(), off_t(size)))
        return false;
    fdatasync(m_fd);
    return true;
}
