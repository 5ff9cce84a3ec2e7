#include "support/widgets/cc_alert_controller.h"

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

CCAlertController *activeAlert()
{
    return qobject_cast<CCAlertController *>(QApplication::activeModalWidget());
}

// Where a real key press would land: the focused control, or the alert itself.
QWidget *keyTarget(CCAlertController *alert)
{
    QWidget *focus = alert->focusWidget();
    return focus ? focus : alert;
}

// Runs steps against the alert once it is on screen; closes it with kStuck if it is still
// open afterwards, so a missed key fails the test instead of hanging it.
void whenShown(std::function<void(CCAlertController *)> steps)
{
    QTimer::singleShot(0, [steps] {
        QPointer<CCAlertController> alert = activeAlert();
        ASSERT_TRUE(alert);
        steps(alert);
        QTimer::singleShot(0, [alert] {
            if (alert && alert->isVisible())
                alert->done(kStuck);
        });
    });
}

void press(CCAlertController *alert, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(keyTarget(alert), key, modifiers);
}

int runWithKeys(const CCAlertRequest &alertRequest, std::function<void(CCAlertController *)> steps,
                bool *suppress = nullptr)
{
    CCAlertController alert(alertRequest, suppress);
    whenShown(std::move(steps));
    return alert.runModal();
}

}

TEST(CCAlertController, AlertWithoutMoreInfoHasNoInfoFieldAndIsShorter)
{
    CCAlertController withInfo(request(QStringLiteral("The puzzle file \"<b>Türme</b>\" can't be opened because it is damaged.")));
    CCAlertController withoutInfo(request(QString()));
    withInfo.show();
    withoutInfo.show();
    EXPECT_TRUE(withInfo.infoField()->isVisible());
    EXPECT_FALSE(withoutInfo.infoField()->isVisible());
    EXPECT_LT(withoutInfo.height(), withInfo.height());
    EXPECT_EQ(withoutInfo.width(), withInfo.width());

    EXPECT_TRUE(withInfo.titleField()->font().bold());
    EXPECT_FALSE(withInfo.infoField()->font().bold());
    EXPECT_EQ(withInfo.titleField()->text(), QStringLiteral("Can't open puzzle."));
    // Names from files are shown as written, never as markup.
    EXPECT_EQ(withInfo.infoField()->textFormat(), Qt::PlainText);

    // Longer explanations make the window taller.
    CCAlertController longer(request(QStringLiteral("A long explanation. ").repeated(20)));
    longer.show();
    EXPECT_GT(longer.height(), withInfo.height());
}

