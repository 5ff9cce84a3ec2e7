#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Stands between the crash reports and the log messages, and before every crash report.
inline constexpr char kLogDelimiter[] = "===== ===== ===== ===== =====\n";

// Where the logs of a program are looked for.
struct CCLogSources
{
    // Searched in this order; a subfolder named "Retired" (any case) is searched in its place.
    QStringList crashFolders;
    // The system log; only lines from the program are taken.
    QString systemLogPath;
    // The program's own log, taken whole.
    QString appLogPath;

    // /var/crash, /var/log/syslog and the application log of bundleID (the game's when empty).
    static CCLogSources standard(const QString &bundleID = QString());
};

// The crash reports whose file names contain processName, each as "N. " + kLogDelimiter + text
// + "\n", then kLogDelimiter, then the log lines; either part may be missing. Empty when there
// is nothing. Every file is read only up to a bound, so a huge or endless file costs little.
QString CollectLogs(const QString &processName, const CCLogSources &sources);

// The collected logs of processName (the running program when empty) and bundleID (the game
// when empty); none after telling the user "No log information." when there is nothing.
// Main thread only.
std::optional<QString> allLogsForApp(const QString &processName = QString(), const QString &bundleID = QString());
