#include "services/cc_news_updater.h"

#include "services_fixtures.h"

#include <QDir>
#include <QLabel>
#include <QTextBrowser>
#include <QTimer>

using namespace tj::test;

namespace {

constexpr int32_t kToday = 20260210;
const QString kLastCheckKey = QStringLiteral("com.wrenmoor.shared.lastNewsCheck");
const QString kLastDateKey = QStringLiteral("com.wrenmoor.shared.lastNewsDate");
const QString kNewsPagePath = QString::fromLatin1(kNewsPath);

class NewsUpdaterTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        server.route(kNewsPagePath, HttpTestResponse::ok(kNewsPage));
        updater = std::make_unique<CCNewsUpdater>();
        updater->setTodayForTesting(kToday);
    }

    void autoCheck()
    {
        updater->setAutoCheck(true);
        updater->startAutoCheck();
        settle(*updater);
    }

    static qint64 stored(const QString &key) { return ReadSettingsInteger(*SharedSettings(), key).value_or(-1); }
    static void store(const QString &key, qint64 value) { SharedSettings()->setValue(key, value); }

    std::unique_ptr<CCNewsUpdater> updater;
};

}

TEST_F(NewsUpdaterTest, ShowsOnlyNewerItemsAndRemembersThem)
{
    store(kLastDateKey, 20240105);
    requestCheck(*updater);
    EXPECT_EQ(updater->currentPane(), CCNewsUpdater::Pane::NewsDisplay);
    EXPECT_EQ(updater->window()->windowTitle(), QStringLiteral("Wrenmoor News"));
    EXPECT_EQ(updater->newsView()->toPlainText(),
              QStringLiteral("3/14/2024: Tobbin Jigsaw 2.2 is out. Get it now.\nIt brings red pieces."));
    EXPECT_EQ(stored(kLastDateKey), 20240314);
    EXPECT_EQ(stored(kLastCheckKey), kToday);
    EXPECT_EQ(updater->lastUpdateField()->text(), QStringLiteral("March 14, 2024"));
    EXPECT_EQ(updater->lastCheckField()->text(), QStringLiteral("February 10, 2026"));
    EXPECT_TRUE(QDir::temp().entryList({QStringLiteral("*.html")}, QDir::Files).isEmpty()) << "the page is deleted";
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

    // The first tick of a new day checks, unless the window is up; the ticks after it don't.
    QObject ticking;
    int ticks = 0;
    QObject::connect(timer, &QTimer::timeout, &ticking, [&] { ++ticks; });
    const auto tickTwice = [&] {
        const int seen = ticks;
        return waitFor([&] { return ticks > seen + 1; });
    };
    updater->setTodayForTesting(kToday + 1);
    timer->start(1);
    ASSERT_TRUE(waitFor([&] { return updater->window()->isVisible(); }));
    updater->setTodayForTesting(kToday + 2);
    ASSERT_TRUE(tickTwice());
    EXPECT_EQ(server.requestCount(), 1);
    updater->cancel();
    ASSERT_TRUE(waitFor([&] { return stored(kLastCheckKey) == kToday + 2; }));
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
    // The page, the last news date stored before and expected after, the pane a requested check
    // shows, and the last check date stored by the automatic one.
    const std::tuple<HttpTestResponse, qint64, CCNewsUpdater::Pane, qint64> cases[] = {
        {HttpTestResponse::ok(kNewsPage), 20240314, CCNewsUpdater::Pane::UpToDate, kToday},
        // A failed download leaves the day open for the next tick.
        {HttpTestResponse::withStatus(404, kNewsPage), -1, CCNewsUpdater::Pane::CheckFail, -1},
        // A page without news was still fetched.
        {HttpTestResponse::ok("<html><body>No news yet.</body></html>"), -1, CCNewsUpdater::Pane::CheckFail, kToday},
    };
    for (const auto &[response, lastDate, shown, lastCheck] : cases) {
        SharedSettings()->clear();
        if (lastDate > 0)
            store(kLastDateKey, lastDate);
        server.route(kNewsPagePath, response);
        server.clearRequests();
        autoCheck();
        EXPECT_EQ(server.requestCount(kNewsPagePath), 1);
        EXPECT_FALSE(updater->window()->isVisible());
        EXPECT_EQ(stored(kLastCheckKey), lastCheck);
        updater->setAutoCheck(false);
        updater->startAutoCheck();

        requestCheck(*updater);
        EXPECT_EQ(updater->currentPane(), shown) << response.status;
        EXPECT_EQ(stored(kLastDateKey), lastDate);
        updater->cancel();
    }
}
