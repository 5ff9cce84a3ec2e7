#include "services/cc_news_updater.h"
#include "services/cc_pane_window.h"
#include "services/shared_settings.h"

#include "http_test_server.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QSettings>
#include <QTextBrowser>

using tj::test::HttpTestResponse;
using tj::test::HttpTestServer;
using tj::test::waitFor;

namespace {

constexpr int32_t kToday = 20260210;
const QString kLastCheckKey = QStringLiteral("com.wrenmoor.shared.lastNewsCheck");
const QString kLastDateKey = QStringLiteral("com.wrenmoor.shared.lastNewsDate");
const QString kNewsPath = QStringLiteral("/news/index.html");

const char kPage[] = R"(<html><head><title>Wrenmoor News</title></head><body>
<h1>Wrenmoor News</h1>
<p>1/5/20240: a typo in the date, no heading.</p>
<p>3/14/2024: Tobbin Jigsaw 2.2 is out. <a href="https://wrenmoor.example/">See it</a>.</p>
<p>1/5/2024: New pictures.</p>
<p>11/30/2023: Winter sale.</p>
<p>That was the news</p>
<p>Wrenmoor</p>
</body></html>)";

class NewsUpdaterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        qputenv("WRENMOOR_SERVER", server.baseUrl().toUtf8());
        SharedSettings()->clear();
        server.route(kNewsPath, HttpTestResponse::ok(kPage));
        updater = std::make_unique<CCNewsUpdater>();
        updater->setTodayForTesting(kToday);
    }

    void TearDown() override
    {
        updater.reset();
        qunsetenv("WRENMOOR_SERVER");
    }

    bool settle() { return waitFor([&] { return !updater->isRunning(); }, 10000); }

    void requestCheck()
    {
        updater->displayUpdateDialog();
        updater->proceed();
        ASSERT_EQ(updater->currentPane(), CCNewsUpdater::Pane::Checking);
        ASSERT_TRUE(settle());
    }

    void autoCheck()
    {
        updater->setAutoCheck(true);
        updater->startAutoCheck();
        settle();
    }

    static qint64 stored(const QString &key) { return ReadSettingsInteger(*SharedSettings(), key).value_or(-1); }
    static void store(const QString &key, qint64 value)
    {
        const std::unique_ptr<QSettings> shared = SharedSettings();
        shared->setValue(key, value);
        shared->sync();
    }
    static QStringList pagesLeft() { return QDir::temp().entryList({QStringLiteral("*.html")}, QDir::Files); }

    HttpTestServer server;
    std::unique_ptr<CCNewsUpdater> updater;
};

}

TEST_F(NewsUpdaterTest, ShowsOnlyNewerItemsAndRemembersThem)
{
    store(kLastDateKey, 20240105);
    requestCheck();
    EXPECT_EQ(updater->currentPane(), CCNewsUpdater::Pane::NewsDisplay);
    EXPECT_EQ(updater->window()->windowTitle(), QStringLiteral("Wrenmoor News"));
    EXPECT_EQ(updater->newsView()->toPlainText(), QStringLiteral("3/14/2024: Tobbin Jigsaw 2.2 is out. See it."));
    EXPECT_EQ(stored(kLastDateKey), 20240314);
    EXPECT_EQ(stored(kLastCheckKey), kToday);
    EXPECT_EQ(updater->lastUpdateField()->text(), QStringLiteral("March 14, 2024"));
    EXPECT_EQ(updater->lastCheckField()->text(), QStringLiteral("February 10, 2026"));
    EXPECT_TRUE(pagesLeft().isEmpty()) << "the downloaded page is deleted";
    updater->proceed();
    EXPECT_FALSE(updater->window()->isVisible());
}

TEST_F(NewsUpdaterTest, NothingNewIsShownOnlyWhenAsked)
{
    store(kLastDateKey, 20240314);
    autoCheck();
    EXPECT_EQ(server.requestCount(kNewsPath), 1);
    EXPECT_FALSE(updater->window()->isVisible());
    EXPECT_EQ(stored(kLastCheckKey), kToday);

    requestCheck();
    EXPECT_EQ(updater->currentPane(), CCNewsUpdater::Pane::UpToDate);
    EXPECT_EQ(stored(kLastDateKey), 20240314);
    updater->cancel();
}

TEST_F(NewsUpdaterTest, AutomaticCheckShowsNews)
{
    autoCheck();
    EXPECT_TRUE(updater->window()->isVisible());
    EXPECT_EQ(updater->currentPane(), CCNewsUpdater::Pane::NewsDisplay);
    updater->cancel();
}

TEST_F(NewsUpdaterTest, OneSuccessfulAutomaticCheckADay)
{
    store(kLastCheckKey, kToday);
    autoCheck();
    tj::test::waitEvents(50);
    EXPECT_EQ(server.requestCount(), 0);

    // A failed download leaves the day open for the next tick.
    updater->setAutoCheck(false);
    updater->startAutoCheck();
    updater->setTodayForTesting(kToday + 1);
    server.route(kNewsPath, HttpTestResponse::withStatus(500, kPage));
    autoCheck();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_FALSE(updater->window()->isVisible());
    EXPECT_EQ(stored(kLastCheckKey), kToday);
}

TEST_F(NewsUpdaterTest, DamagedDatesDoNotHoldNewsBack)
{
    store(kLastCheckKey, 99991231);
    store(kLastDateKey, 99991231);
    autoCheck();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(updater->currentPane(), CCNewsUpdater::Pane::NewsDisplay);
    EXPECT_EQ(stored(kLastDateKey), 20240314);
    updater->cancel();
}

TEST_F(NewsUpdaterTest, FailuresAreShownOnlyWhenAsked)
{
    for (const HttpTestResponse &response :
         {HttpTestResponse::withStatus(404, kPage), HttpTestResponse::ok("<html><body>No news yet.</body></html>")}) {
        SharedSettings()->clear();
        server.route(kNewsPath, response);
        autoCheck();
        EXPECT_FALSE(updater->window()->isVisible());
        updater->setAutoCheck(false);
        updater->startAutoCheck();

        requestCheck();
        EXPECT_EQ(updater->currentPane(), CCNewsUpdater::Pane::CheckFail) << response.status;
        EXPECT_EQ(stored(kLastDateKey), -1);
        updater->cancel();
    }
    EXPECT_EQ(stored(kLastCheckKey), kToday) << "a page without news was still fetched";
}

TEST_F(NewsUpdaterTest, SettingStoredWhenTheWindowCloses)
{
    updater->displayUpdateDialog();
    EXPECT_EQ(updater->window()->windowTitle(), QStringLiteral("Check for Wrenmoor News"));
    EXPECT_TRUE(updater->lastUpdateField()->text().isEmpty());
    updater->setAutoCheck(true);
    updater->cancel();
    EXPECT_TRUE(ReadSettingsBool(*SharedSettings(), QStringLiteral("com.wrenmoor.shared.autoNewsCheck")));
    EXPECT_TRUE(updater->hasAutoCheckTimer());
    settle();
}
