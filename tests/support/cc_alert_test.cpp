#include "support/cc_alert.h"
#include "support/cc_logger.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <thread>
#include <vector>

using tj::test::drainEvents;
using tj::test::readFile;

namespace {

struct Shown
{
    CCAlertRequest request;
    QThread *thread = nullptr;
    QObject *host = nullptr;
};

// Answers every alert with the second button, or refuses to show it.
class FakePresenter : public CCAlertPresenter
{
public:
    std::optional<int> runModal(const CCAlertRequest &request, bool *suppress) override
    {
        shown.push_back({request, QThread::currentThread(), nullptr});
        suppressWasClear = suppress && !*suppress;
        if (refuse)
            return std::nullopt;
        if (suppress)
            *suppress = true;
        return kAlertSecondButton;
    }

    bool beginSheet(const CCAlertRequest &request, QObject *host, std::function<void(int, bool)>) override
    {
        shown.push_back({request, QThread::currentThread(), host});
        return !refuse;
    }

    std::vector<Shown> shown;
    bool refuse = false;
    bool suppressWasClear = false;
};

class CCAlertTest : public ::testing::Test
{
protected:
    void SetUp() override { alert->setPresenter(&presenter); }
    void TearDown() override { alert->setPresenter(nullptr); }

    CCAlert *alert = CCAlert::sharedInstance();
    FakePresenter presenter;
};

// A request as "message|more info|buttons|suppress".
QString described(const CCAlertRequest &request)
{
    return QStringList{request.message, request.moreInfo, request.buttonStrings.join(QLatin1Char('/')),
                       QLatin1String(request.showSuppressButton ? "suppress" : "")}
        .join(QLatin1Char('|'));
}

QByteArray sharedLog()
{
    return readFile(CCLogger::defaultLogPath());
}

}

TEST_F(CCAlertTest, WithoutPresenterAlertsAreLoggedAndAnswerWithTheFirstButton)
{
    alert->setPresenter(nullptr);
    bool suppress = true;
    EXPECT_EQ(alert->giveAlertMessage(QStringLiteral("Can't open puzzle."),
                                      QStringLiteral("The puzzle file \"x\" can't be opened because it is damaged."),
                                      {QStringLiteral("Retry"), QStringLiteral("Cancel")}, &suppress),
              kAlertFirstButton);
    EXPECT_FALSE(suppress);
    EXPECT_FALSE(alert->isAlertActive());
    EXPECT_TRUE(
        sharedLog().contains(" Can't open puzzle. The puzzle file \"x\" can't be opened because it is damaged.\n"));

    int answered = -1;
    alert->startAlertMessage(QStringLiteral("Sheet."), QString(), {}, true, nullptr,
                             [&](int tag, bool suppressed) { answered = suppressed ? -2 : tag; });
    // The answer comes later, as it would from a real sheet.
    EXPECT_EQ(answered, -1);
    drainEvents();
    EXPECT_EQ(answered, kAlertFirstButton);
}

TEST_F(CCAlertTest, ModalAlertPassesRequestAndAnswer)
{
    bool suppress = true;
    EXPECT_EQ(alert->giveAlertMessage(QStringLiteral("Delete puzzle?"), QStringLiteral("It can't be undone."),
                                      {QStringLiteral("Keep"), QStringLiteral("Delete")}, &suppress),
              kAlertSecondButton);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(described(presenter.shown[0].request),
              QStringLiteral("Delete puzzle?|It can't be undone.|Keep/Delete|suppress"));
    EXPECT_TRUE(presenter.suppressWasClear);
    EXPECT_TRUE(suppress);

    EXPECT_EQ(alert->giveAlertMessage(QStringLiteral("No flag."), QString()), kAlertSecondButton);
    EXPECT_EQ(described(presenter.shown[1].request), QStringLiteral("No flag.|||"));
}

TEST_F(CCAlertTest, AlertThatCannotShowIsPostedAgainOnceOnly)
{
    presenter.refuse = true;
    EXPECT_EQ(alert->giveAlertMessage(QStringLiteral("Can't save."), QStringLiteral("Disk full.")), 0);
    ASSERT_EQ(presenter.shown.size(), 1u);
    drainEvents();
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(described(presenter.shown[1].request), QStringLiteral("Can't save.|Disk full.||"));
    drainEvents();
    EXPECT_EQ(presenter.shown.size(), 2u);
    EXPECT_TRUE(sharedLog().contains(" Can't save. Disk full.\n"));

    // Custom buttons need an answer now, so they are not put off.
    EXPECT_EQ(alert->giveAlertMessage(QStringLiteral("Replace?"), QString(), {QStringLiteral("Replace")}),
              kAlertFirstButton);
    drainEvents();
    EXPECT_EQ(presenter.shown.size(), 3u);

    alert->giveAlertWithStrings({QStringLiteral("Only a title.")});
    EXPECT_EQ(presenter.shown.size(), 3u);
    drainEvents();
    ASSERT_EQ(presenter.shown.size(), 4u);
    EXPECT_EQ(described(presenter.shown[3].request), QStringLiteral("Only a title.|||"));
}

TEST_F(CCAlertTest, AlertsFromOtherThreadsShowOnTheMainThread)
{
    int tag = -1;
    std::thread worker([&] { tag = alert->giveAlertMessage(QStringLiteral("From a worker."), QString()); });
    worker.join();
    EXPECT_EQ(tag, 0);
    EXPECT_TRUE(presenter.shown.empty());
    drainEvents();
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].thread, QCoreApplication::instance()->thread());

    QObject host;
    std::thread sheetWorker(
        [&] { alert->startAlertMessage(QStringLiteral("Sheet from a worker."), QString(), {}, false, &host, {}); });
    sheetWorker.join();
    drainEvents();
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[1].host, &host);
    EXPECT_EQ(presenter.shown[1].thread, QCoreApplication::instance()->thread());
}
