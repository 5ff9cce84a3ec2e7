#include "services/cc_app_updater.h"
#include "services/cc_news_updater.h"
#include "services/cc_update_threads.h"

#include "services_fixtures.h"
#include "test_support.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace tj::test;
using Behaviour = HttpTestResponse::Behaviour;
using Pane = CCAppUpdater::Pane;

namespace {

const QString kLastCheckKey = QStringLiteral("com.wrenmoor.shared.lastUpdateCheck");

QString downloadsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

class AppUpdaterTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        QCoreApplication::setApplicationVersion(QStringLiteral("2.1.5"));
        QSettings().remove(kLastCheckKey);
        QDir(downloadsFolder()).removeRecursively();
    }

    void offer(const QStringList &links)
    {
        server.route(QStringLiteral("/downloads"), HttpTestResponse::ok(downloadsPage(links)));
    }

    UrlRecorder opened;
};

}

TEST_F(AppUpdaterTest, CheckResultsAreShownOnlyWhenAsked)
{
    const std::pair<HttpTestResponse, Pane> cases[] = {
        {HttpTestResponse::ok(downloadsPage({QStringLiteral("jigsaw_215.dmg")})), Pane::UpToDate},
        {HttpTestResponse::withStatus(404), Pane::CheckFail},
        {HttpTestResponse::withStatus(500, downloadsPage({QStringLiteral("jigsaw_300.dmg")})), Pane::CheckFail},
        // A page that offers nothing of ours.
        {HttpTestResponse::ok(downloadsPage({QStringLiteral("write_300.dmg")})), Pane::CheckFail},
    };
    for (const auto &[response, shown] : cases) {
        QSettings().remove(kLastCheckKey);
        server.route(QStringLiteral("/downloads"), response);
        CCAppUpdater updater;
        updater.startCheck(false);
        ASSERT_TRUE(settle(updater));
        EXPECT_FALSE(updater.window()->isVisible()) << "an automatic check shows no failure, nor that all is well";
        // A current version is still a successful check.
        EXPECT_EQ(bool(updater.lastCheckDate()), shown == Pane::UpToDate) << response.status;

        requestCheck(updater);
        EXPECT_EQ(updater.currentPane(), shown) << response.status;
        EXPECT_TRUE(updater.updatePath().isEmpty());
        updater.proceed();
        EXPECT_FALSE(updater.window()->isVisible());
    }
}

TEST_F(AppUpdaterTest, AutomaticCheckRunsWhenDueAndShowsANewVersion)
{
    offer({QStringLiteral("jigsaw_2103.dmg"), QStringLiteral("jigsaw_301.dmg")});
    constexpr qint64 kDay = 86400;
    // Seconds since the last check, monthly, and whether that is due. A date in the future is
    // damage, not a reason to wait for years.
    const std::tuple<qint64, bool, bool> cases[] = {
        {0, false, false},        {6 * kDay, false, false}, {8 * kDay, false, true},
        {20 * kDay, true, false}, {40 * kDay, true, true},  {-400 * kDay, true, true},
    };
    for (const auto &[secondsAgo, monthly, checks] : cases) {
        server.clearRequests();
        QSettings().setValue(kLastCheckKey, QString::number(QDateTime::currentSecsSinceEpoch() - secondsAgo));
        CCAppUpdater updater;
        updater.setAutoCheck(true);
        updater.setCheckMonthly(monthly);
        updater.startAutoCheck();
        ASSERT_TRUE(updater.hasAutoCheckTimer());
        // A due check starts at once.
        EXPECT_EQ(updater.isRunning(), checks) << secondsAgo;
        ASSERT_TRUE(settle(updater));
        EXPECT_EQ(server.requestCount(), checks ? 1 : 0) << secondsAgo;
        EXPECT_EQ(updater.window()->isVisible(), checks) << secondsAgo;
        if (checks) {
            EXPECT_TRUE(updater.availableField()->text().startsWith(QStringLiteral("Version 3.0.1 of")));
        }
        updater.cancel();
        updater.setAutoCheck(false);
        updater.startAutoCheck();
        EXPECT_FALSE(updater.hasAutoCheckTimer());
    }
}

