#include "services/cc_app_updater.h"
#include "services/cc_pane_window.h"
#include "services/cc_update_threads.h"
#include "services/shared_settings.h"

#include "http_test_server.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

using tj::test::HttpTestResponse;
using tj::test::HttpTestServer;
using tj::test::waitFor;

namespace {

const QString kLastCheckKey = QStringLiteral("com.wrenmoor.shared.lastUpdateCheck");

// Stands in for the file browser and the program that opens files: records instead of launching.
class OpenedUrls : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }
};

QByteArray downloadsPage(const QStringList &links)
{
    QByteArray page = "<html><body><h1>Downloads</h1>\n";
    for (const QString &link : links)
        page += "<p><a href=\"" + link.toUtf8() + "\">" + link.toUtf8() + "</a></p>\n";
    return page + "</body></html>\n";
}

QString downloadsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

class AppUpdaterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        qputenv("WRENMOOR_SERVER", server.baseUrl().toUtf8());
        QCoreApplication::setApplicationVersion(QStringLiteral("2.1.5"));
        QSettings().remove(kLastCheckKey);
        SharedSettings()->clear();
        QDir(downloadsFolder()).removeRecursively();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    }

    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        qunsetenv("WRENMOOR_SERVER");
    }

    // Runs the operation under way to its end.
    bool settle(CCAppUpdater &updater) { return waitFor([&] { return !updater.isRunning(); }, 10000); }

    void offer(const QStringList &links) { server.route(QStringLiteral("/downloads"), HttpTestResponse::ok(downloadsPage(links))); }

    HttpTestServer server;
    OpenedUrls opened;
};

}

TEST_F(AppUpdaterTest, RequestedCheckOffersTheNewestFile)
{
    offer({QStringLiteral("jigsaw_216.dmg"), QStringLiteral("jigsaw_220.zip"), QStringLiteral("write_300.dmg")});
    CCAppUpdater updater;
    updater.displayUpdateDialog();
    EXPECT_TRUE(updater.window()->isVisible());
    updater.proceed();
    EXPECT_EQ(updater.currentPane(), CCAppUpdater::Pane::Checking);
    ASSERT_TRUE(settle(updater));

    EXPECT_EQ(updater.currentPane(), CCAppUpdater::Pane::Available);
    EXPECT_EQ(updater.availableField()->text(),
              QStringLiteral("Version 2.2 of Tobbin Jigsaw is available. Would you like to download it now?"));
    EXPECT_EQ(updater.updatePath(), server.baseUrl() + QStringLiteral("/downloads/jigsaw_220.zip"));
    ASSERT_TRUE(updater.lastCheckDate());
    const QString stored = QSettings().value(kLastCheckKey).toString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+$")).match(stored).hasMatch()) << stored.toStdString();
    EXPECT_LE(std::abs(stored.toLongLong() - QDateTime::currentSecsSinceEpoch()), 5);
    updater.cancel();
    EXPECT_FALSE(updater.window()->isVisible());
    EXPECT_TRUE(updater.updatePath().isEmpty());
}

TEST_F(AppUpdaterTest, UpToDateIsShownOnlyWhenAsked)
{
    offer({QStringLiteral("jigsaw_215.dmg")});
    CCAppUpdater updater;
    updater.startCheck(false);
    ASSERT_TRUE(settle(updater));
    EXPECT_FALSE(updater.window()->isVisible());
    EXPECT_TRUE(updater.lastCheckDate()) << "a current version is still a successful check";

    updater.displayUpdateDialog();
    updater.proceed();
    ASSERT_TRUE(settle(updater));
    EXPECT_EQ(updater.currentPane(), CCAppUpdater::Pane::UpToDate);
    updater.proceed();
    EXPECT_FALSE(updater.window()->isVisible());
}

