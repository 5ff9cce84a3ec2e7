#include "support/widgets/cc_alert_controller.h"

#include "test_support.h"
#include "widget_helpers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

constexpr int kStuck = -99;

CCAlertRequest request(const QString &moreInfo, const QStringList &buttons = {}, bool suppress = false)
{
    return CCAlertRequest{QStringLiteral("Can't open puzzle."), moreInfo, buttons, suppress};
}

// Where a real key press would land: the focused control, or the alert itself.
void press(CCAlertController *alert, QKeyCombination chord)
{
    QWidget *focus = alert->focusWidget();
    QTest::keyClick(focus ? focus : alert, chord.key(), chord.keyboardModifiers());
}

// Runs steps against the next alert once it is on screen; closes it with kStuck if it is
// still open afterwards, so a missed key fails the test instead of hanging it.
void whenShown(std::function<void(CCAlertController *)> steps)
{
    tj::test::whenModal<CCAlertController>([steps](CCAlertController *alert) {
        QPointer<CCAlertController> shown = alert;
        steps(alert);
        QTimer::singleShot(0, [shown] {
            if (shown && shown->isVisible())
                shown->done(kStuck);
        });
    });
}

int runWithKeys(const CCAlertRequest &alertRequest, std::function<void(CCAlertController *)> steps,
                bool *suppress = nullptr)
{
    CCAlertController alert(alertRequest, suppress);
    whenShown(std::move(steps));
    return alert.runModal();
}

// The answer to a chord pressed on an alert with these buttons.
int answerTo(const QStringList &buttons, QKeyCombination chord)
{
    return runWithKeys(request(QString(), buttons), [chord](auto *alert) { press(alert, chord); });
}

}

TEST(CCAlertController, InfoFieldShowsOnlyWithMoreInfoAsPlainText)
{
    CCAlertController withInfo(request(QStringLiteral("The puzzle file \"<b>Türme</b>\" can't be opened.")));
    CCAlertController withoutInfo(request(QString()));
    CCAlertController longer(request(QStringLiteral("A long explanation. ").repeated(20)));
    for (CCAlertController *alert : {&withInfo, &withoutInfo, &longer})
        alert->show();
    EXPECT_TRUE(withInfo.infoField()->isVisible());
    EXPECT_FALSE(withoutInfo.infoField()->isVisible());
    // The window grows with the text instead of cutting it.
    EXPECT_GT(longer.height(), withInfo.height());
    // Names from files are shown as written, never as markup.
    EXPECT_EQ(withInfo.infoField()->textFormat(), Qt::PlainText);
}

