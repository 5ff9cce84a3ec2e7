#include "services/cc_log_collector.h"

#include "support/cc_alert.h"
#include "support/cc_kernel.h"
#include "support/cc_logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <filesystem>

namespace {

// A crash report past this is cut at a line end; a mail or the clipboard can't carry more.
constexpr qint64 kMaxReportBytes = 1 << 20;
constexpr qint64 kMaxCrashBytes = 8 << 20;
// The game's log never grows past this for long; only the newest part of a system log counts.
constexpr qint64 kMaxLogBytes = CCLogger::kMaxLogSize + (64 << 10);
// "Retired" folders inside "Retired" folders: enough for any real layout, finite for a loop.
constexpr int kMaxRetiredDepth = 4;

bool isRegularFile(const QString &path)
{
    std::error_code error;
    // Pipes and devices would block or never end.
    return std::filesystem::is_regular_file(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
}

// Up to limit bytes of the file, from its start or (fromEnd) its end, trimmed to whole lines.
std::optional<QByteArray> readBounded(const QString &path, qint64 limit, bool fromEnd)
{
    if (!isRegularFile(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    const bool cut = size > limit;
    if (cut && fromEnd && !file.seek(size - limit))
        return std::nullopt;
    QByteArray bytes = file.read(limit);
    if (bytes.size() == 0 && size > 0)
        return std::nullopt;
    if (cut) {
        if (fromEnd) {
            const qsizetype lineFeed = bytes.indexOf('\n');
            bytes.remove(0, lineFeed + 1);
        } else {
            const qsizetype lineFeed = bytes.lastIndexOf('\n');
            bytes.truncate(lineFeed + 1);
        }
    }
    return bytes;
}

std::optional<QString> readText(const QString &path, qint64 limit, bool fromEnd)
{
    const std::optional<QByteArray> bytes = readBounded(path, limit, fromEnd);
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(*bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

struct CrashCollector
{
    const QString &processName;
    QString text;
    int count = 0;

    void collect(const QString &folder, int depth)
    {
        const QFileInfoList entries =
            QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
        for (const QFileInfo &entry : entries) {
            if (text.size() * 2 > kMaxCrashBytes)
                return;
            if (entry.isDir()) {
                if (!entry.isSymLink() && depth < kMaxRetiredDepth
                    && entry.fileName().compare(QLatin1String("Retired"), Qt::CaseInsensitive) == 0)
                    collect(entry.filePath(), depth + 1);
                continue;
            }
            if (!entry.fileName().contains(processName))
                continue;
            const std::optional<QString> report = readText(entry.filePath(), kMaxReportBytes, false);
            if (!report)
                continue;
            ++count;
            text += QStringLiteral("%1. ").arg(count) + QLatin1String(kLogDelimiter) + *report + QLatin1Char('\n');
        }
    }
};

QString systemLogLines(const QString &path, const QString &processName)
{
    const std::optional<QString> log = readText(path, kMaxLogBytes, true);
    if (!log)
        return QString();
    // The system logger writes "name[pid]: " or "name: " after the time and host.
    const QString withPid = QLatin1Char(' ') + processName + QLatin1Char('[');
    const QString withoutPid = QLatin1Char(' ') + processName + QLatin1Char(':');
    QString lines;
    for (const QStringView line : QStringView(*log).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (line.contains(withPid) || line.contains(withoutPid))
            lines += line + QLatin1Char('\n');
    return lines;
}

}

CCLogSources CCLogSources::standard(const QString &bundleID)
{
    CCLogSources sources;
    sources.crashFolders << QStringLiteral("/var/crash");
    sources.systemLogPath = QStringLiteral("/var/log/syslog");
    sources.appLogPath = CCLogger::defaultLogPath();
    if (!bundleID.isEmpty() && !bundleID.contains(QLatin1Char('/')))
        sources.appLogPath =
            QFileInfo(sources.appLogPath).path() + QLatin1Char('/') + bundleID + QStringLiteral(".log");
    return sources;
}

QString CollectLogs(const QString &processName, const CCLogSources &sources)
{
    QString crashes;
    if (!processName.isEmpty()) {
        CrashCollector collector{processName, QString()};
        for (const QString &folder : sources.crashFolders)
            collector.collect(folder, 0);
        crashes = collector.text;
    }

    QString messages;
    if (!processName.isEmpty() && !sources.systemLogPath.isEmpty())
        messages += systemLogLines(sources.systemLogPath, processName);
    if (!sources.appLogPath.isEmpty())
        messages += readText(sources.appLogPath, kMaxLogBytes, true).value_or(QString());

    if (!crashes.isEmpty() && !messages.isEmpty())
        return crashes + QLatin1String(kLogDelimiter) + messages;
    return crashes + messages;
}

std::optional<QString> allLogsForApp(const QString &processName, const QString &bundleID)
{
    QString name = processName;
    if (name.isEmpty())
        name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QString logs = CollectLogs(name, CCLogSources::standard(bundleID));
    if (logs.isEmpty()) {
        CCAlert::sharedInstance()->giveAlertMessage(
            QStringLiteral("No log information."),
            QStringLiteral("I could not find any crash reports or log entries for %1.").arg(name));
        return std::nullopt;
    }
    return logs;
}