TEST_F(AppUpdaterTest, FailedChecks)
{
    CCAppUpdater updater;
    for (const HttpTestResponse &response :
         {HttpTestResponse::withStatus(404), HttpTestResponse::withStatus(500, downloadsPage({"jigsaw_300.dmg"})),
          HttpTestResponse::ok(downloadsPage({QStringLiteral("write_300.dmg"), QStringLiteral("jigsaw_ab1.dmg")}))}) {
        server.route(QStringLiteral("/downloads"), response);
        updater.startCheck(false);
        ASSERT_TRUE(settle(updater));
        EXPECT_FALSE(updater.window()->isVisible()) << "an automatic check shows no failure";
        EXPECT_FALSE(updater.lastCheckDate());

        updater.displayUpdateDialog();
        updater.proceed();
        ASSERT_TRUE(settle(updater));
        EXPECT_EQ(updater.currentPane(), CCAppUpdater::Pane::CheckFail) << response.status;
        EXPECT_TRUE(updater.updatePath().isEmpty());
        updater.proceed();
    }
}

TEST_F(AppUpdaterTest, AutomaticCheckShowsANewVersion)
{
    offer({QStringLiteral("jigsaw_2103.dmg"), QStringLiteral("jigsaw_301.dmg")});
    CCAppUpdater updater;
    updater.setAutoCheck(true);
    updater.startAutoCheck();
    EXPECT_TRUE(updater.hasAutoCheckTimer());
    ASSERT_TRUE(settle(updater));
    EXPECT_TRUE(updater.window()->isVisible());
    EXPECT_EQ(updater.currentPane(), CCAppUpdater::Pane::Available);
    EXPECT_TRUE(updater.availableField()->text().startsWith(QStringLiteral("Version 3.0.1 of")));
    updater.cancel();
    updater.setAutoCheck(false);
    updater.startAutoCheck();
    EXPECT_FALSE(updater.hasAutoCheckTimer());
}

TEST_F(AppUpdaterTest, AutomaticCheckWaitsForItsDay)
{
    offer({QStringLiteral("jigsaw_215.dmg")});
    const auto autoCheckAfter = [&](qint64 secondsAgo, bool monthly) {
        server.clearRequests();
        QSettings().setValue(kLastCheckKey, QString::number(QDateTime::currentSecsSinceEpoch() - secondsAgo));
        CCAppUpdater updater;
        updater.setAutoCheck(true);
        updater.setCheckMonthly(monthly);
        updater.startAutoCheck();
        settle(updater);
        tj::test::waitEvents(50);
        return server.requestCount();
    };
    constexpr qint64 kDay = 86400;
    EXPECT_EQ(autoCheckAfter(0, false), 0) << "already checked today";
    EXPECT_EQ(autoCheckAfter(6 * kDay, false), 0);
    EXPECT_EQ(autoCheckAfter(8 * kDay, false), 1);
    EXPECT_EQ(autoCheckAfter(20 * kDay, true), 0);
    EXPECT_EQ(autoCheckAfter(40 * kDay, true), 1);
    // A date in the future is damage, not a reason to wait for years.
    EXPECT_EQ(autoCheckAfter(-400 * kDay, true), 1);
}

TEST(AppUpdaterDueDate, CalendarArithmetic)
{
    const auto due = [](QDate last, QDate today, bool monthly) {
        return CCAppUpdater::isAutoCheckDue(last, today, monthly);
    };
    EXPECT_FALSE(due(QDate(2023, 1, 31), QDate(2023, 2, 27), true));
    EXPECT_TRUE(due(QDate(2023, 1, 31), QDate(2023, 2, 28), true));
    EXPECT_FALSE(due(QDate(2024, 1, 31), QDate(2024, 2, 28), true));
    EXPECT_TRUE(due(QDate(2024, 1, 31), QDate(2024, 2, 29), true));
    EXPECT_FALSE(due(QDate(2024, 12, 28), QDate(2025, 1, 3), false));
    EXPECT_TRUE(due(QDate(2024, 12, 28), QDate(2025, 1, 4), false));
    EXPECT_TRUE(CCAppUpdater::isAutoCheckDue(std::nullopt, QDate(2024, 1, 1), false));
}