TEST(AppUpdaterDueDate, CalendarArithmetic)
{
    // The last check, today, monthly, and whether a check is due.
    const std::tuple<QDate, QDate, bool, bool> cases[] = {
        {QDate(2023, 1, 31), QDate(2023, 2, 27), true, false},  {QDate(2023, 1, 31), QDate(2023, 2, 28), true, true},
        {QDate(2024, 1, 31), QDate(2024, 2, 28), true, false},  {QDate(2024, 1, 31), QDate(2024, 2, 29), true, true},
        {QDate(2024, 12, 28), QDate(2025, 1, 3), false, false}, {QDate(2024, 12, 28), QDate(2025, 1, 4), false, true},
    };
    for (const auto &[last, today, monthly, due] : cases)
        EXPECT_EQ(CCAppUpdater::isAutoCheckDue(last, today, monthly), due) << today.toString().toStdString();
    EXPECT_TRUE(CCAppUpdater::isAutoCheckDue(std::nullopt, QDate(2024, 1, 1), false));
}

TEST_F(AppUpdaterTest, RequestedCheckOffersTheNewestFileAndDownloadsItWithProgress)
{
    offer({QStringLiteral("jigsaw_216.dmg"), QStringLiteral("jigsaw_220.zip"), QStringLiteral("write_300.dmg")});
    const QByteArray archive(3 * 1048576, 'z');
    server.route(QStringLiteral("/downloads/jigsaw_220.zip"), {.body = archive, .delayMs = 50});
    // An older download of the same name stays as it is.
    const QString old = downloadsFolder() + QStringLiteral("/jigsaw_220.zip");
    writeFile(old, "older");

    CCAppUpdater updater;
    requestCheck(updater);
    ASSERT_EQ(updater.currentPane(), Pane::Available);
    EXPECT_EQ(updater.availableField()->text(),
              QStringLiteral("Version 2.2 of Tobbin Jigsaw is available. Would you like to download it now?"));
    EXPECT_EQ(updater.updatePath(), server.baseUrl() + QStringLiteral("/downloads/jigsaw_220.zip"));
    // Stored as the text of seconds since 1970.
    const qint64 stored = QSettings().value(kLastCheckKey).toString().toLongLong();
    EXPECT_LE(std::abs(stored - QDateTime::currentSecsSinceEpoch()), 5);
    updater.proceed();
    EXPECT_EQ(updater.currentPane(), Pane::Download);
    ASSERT_TRUE(settle(updater));

    const QString file = downloadsFolder() + QStringLiteral("/jigsaw_220-1.zip");
    EXPECT_EQ(updater.updatePath(), file);
    EXPECT_EQ(readFile(file), archive);
    EXPECT_EQ(readFile(old), QByteArray("older"));
    EXPECT_EQ(opened.urls, (QList<QUrl>{QUrl::fromLocalFile(downloadsFolder()), QUrl::fromLocalFile(file)}));
    EXPECT_FALSE(updater.window()->isVisible());
    EXPECT_EQ(updater.downloadSpinner()->maximum(), archive.size());
    const QString amount = updater.downloadAmountField()->text();
    EXPECT_TRUE(amount.contains(QRegularExpression(QStringLiteral("^\\d\\.\\d\\d MB of 3\\.00 MB$"))))
        << amount.toStdString();
}

TEST_F(AppUpdaterTest, FailedOrCancelledDownloadLeavesNothing)
{
    offer({QStringLiteral("jigsaw_220.dmg")});
    server.route(QStringLiteral("/downloads/jigsaw_220.dmg"), HttpTestResponse::withStatus(404, "missing"));
    CCAppUpdater updater;
    int finished = 0;
    QObject::connect(&updater, &CCAppUpdater::operationFinished, [&] { ++finished; });
    requestCheck(updater);
    updater.proceed();
    ASSERT_TRUE(settle(updater));
    EXPECT_EQ(updater.currentPane(), Pane::DownloadFail);
    updater.proceed();
    EXPECT_FALSE(updater.window()->isVisible());

    server.route(QStringLiteral("/downloads/jigsaw_220.dmg"),
                 {.body = QByteArray(1000, 'd'), .behaviour = Behaviour::StallAfterHeaders, .bodyBytesSent = 10});
    requestCheck(updater);
    updater.proceed();
    ASSERT_TRUE(waitFor([&] { return server.requestCount(QStringLiteral("/downloads/jigsaw_220.dmg")) == 2; }));
    updater.cancel();
    EXPECT_FALSE(updater.isRunning());
    EXPECT_FALSE(updater.window()->isVisible());
    drainEvents();
    EXPECT_EQ(finished, 3) << "two checks and the failed download reported; the cancelled one did not";
    EXPECT_TRUE(QDir(downloadsFolder()).isEmpty(QDir::Files | QDir::Hidden));
    EXPECT_TRUE(opened.urls.isEmpty());
}

