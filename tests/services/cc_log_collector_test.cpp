#include "services/cc_log_collector.h"

#include "alert_recorder.h"
#include "test_helpers.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

using namespace tj::test;

namespace {

const QString kProcess = QStringLiteral("tobbin-jigsaw");
const QString kDelimiter = QString::fromLatin1(kLogDelimiter);

}

TEST(LogCollector, CrashReportsAreNumberedAndRetiredOnesCount)
{
    const QString root = freshFolder();
    const QString crashes = root + QStringLiteral("/crash");
    writeFile(crashes + QStringLiteral("/_usr_bin_tobbin-jigsaw.1000.crash"), "first report");
    writeFile(crashes + QStringLiteral("/another-program.crash"), "not ours");
    writeFile(crashes + QStringLiteral("/retired/tobbin-jigsaw.old.crash"), "retired report");
    writeFile(crashes + QStringLiteral("/Other/tobbin-jigsaw.hidden.crash"), "not a retired folder");
    writeFile(crashes + QStringLiteral("/zz-tobbin-jigsaw-bad.crash"), "bad \xff\xfe utf-8");
    const QString second = root + QStringLiteral("/more");
    writeFile(second + QStringLiteral("/tobbin-jigsaw.crash"), "third report");

    CCLogSources sources;
    sources.crashFolders = {crashes, second, root + QStringLiteral("/missing")};
    EXPECT_EQ(CollectLogs(kProcess, sources),
              QStringLiteral("1. ") + kDelimiter + QStringLiteral("first report\n") + QStringLiteral("2. ") + kDelimiter
                  + QStringLiteral("retired report\n") + QStringLiteral("3. ") + kDelimiter
                  + QStringLiteral("third report\n"));
}

TEST(LogCollector, CrashesAndMessagesAreJoinedByTheDelimiter)
{
    const QString root = freshFolder();
    writeFile(root + QStringLiteral("/crash/tobbin-jigsaw.crash"), "boom");
    writeFile(root + QStringLiteral("/syslog"),
              "Feb  1 10:00:00 host tobbin-jigsaw[42]: from us\n"
              "Feb  1 10:00:01 host other[7]: not us\n"
              "Feb  1 10:00:02 host tobbin-jigsaw: also us\n"
              "Feb  1 10:00:03 host tobbin-jigsaw-helper[8]: a different program\n");
    writeFile(root + QStringLiteral("/app.log"), "2026-02-01 10:00:00 com.wrenmoor.tobbin-jigsaw own line\n");

    CCLogSources sources{
        {root + QStringLiteral("/crash")}, root + QStringLiteral("/syslog"), root + QStringLiteral("/app.log")};
    EXPECT_EQ(CollectLogs(kProcess, sources),
              QStringLiteral("1. ") + kDelimiter + QStringLiteral("boom\n") + kDelimiter
                  + QStringLiteral("Feb  1 10:00:00 host tobbin-jigsaw[42]: from us\n"
                                   "Feb  1 10:00:02 host tobbin-jigsaw: also us\n"
                                   "2026-02-01 10:00:00 com.wrenmoor.tobbin-jigsaw own line\n"));

    sources.crashFolders.clear();
    EXPECT_FALSE(CollectLogs(kProcess, sources).startsWith(kDelimiter)) << "no delimiter without crash reports";
}

TEST(LogCollector, HostileAndUnreadableFilesCostLittle)
{
    const QString crashes = freshFolder() + QStringLiteral("/crash");
    QDir().mkpath(crashes + QStringLiteral("/Retired"));
    // A pipe would block a reader for ever; a loop of folders would never end.
    ASSERT_EQ(mkfifo(QFile::encodeName(crashes + QStringLiteral("/tobbin-jigsaw.fifo.crash")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(crashes, crashes + QStringLiteral("/Retired/Retired")));
    // Unreadable reports are skipped without taking a number.
    ASSERT_TRUE(QFile::link(crashes + QStringLiteral("/gone"), crashes + QStringLiteral("/tobbin-jigsaw.a.crash")));
    QDir().mkpath(crashes + QStringLiteral("/tobbin-jigsaw.b.crash"));
    if (geteuid() != 0) {
        const QString locked = crashes + QStringLiteral("/tobbin-jigsaw.b2.crash");
        writeFile(locked, "locked");
        ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
    }
    QByteArray big;
    for (int line = 0; line < 40000; ++line)
        big += "a line of a very long crash report, number " + QByteArray::number(line) + "\n";
    writeFile(crashes + QStringLiteral("/tobbin-jigsaw.big.crash"), big);

    CCLogSources sources;
    sources.crashFolders = {crashes};
    sources.appLogPath = crashes + QStringLiteral("/tobbin-jigsaw.big.crash");
    const QString logs = CollectLogs(kProcess, sources);
    EXPECT_EQ(logs.count(kDelimiter), 2) << "one report, then the messages";
    // Each cut falls at a line end.
    EXPECT_TRUE(logs.startsWith(QStringLiteral("1. ") + kDelimiter + QStringLiteral("a line")));
    EXPECT_TRUE(logs.endsWith(QStringLiteral("number 39999\n")));
    const qsizetype split = logs.indexOf(QStringLiteral("\n") + kDelimiter);
    EXPECT_LE(split, (1 << 20) + 64) << "a crash report is read only up to a bound";
    EXPECT_TRUE(logs.mid(split + 1 + kDelimiter.size()).startsWith(QStringLiteral("a line")));
}

TEST(LogCollector, NothingFoundTellsTheUser)
{
    AlertRecorder presenter;
    EXPECT_FALSE(allLogsForApp(QStringLiteral("no-such-program-here"), QStringLiteral("com.example.nothing")));
    ASSERT_EQ(presenter.shown.size(), 1);
    EXPECT_EQ(presenter.shown.first().message, QStringLiteral("No log information."));
    EXPECT_EQ(presenter.shown.first().moreInfo,
              QStringLiteral("I could not find any crash reports or log entries for no-such-program-here."));

    // The game's own log, found by its bundle identifier in the log folder, is enough.
    const QString own = QFileInfo(CCLogSources::standard().appLogPath).path() + QStringLiteral("/com.example.some.log");
    writeFile(own, "one record\n");
    EXPECT_EQ(allLogsForApp(QStringLiteral("no-such-program-here"), QStringLiteral("com.example.some")),
              QStringLiteral("one record\n"));
    // A bundle identifier never leads out of the log folder.
    EXPECT_EQ(CCLogSources::standard(QStringLiteral("../../etc/passwd")).appLogPath,
              CCLogSources::standard().appLogPath);
}