TEST_F(AppUpdaterTest, DownloadWritesTheFileWithProgressAndOpensIt)
{
    offer({QStringLiteral("jigsaw_220.zip")});
    const QByteArray archive(3 * 1048576, 'z');
    HttpTestResponse slow = HttpTestResponse::ok(archive);
    slow.delayMs = 50;
    server.route(QStringLiteral("/downloads/jigsaw_220.zip"), slow);
    // An older download of the same name stays as it is.
    QDir().mkpath(downloadsFolder());
    QFile old(downloadsFolder() + QStringLiteral("/jigsaw_220.zip"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("older");
    old.close();

    CCAppUpdater updater;
    updater.displayUpdateDialog();
    updater.proceed();
    ASSERT_TRUE(settle(updater));
    ASSERT_EQ(updater.currentPane(), CCAppUpdater::Pane::Available);
    updater.proceed();
    EXPECT_EQ(updater.currentPane(), CCAppUpdater::Pane::Download);
    ASSERT_TRUE(settle(updater));

    const QString file = downloadsFolder() + QStringLiteral("/jigsaw_220-1.zip");
    EXPECT_EQ(updater.updatePath(), file);
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), archive);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("older"));
    EXPECT_EQ(opened.urls, (QList<QUrl>{QUrl::fromLocalFile(downloadsFolder()), QUrl::fromLocalFile(file)}));
    EXPECT_FALSE(updater.window()->isVisible());
    EXPECT_EQ(updater.downloadSpinner()->maximum(), archive.size());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\.\\d\\d MB of 3\\.00 MB$"))
                    .match(updater.downloadAmountField()->text())
                    .hasMatch())
        << updater.downloadAmountField()->text().toStdString();
}