TEST(CCAlertController, ButtonsAndSuppressCheckBoxFollowTheRequest)
{
    CCAlertController none(request(QString()));
    EXPECT_FALSE(none.button(0)->isHidden());
    EXPECT_EQ(none.button(0)->text(), QStringLiteral("OK"));
    EXPECT_TRUE(none.button(1)->isHidden());
    EXPECT_TRUE(none.button(2)->isHidden());
    EXPECT_TRUE(none.suppressButton()->isHidden());

    CCAlertController two(request(QString(), {QStringLiteral("Save & Quit"), QStringLiteral("Cancel")}, true));
    EXPECT_EQ(two.button(0)->text().replace(QStringLiteral("&&"), QStringLiteral("&")), QStringLiteral("Save & Quit"));
    EXPECT_FALSE(two.button(1)->isHidden());
    EXPECT_TRUE(two.button(2)->isHidden());
    EXPECT_FALSE(two.suppressButton()->isHidden());
    EXPECT_NE(two.suppressButton()->text(), QStringLiteral("Don't show this message again"));

    CCAlertController one(request(QString(), {QStringLiteral("Continue")}, true));
    EXPECT_EQ(one.suppressButton()->text(), QStringLiteral("Don't show this message again"));

    CCAlertController three(request(QString(), {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")}));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(three.button(i)->isHidden()) << i;
    EXPECT_EQ(three.button(2)->text(), QStringLiteral("C"));
}

TEST(CCAlertController, ReturnEnterAndEscapeChooseTheFirstTwoButtons)
{
    const QStringList buttons{QStringLiteral("Replace"), QStringLiteral("Cancel")};
    EXPECT_EQ(runWithKeys(request(QString(), buttons), [](auto *alert) { press(alert, Qt::Key_Return); }), kAlertFirstButton);
    EXPECT_EQ(runWithKeys(request(QString(), buttons), [](auto *alert) { press(alert, Qt::Key_Enter, Qt::KeypadModifier); }),
              kAlertFirstButton);
    EXPECT_EQ(runWithKeys(request(QString(), buttons), [](auto *alert) { press(alert, Qt::Key_Escape); }), kAlertSecondButton);
    // Return means button 1 even while another button has the focus.
    EXPECT_EQ(runWithKeys(request(QString(), buttons),
                          [](auto *alert) {
                              alert->button(1)->setFocus();
                              press(alert, Qt::Key_Return);
                          }),
              kAlertFirstButton);
    EXPECT_EQ(runWithKeys(request(QString(), buttons), [](auto *alert) { QTest::mouseClick(alert->button(1), Qt::LeftButton); }),
              kAlertSecondButton);

    // With one button, Escape and closing the window do nothing: the only answer must be
    // chosen on purpose. With two, closing the window answers as Escape does.
    EXPECT_EQ(runWithKeys(request(QString(), {QStringLiteral("Delete")}), [](auto *alert) { press(alert, Qt::Key_Escape); }),
              kStuck);
    EXPECT_EQ(runWithKeys(request(QString(), {QStringLiteral("Delete")}), [](auto *alert) { alert->close(); }), kStuck);
    EXPECT_EQ(runWithKeys(request(QString(), buttons), [](auto *alert) { alert->close(); }), kAlertSecondButton);
}

TEST(CCAlertController, ControlAndFirstLetterChoosesTheThirdButton)
{
    const QStringList buttons{QStringLiteral("Save"), QStringLiteral("Cancel"), QStringLiteral("Don't Save")};
    EXPECT_EQ(runWithKeys(request(QString(), buttons), [](auto *alert) { press(alert, Qt::Key_D, Qt::ControlModifier); }),
              kAlertThirdButton);
    EXPECT_EQ(runWithKeys(request(QString(), buttons),
                          [](auto *alert) { press(alert, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier); }),
              kAlertThirdButton);
    const std::pair<Qt::Key, Qt::KeyboardModifiers> ignored[] = {
        {Qt::Key_D, Qt::NoModifier},
        {Qt::Key_S, Qt::ControlModifier},
        {Qt::Key_D, Qt::ControlModifier | Qt::AltModifier},
    };
    for (const auto &chord : ignored) {
        EXPECT_EQ(runWithKeys(request(QString(), buttons), [chord](auto *alert) { press(alert, chord.first, chord.second); }),
                  kStuck)
            << chord.first;
    }
    // Without a third button the letter means nothing.
    EXPECT_EQ(runWithKeys(request(QString(), {QStringLiteral("Save"), QStringLiteral("Don't")}),
                          [](auto *alert) { press(alert, Qt::Key_D, Qt::ControlModifier); }),
              kStuck);
    // Lower-case and non-ASCII first letters compare without case.
    EXPECT_EQ(runWithKeys(request(QString(), {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("überspringen")}),
                          [](auto *alert) { press(alert, Qt::Key_Udiaeresis, Qt::ControlModifier); }),
              kAlertThirdButton);
}

TEST(CCAlertController, SuppressFlagTakesTheCheckBoxState)
{
    bool suppress = false;
    EXPECT_EQ(runWithKeys(
                  request(QString(), {}, true),
                  [](auto *alert) {
                      QTest::mouseClick(alert->suppressButton(), Qt::LeftButton, {}, QPoint(5, alert->suppressButton()->height() / 2));
                      press(alert, Qt::Key_Return);
                  },
                  &suppress),
              kAlertFirstButton);
    EXPECT_TRUE(suppress);
    EXPECT_EQ(runWithKeys(request(QString(), {}, true), [](auto *alert) { press(alert, Qt::Key_Return); }, &suppress),
              kAlertFirstButton);
    EXPECT_FALSE(suppress);
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
        innerTag = service->giveAlertMessage(QStringLiteral("Inner."), QString(), {QStringLiteral("OK"), QStringLiteral("Cancel")});
        press(outer, Qt::Key_Return);
    });
    bool suppress = true;
    EXPECT_EQ(service->giveAlertMessage(QStringLiteral("Outer."), QStringLiteral("More."), {}, &suppress), kAlertFirstButton);
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
    QCoreApplication::processEvents();
    QPointer<CCAlertController> sheet = host.findChild<CCAlertController *>();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->parentWidget(), &host);
    EXPECT_TRUE(service->isAlertActive());
    EXPECT_FALSE(answer.has_value());

    sheet->suppressButton()->setChecked(true);
    press(sheet, Qt::Key_Escape);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, std::make_pair(kAlertSecondButton, true));
    EXPECT_FALSE(service->isAlertActive());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(sheet);
    service->setPresenter(nullptr);
}