TEST(CCAlertController, ButtonsAndSuppressCheckBoxFollowTheRequest)
{
    // The shown buttons' titles, then the check box's text when it shows.
    const auto shown = [](const QStringList &buttons, bool suppress) {
        CCAlertController alert(request(QString(), buttons, suppress));
        QStringList titles;
        for (int i = 0; i < 3; ++i) {
            if (!alert.button(i)->isHidden())
                titles << alert.button(i)->text().replace(QStringLiteral("&&"), QStringLiteral("&"));
        }
        if (!alert.suppressButton()->isHidden())
            titles << QLatin1Char('[') + alert.suppressButton()->text() + QLatin1Char(']');
        return titles.join(QLatin1Char('/'));
    };
    EXPECT_EQ(shown({}, false), QStringLiteral("OK"));
    EXPECT_EQ(shown({QStringLiteral("Continue")}, true), QStringLiteral("Continue/[Don't show this message again]"));
    EXPECT_EQ(shown({QStringLiteral("Save & Quit"), QStringLiteral("Cancel")}, true),
              QStringLiteral("Save & Quit/Cancel/[Don't ask again]"));
    EXPECT_EQ(shown({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")}, false),
              QStringLiteral("A/B/C"));
}

TEST(CCAlertController, KeysChooseButtons)
{
    const QStringList two{QStringLiteral("Replace"), QStringLiteral("Cancel")};
    EXPECT_EQ(answerTo(two, Qt::Key_Return), kAlertFirstButton);
    EXPECT_EQ(answerTo(two, Qt::KeypadModifier | Qt::Key_Enter), kAlertFirstButton);
    EXPECT_EQ(answerTo(two, Qt::Key_Escape), kAlertSecondButton);
    // Return means button 1 even while another button has the focus.
    EXPECT_EQ(runWithKeys(request(QString(), two),
                          [](auto *alert) {
                              alert->button(1)->setFocus();
                              press(alert, Qt::Key_Return);
                          }),
              kAlertFirstButton);
    EXPECT_EQ(
        runWithKeys(request(QString(), two), [](auto *alert) { QTest::mouseClick(alert->button(1), Qt::LeftButton); }),
        kAlertSecondButton);

    // With one button, Escape and closing the window do nothing: the only answer must be
    // chosen on purpose. With two, closing the window answers as Escape does.
    EXPECT_EQ(answerTo({QStringLiteral("Delete")}, Qt::Key_Escape), kStuck);
    EXPECT_EQ(runWithKeys(request(QString(), {QStringLiteral("Delete")}), [](auto *alert) { alert->close(); }), kStuck);
    EXPECT_EQ(runWithKeys(request(QString(), two), [](auto *alert) { alert->close(); }), kAlertSecondButton);

    // Control and the first letter, in any case, choose the third button; Shift may be held, Option not.
    const QStringList three{QStringLiteral("Save"), QStringLiteral("Cancel"), QStringLiteral("Don't Save")};
    EXPECT_EQ(answerTo(three, Qt::ControlModifier | Qt::Key_D), kAlertThirdButton);
    EXPECT_EQ(answerTo(three, Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_D), kAlertThirdButton);
    EXPECT_EQ(answerTo(three, Qt::Key_D), kStuck);
    EXPECT_EQ(answerTo(three, Qt::ControlModifier | Qt::Key_S), kStuck);
    EXPECT_EQ(answerTo(three, Qt::ControlModifier | Qt::AltModifier | Qt::Key_D), kStuck);
    EXPECT_EQ(answerTo({QStringLiteral("Save"), QStringLiteral("Don't")}, Qt::ControlModifier | Qt::Key_D), kStuck);
    EXPECT_EQ(answerTo({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("überspringen")},
                       Qt::ControlModifier | Qt::Key_Udiaeresis),
              kAlertThirdButton);
}

TEST(CCAlertController, SuppressFlagTakesTheCheckBoxState)
{
    for (const bool tick : {true, false}) {
        bool suppress = !tick;
        const auto answer = [tick](CCAlertController *alert) {
            if (tick)
                QTest::mouseClick(alert->suppressButton(), Qt::LeftButton, {},
                                  QPoint(5, alert->suppressButton()->height() / 2));
            press(alert, Qt::Key_Return);
        };
        EXPECT_EQ(runWithKeys(request(QString(), {}, true), answer, &suppress), kAlertFirstButton);
        EXPECT_EQ(suppress, tick);
    }
}

TEST(CCAlertController, SharedServiceShowsAlertsAndCountsNesting)
{
    InstallAlertPresenter();
    CCAlert *service = CCAlert::sharedInstance();
    int outerCount = 0;
    int innerCount = 0;
    int innerTag = 0;
    whenShown([&](CCAlertController *outer) {
        outerCount = service->activeAlertCount();
        whenShown([&](CCAlertController *inner) {
            innerCount = service->activeAlertCount();
            press(inner, Qt::Key_Escape);
        });
        innerTag = service->giveAlertMessage(QStringLiteral("Inner."), QString(),
                                             {QStringLiteral("OK"), QStringLiteral("Cancel")});
        press(outer, Qt::Key_Return);
    });
    bool suppress = true;
    EXPECT_EQ(service->giveAlertMessage(QStringLiteral("Outer."), QStringLiteral("More."), {}, &suppress),
              kAlertFirstButton);
    EXPECT_FALSE(suppress);
    EXPECT_EQ(outerCount, 1);
    EXPECT_EQ(innerCount, 2);
    EXPECT_EQ(innerTag, kAlertSecondButton);
    EXPECT_FALSE(service->isAlertActive());
    service->setPresenter(nullptr);
}

TEST(CCAlertController, SheetIsWindowModalOnItsHostAndAnswersThroughTheCompletion)
{
    InstallAlertPresenter();
    CCAlert *service = CCAlert::sharedInstance();
    QWidget host;
    host.resize(500, 400);
    host.show();

    std::optional<std::pair<int, bool>> answer;
    service->startAlertMessage(QStringLiteral("Finished!"), QStringLiteral("Keep the puzzle?"),
                               {QStringLiteral("Keep"), QStringLiteral("Delete")}, true, &host,
                               [&](int tag, bool suppressed) { answer = std::make_pair(tag, suppressed); });
    tj::test::drainEvents();
    QPointer<CCAlertController> sheet = host.findChild<CCAlertController *>();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible() && sheet->windowModality() == Qt::WindowModal && service->isAlertActive());
    EXPECT_FALSE(answer.has_value());

    sheet->suppressButton()->setChecked(true);
    press(sheet, Qt::Key_Escape);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, std::make_pair(kAlertSecondButton, true));
    EXPECT_FALSE(service->isAlertActive());
    tj::test::drainEvents();
    EXPECT_FALSE(sheet);
    service->setPresenter(nullptr);
}