TEST_F(AppUpdaterTest, FailedDownloadLeavesNothing)
{
    offer({QStringLiteral("jigsaw_220.dmg")});
    server.route(QStringLiteral("/downloads/jigsaw_220.dmg"), HttpTestResponse::withStatus(404, "missing"));
    CCAppUpdater updater;
    updater.displayUpdateDialog();
    updater.proceed();
    ASSERT_TRUE(settle(updater));
    updater.proceed();
    ASSERT_TRUE(settle(updater));
    EXPECT_EQ(updater.currentPane(), CCAppUpdater::Pane::DownloadFail);
    EXPECT_TRUE(QDir(downloadsFolder()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(opened.urls.isEmpty());
    updater.proceed();
    EXPECT_FALSE(updater.window()->isVisible());
}

TEST_F(AppUpdaterTest, CancelledDownloadStaysCancelled)
{
    offer({QStringLiteral("jigsaw_220.dmg")});
    HttpTestResponse stall = HttpTestResponse::behaving(HttpTestResponse::Behaviour::StallAfterHeaders);
    stall.body = QByteArray(1000, 'd');
    stall.bodyBytesSent = 10;
    server.route(QStringLiteral("/downloads/jigsaw_220.dmg"), stall);
    CCAppUpdater updater;
    int finished = 0;
    QObject::connect(&updater, &CCAppUpdater::operationFinished, [&] { ++finished; });
    updater.displayUpdateDialog();
    updater.proceed();
    ASSERT_TRUE(settle(updater));
    updater.proceed();
    ASSERT_TRUE(waitFor([&] { return server.requestCount(QStringLiteral("/downloads/jigsaw_220.dmg")) == 1; }, 5000));
    updater.cancel();
    EXPECT_FALSE(updater.isRunning());
    EXPECT_FALSE(updater.window()->isVisible());
    tj::test::waitEvents(100);
    EXPECT_EQ(finished, 1) << "only the check reported";
    EXPECT_TRUE(QDir(downloadsFolder()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(opened.urls.isEmpty());
}

TEST_F(AppUpdaterTest, HostileSuggestedNames)
{
    const QString folder = tj::test::freshFolder();
    EXPECT_EQ(CCUpdateDownloadThread::updateFileName(QStringLiteral("../x.zip"), folder), QStringLiteral("x.zip"));
    EXPECT_EQ(CCUpdateDownloadThread::updateFileName(QStringLiteral("/etc/a/../b.DMG"), folder), QStringLiteral("b.dmg"));
    EXPECT_EQ(CCUpdateDownloadThread::updateFileName(QStringLiteral("..zip"), folder), QStringLiteral("update.zip"));
    EXPECT_EQ(CCUpdateDownloadThread::updateFileName(QStringLiteral("x.v2.zip"), folder), QStringLiteral("xv2.zip"));
    for (const char *refused : {"x.sh", "x.zip.sh", "x", ".zip", "x.dmg/", ""})
        EXPECT_TRUE(CCUpdateDownloadThread::updateFileName(QString::fromLatin1(refused), folder).isEmpty()) << refused;

    // Over the network: a script is refused before a byte is stored; a climbing name lands inside.
    server.route(QStringLiteral("/downloads/x.sh"), HttpTestResponse::ok("#!/bin/sh\n"));
    server.route(QStringLiteral("/downloads/../x.zip"), HttpTestResponse::ok("PK"));
    server.route(QStringLiteral("/x.zip"), HttpTestResponse::ok("PK"));
    const QString downloads = tj::test::freshFolder();
    CCUpdateDownloadThread script(server.url(QStringLiteral("/downloads/x.sh")), downloads);
    script.start();
    ASSERT_TRUE(waitFor([&] { return script.isFinished(); }, 5000));
    EXPECT_FALSE(script.wasSuccessful());
    CCUpdateDownloadThread climbing(QUrl(server.baseUrl() + QStringLiteral("/downloads/..%2Fx.zip")), downloads);
    climbing.start();
    ASSERT_TRUE(waitFor([&] { return climbing.isFinished(); }, 5000));
    EXPECT_TRUE(climbing.wasSuccessful());
    EXPECT_EQ(QDir(downloads).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("x.zip")});
    EXPECT_EQ(climbing.downloadPath(), downloads + QStringLiteral("/x.zip"));
}

TEST_F(AppUpdaterTest, SettingsAreReadLenientlyAndStoredOnClose)
{
    QSettings().setValue(kLastCheckKey, QStringLiteral("yesterday"));
    SharedSettings()->setValue(QStringLiteral("com.wrenmoor.shared.autoUpdate"), QStringLiteral("banana"));
    {
        CCAppUpdater updater;
        EXPECT_FALSE(updater.lastCheckDate());
        EXPECT_FALSE(updater.autoCheck());
    }
    offer({QStringLiteral("jigsaw_215.dmg")});
    CCAppUpdater updater;
    updater.displayUpdateDialog();
    updater.setAutoCheck(true);
    updater.setCheckMonthly(true);
    updater.cancel();
    EXPECT_TRUE(updater.hasAutoCheckTimer()) << "closing the window applies the setting";
    ASSERT_TRUE(settle(updater));
    const std::unique_ptr<QSettings> shared = SharedSettings();
    EXPECT_TRUE(ReadSettingsBool(*shared, QStringLiteral("com.wrenmoor.shared.autoUpdate")));
    EXPECT_TRUE(ReadSettingsBool(*shared, QStringLiteral("com.wrenmoor.shared.autoUpdateMonthly")));
    CCAppUpdater reread;
    EXPECT_TRUE(reread.autoCheck());
    EXPECT_TRUE(reread.checkMonthly());
}

TEST_F(AppUpdaterTest, PanesSwapKeepingTheTopEdge)
{
    offer({QStringLiteral("jigsaw_300.dmg")});
    CCAppUpdater updater;
    updater.displayUpdateDialog();
    const int top = updater.window()->y();
    EXPECT_EQ(updater.window()->height(), updater.pane(CCAppUpdater::Pane::Main)->height());
    updater.proceed();
    ASSERT_TRUE(settle(updater));
    EXPECT_EQ(updater.window()->height(), updater.pane(CCAppUpdater::Pane::Available)->height());
    EXPECT_EQ(updater.window()->y(), top);
    for (int i = 0; i < updater.window()->paneCount(); ++i) {
        const QWidget *pane = updater.pane(CCAppUpdater::Pane(i));
        EXPECT_EQ(pane->isVisible(), CCAppUpdater::Pane(i) == CCAppUpdater::Pane::Available);
        for (const QLabel *label : pane->findChildren<QLabel *>())
            EXPECT_FALSE(label->text().contains(QStringLiteral("***"))) << label->text().toStdString();
    }
    updater.cancel();
}

TEST(AppUpdaterProgress, Text)
{
    EXPECT_EQ(CCAppUpdater::progressText(1572864, 3145728), QStringLiteral("1.50 MB of 3.00 MB"));
    EXPECT_EQ(CCAppUpdater::progressText(524288, 0), QStringLiteral("0.50 MB"));
}

#include "cc_app_updater_test.moc"
