#include "services/cc_log_collector.h"
#include "support/cc_alert.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kProcess = QStringLiteral("tobbin-jigsaw");
const QString kDelimiter = QString::fromLatin1(kLogDelimiter);

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

struct RecordingPresenter : CCAlertPresenter
{
    QList<CCAlertRequest> shown;
    std::optional<int> runModal(const CCAlertRequest &request, bool *) override
    {
        shown.append(request);
        return kAlertFirstButton;
    }
    bool beginSheet(const CCAlertRequest &, QObject *, std::function<void(int, bool)>) override { return false; }
};

}

TEST(LogCollector, CrashReportsAreNumberedAndRetiredOnesCount)
{
    const QString root = tj::test::freshFolder();
    const QString crashes = root + QStringLiteral("/crash");
    write(crashes + QStringLiteral("/_usr_bin_tobbin-jigsaw.1000.crash"), "first report");
    write(crashes + QStringLiteral("/another-program.crash"), "not ours");
    write(crashes + QStringLiteral("/retired/tobbin-jigsaw.old.crash"), "retired report");
    write(crashes + QStringLiteral("/Other/tobbin-jigsaw.hidden.crash"), "not a retired folder");
    write(crashes + QStringLiteral("/zz-tobbin-jigsaw-bad.crash"), "bad \xff\xfe utf-8");
    const QString second = root + QStringLiteral("/more");
    write(second + QStringLiteral("/tobbin-jigsaw.crash"), "third report");

    CCLogSources sources;
    sources.crashFolders = {crashes, second, root + QStringLiteral("/missing")};
    EXPECT_EQ(CollectLogs(kProcess, sources), QStringLiteral("1. ") + kDelimiter + QStringLiteral("first report\n")
                                                  + QStringLiteral("2. ") + kDelimiter
                                                  + QStringLiteral("retired report\n") + QStringLiteral("3. ")
                                                  + kDelimiter + QStringLiteral("third report\n"));
}

TEST(LogCollector, CrashesAndMessagesAreJoinedByTheDelimiter)
{
    const QString root = tj::test::freshFolder();
    write(root + QStringLiteral("/crash/tobbin-jigsaw.crash"), "boom");
    write(root + QStringLiteral("/syslog"), "Feb  1 10:00:00 host tobbin-jigsaw[42]: from us\n"
                                            "Feb  1 10:00:01 host other[7]: not us\n"
                                            "Feb  1 10:00:02 host tobbin-jigsaw: also us\n"
                                            "Feb  1 10:00:03 host tobbin-jigsaw-helper[8]: a different program\n");
    write(root + QStringLiteral("/app.log"), "2026-02-01 10:00:00 com.wrenmoor.tobbin-jigsaw own line\n");

    CCLogSources sources{{root + QStringLiteral("/crash")}, root + QStringLiteral("/syslog"),
                         root + QStringLiteral("/app.log")};
    EXPECT_EQ(CollectLogs(kProcess, sources),
              QStringLiteral("1. ") + kDelimiter + QStringLiteral("boom\n") + kDelimiter
                  + QStringLiteral("Feb  1 10:00:00 host tobbin-jigsaw[42]: from us\n"
                                   "Feb  1 10:00:02 host tobbin-jigsaw: also us\n"
                                   "2026-02-01 10:00:00 com.wrenmoor.tobbin-jigsaw own line\n"));

    sources.crashFolders.clear();
    EXPECT_FALSE(CollectLogs(kProcess, sources).startsWith(kDelimiter)) << "no delimiter without crash reports";
}

TEST(LogCollector, HostileFilesCostLittle)
{
    const QString root = tj::test::freshFolder();
    const QString crashes = root + QStringLiteral("/crash");
    QDir().mkpath(crashes + QStringLiteral("/Retired"));
    // A pipe would block a reader for ever; a loop of folders would never end.
    ASSERT_EQ(mkfifo(QFile::encodeName(crashes + QStringLiteral("/tobbin-jigsaw.fifo.crash")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(crashes, crashes + QStringLiteral("/Retired/Retired")));
    QByteArray big;
    for (int line = 0; line < 40000; ++line)
        big += "a line of a very long crash report, number " + QByteArray::number(line) + "\n";
    write(crashes + QStringLiteral("/tobbin-jigsaw.big.crash"), big);

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

TEST(LogCollector, UnreadableReportIsSkipped)
{
    const QString crashes = tj::test::freshFolder();
    ASSERT_TRUE(QFile::link(crashes + QStringLiteral("/gone"), crashes + QStringLiteral("/tobbin-jigsaw.a.crash")));
    QDir().mkpath(crashes + QStringLiteral("/tobbin-jigsaw.b.crash"));
    write(crashes + QStringLiteral("/tobbin-jigsaw.c.crash"), "open");
    if (geteuid() != 0) {
        write(crashes + QStringLiteral("/tobbin-jigsaw.d.crash"), "locked");
        ASSERT_TRUE(QFile::setPermissions(crashes + QStringLiteral("/tobbin-jigsaw.d.crash"), QFileDevice::Permissions()));
    }
    CCLogSources sources;
    sources.crashFolders = {crashes};
    EXPECT_EQ(CollectLogs(kProcess, sources), QStringLiteral("1. ") + kDelimiter + QStringLiteral("open\n"));
}

TEST(LogCollector, NothingFoundTellsTheUser)
{
    RecordingPresenter presenter;
    CCAlert::sharedInstance()->setPresenter(&presenter);
    const std::optional<QString> logs =
        allLogsForApp(QStringLiteral("no-such-program-here"), QStringLiteral("com.example.nothing"));
    CCAlert::sharedInstance()->setPresenter(nullptr);
    EXPECT_FALSE(logs);
    ASSERT_EQ(presenter.shown.size(), 1);
    EXPECT_EQ(presenter.shown.first().message, QStringLiteral("No log information."));
    EXPECT_EQ(presenter.shown.first().moreInfo,
              QStringLiteral("I could not find any crash reports or log entries for no-such-program-here."));

    // The game's own log, found by its bundle identifier in the log folder, is enough.
    const QString own = QFileInfo(CCLogSources::standard().appLogPath).path() + QStringLiteral("/com.example.some.log");
    write(own, "one record\n");
    EXPECT_EQ(allLogsForApp(QStringLiteral("no-such-program-here"), QStringLiteral("com.example.some")),
              QStringLiteral("one record\n"));
}