TEST_F(AppUpdaterTest, HostileSuggestedNames)
{
    const QString folder = freshFolder();
    const std::pair<const char *, const char *> names[] = {
        {"../x.zip", "x.zip"},
        {"/etc/a/../b.DMG", "b.dmg"},
        {"..zip", "update.zip"},
        {"x.v2.zip", "xv2.zip"},
        {"x.sh", ""},
        {"x.zip.sh", ""},
        {"x", ""},
        {".zip", ""},
        {"x.dmg/", ""},
        {"", ""},
    };
    for (const auto &[suggested, stored] : names)
        EXPECT_EQ(CCUpdateDownloadThread::updateFileName(QString::fromLatin1(suggested), folder), QLatin1String(stored))
            << suggested;

    // Over the network a script is refused before a byte is stored.
    server.route(QStringLiteral("/downloads/x.sh"), HttpTestResponse::ok("#!/bin/sh\n"));
    CCUpdateDownloadThread download(server.url(QStringLiteral("/downloads/x.sh")), folder);
    download.start();
    ASSERT_TRUE(waitFor([&] { return download.isFinished(); }));
    EXPECT_FALSE(download.wasSuccessful());
    EXPECT_TRUE(QDir(folder).isEmpty(QDir::Files | QDir::Hidden));
}

// Closing the window stores the automatic-check setting and applies it; the next start reads it.
template <typename Updater> void expectStoredOnClose(const char *key)
{
    constexpr bool kApp = std::is_same_v<Updater, CCAppUpdater>;
    Updater updater;
    updater.displayUpdateDialog();
    updater.setAutoCheck(true);
    if constexpr (kApp)
        updater.setCheckMonthly(true);
    updater.cancel();
    EXPECT_TRUE(updater.hasAutoCheckTimer()) << key;
    EXPECT_TRUE(ReadSettingsBool(*SharedSettings(), QString::fromLatin1(key))) << key;
    ASSERT_TRUE(settle(updater));
    EXPECT_TRUE(Updater().autoCheck()) << key;
    if constexpr (kApp) {
        EXPECT_TRUE(Updater().checkMonthly());
    }
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
    server.route(QString::fromLatin1(kNewsPath), HttpTestResponse::ok(kNewsPage));
    expectStoredOnClose<CCAppUpdater>("com.wrenmoor.shared.autoUpdate");
    expectStoredOnClose<CCNewsUpdater>("com.wrenmoor.shared.autoNewsCheck");
}

TEST_F(AppUpdaterTest, ButtonsSwapPanesWithTheirPlaceholdersFilled)
{
    offer({QStringLiteral("jigsaw_300.dmg")});
    CCAppUpdater updater;
    const auto click = [&](Pane pane, const QString &title) {
        for (QPushButton *button : updater.pane(pane)->findChildren<QPushButton *>())
            if (button->text() == title)
                return button->click();
        ADD_FAILURE() << "no button " << title.toStdString();
    };
    updater.displayUpdateDialog();
    click(Pane::Main, QStringLiteral("Check Now"));
    ASSERT_TRUE(settle(updater));
    EXPECT_EQ(updater.window()->height(), updater.pane(Pane::Available)->height());
    for (int i = 0; i < updater.window()->paneCount(); ++i) {
        const QWidget *pane = updater.pane(Pane(i));
        EXPECT_EQ(pane->isVisible(), Pane(i) == Pane::Available);
        for (const QLabel *label : pane->findChildren<QLabel *>())
            EXPECT_FALSE(label->text().contains(QStringLiteral("***"))) << label->text().toStdString();
    }
    click(Pane::Available, QStringLiteral("Not Now"));
    EXPECT_FALSE(updater.window()->isVisible());
    EXPECT_TRUE(updater.updatePath().isEmpty());
}

TEST(AppUpdaterProgress, Text)
{
    EXPECT_EQ(CCAppUpdater::progressText(1572864, 3145728), QStringLiteral("1.50 MB of 3.00 MB"));
    EXPECT_EQ(CCAppUpdater::progressText(524288, 0), QStringLiteral("0.50 MB"));
}
