#include "services/cc_news_updater.h"
#include "services/cc_pane_window.h"
#include "services/shared_settings.h"

#include "http_test_server.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QTextBrowser>
#include <QTimer>

using tj::test::HttpTestResponse;
using tj::test::HttpTestServer;

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

    bool settle() { return tj::test::waitFor([&] { return !updater->isRunning(); }); }

    void requestCheck()
    {
        updater->displayUpdateDialog();
        updater->proceed();
        ASSERT_EQ(updater->currentPane(), CCNewsUpdater::Pane::Checking);
        const QProgressBar *spinner = updater->pane(CCNewsUpdater::Pane::Checking)->findChild<QProgressBar *>();
        EXPECT_EQ(spinner->maximum(), 0) << "the spinner runs while the check does";
        ASSERT_TRUE(settle());
        EXPECT_EQ(spinner->maximum(), 1);
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

TEST_F(NewsUpdaterTest, OneSuccessfulAutomaticCheckADay)
{
    store(kLastCheckKey, kToday);
    updater->setAutoCheck(true);
    updater->startAutoCheck();
    EXPECT_FALSE(updater->isRunning()) << "a due check would have started at once";
    QTimer *timer = updater->findChild<QTimer *>();
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->interval(), 3600 * 1000);

    // The first tick of a new day checks, unless the window is up; the ticks after it don't.
    QObject ticking;
    int ticks = 0;
    QObject::connect(timer, &QTimer::timeout, &ticking, [&] { ++ticks; });
    const auto tickTwice = [&] {
        const int seen = ticks;
        return tj::test::waitFor([&] { return ticks > seen + 1; });
    };
    updater->setTodayForTesting(kToday + 1);
    timer->start(1);
    ASSERT_TRUE(tj::test::waitFor([&] { return updater->window()->isVisible(); }));
    updater->setTodayForTesting(kToday + 2);
    ASSERT_TRUE(tickTwice());
    EXPECT_EQ(server.requestCount(), 1);
    updater->cancel();
    ASSERT_TRUE(tj::test::waitFor([&] { return stored(kLastCheckKey) == kToday + 2; }));
    ASSERT_TRUE(tickTwice());
    EXPECT_EQ(server.requestCount(), 2);
}

TEST_F(NewsUpdaterTest, AutomaticCheckShowsNewsDespiteDamagedDates)
{
    store(kLastCheckKey, 99991231);
    store(kLastDateKey, 99991231);
    autoCheck();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(updater->window()->isVisible()) << "an automatic check shows news";
    EXPECT_EQ(updater->currentPane(), CCNewsUpdater::Pane::NewsDisplay);
    EXPECT_EQ(stored(kLastDateKey), 20240314);
    updater->cancel();
}

TEST_F(NewsUpdaterTest, NoNewsAndFailuresAreShownOnlyWhenAsked)
{
    const struct
    {
        HttpTestResponse response;
        qint64 lastDate; // stored before, and expected after
        CCNewsUpdater::Pane shown;
        qint64 lastCheck;
    } cases[] = {
        {HttpTestResponse::ok(kPage), 20240314, CCNewsUpdater::Pane::UpToDate, kToday},
        // A failed download leaves the day open for the next tick.
        {HttpTestResponse::withStatus(404, kPage), -1, CCNewsUpdater::Pane::CheckFail, -1},
        // A page without news was still fetched.
        {HttpTestResponse::ok("<html><body>No news yet.</body></html>"), -1, CCNewsUpdater::Pane::CheckFail, kToday},
    };
    for (const auto &c : cases) {
        SharedSettings()->clear();
        if (c.lastDate > 0)
            store(kLastDateKey, c.lastDate);
        server.route(kNewsPath, c.response);
        server.clearRequests();
        autoCheck();
        EXPECT_EQ(server.requestCount(kNewsPath), 1);
        EXPECT_FALSE(updater->window()->isVisible());
        EXPECT_EQ(stored(kLastCheckKey), c.lastCheck);
        updater->setAutoCheck(false);
        updater->startAutoCheck();

        requestCheck();
        EXPECT_EQ(updater->currentPane(), c.shown) << c.response.status;
        EXPECT_EQ(stored(kLastDateKey), c.lastDate);
        updater->cancel();
    }
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
    EXPECT_TRUE(CCNewsUpdater().autoCheck()) << "the setting is read at the next start";
}
