#include "play/jp_building_progress_dialog.h"
#include "play/jp_done_puzzle_dialog.h"
#include "play_fixtures.h"
#include "widget_helpers.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <random>

namespace {

using tj::test::BuildTestPuzzle;

class DoneDialogTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        puzzle = BuildTestPuzzle(QStringLiteral("Harbour at Dusk"), 640, 480, 12).release();
    }
    static void TearDownTestSuite() { delete puzzle; }
    static JPPuzzle *puzzle;
};

JPPuzzle *DoneDialogTest::puzzle = nullptr;

// The title, the alert, the message and the two buttons, in one line.
TEST_F(DoneDialogTest, FinishedAndDeletingTexts)
{
    ASSERT_TRUE(puzzle);
    const auto texts = [](bool deleting) {
        auto d = JPDonePuzzleDialog::initWithPuzzle(puzzle, deleting);
        EXPECT_FALSE(d->imageView()->pixmap().isNull());
        return QStringList{d->windowTitle(), d->alertField()->text(), d->messageField()->text(),
                           d->deleteButton()->text(), d->cancelButton()->text()}
            .join(QLatin1Char('|'));
    };
    EXPECT_EQ(texts(false),
              QStringLiteral("Puzzle Finished|Congratulations!|You have finished\n\nHarbour at Dusk"
                             "\n\nWhat would you like to do with the completed puzzle?|Delete Puzzle"
                             "|Keep Puzzle"));
    EXPECT_EQ(texts(true),
              QStringLiteral("Delete Puzzle|Warning|Are you sure you want to stop working on\n\n"
                             "Harbour at Dusk\n\nand delete it?|Delete|Cancel"));
    EXPECT_FALSE(JPDonePuzzleDialog::initWithPuzzle(nullptr, true));
    EXPECT_FALSE(JPDonePuzzleDialog::disposePuzzle(nullptr, false));
}

TEST_F(DoneDialogTest, AnswersFollowTheButtons)
{
    ASSERT_TRUE(puzzle);
    using Answer = std::function<void(JPDonePuzzleDialog *)>;
    const auto type = [](Qt::Key key) {
        return Answer([key](JPDonePuzzleDialog *dialog) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(dialog, &press);
        });
    };
    // Escape and Return both keep the puzzle: keeping is the default answer.
    const std::pair<Answer, bool> answers[] = {{[](JPDonePuzzleDialog *d) { d->deleteButton()->click(); }, true},
                                               {[](JPDonePuzzleDialog *d) { d->cancelButton()->click(); }, false},
                                               {type(Qt::Key_Escape), false},
                                               {type(Qt::Key_Return), false}};
    for (bool deleting : {false, true}) {
        for (const auto &[answer, confirmed] : answers) {
            tj::test::whenModal<JPDonePuzzleDialog>(answer);
            EXPECT_EQ(JPDonePuzzleDialog::disposePuzzle(puzzle, deleting), confirmed) << deleting;
        }
    }
}

// Many tiny steps: the bar stays within a hundredth behind the work (it counts in thousandths,
// so it may round up by half of one), changes at most about a hundred times and never goes back.
TEST(BuildingDialogTest, TheBarMovesOnlyInStepsOfAHundredthAndNeverBack)
{
    JPBuildingProgressDialog dialog;
    QProgressBar *bar = dialog.progressBar();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> step(0.0, 0.004);
    const double tick = 1.0 / bar->maximum();
    int changes = 0;
    for (double fraction = 0; fraction < 1.0;) {
        const int last = bar->value();
        fraction = std::min(1.0, fraction + step(random));
        dialog.updateProgress(fraction);
        EXPECT_GE(bar->value(), last);
        EXPECT_LE(bar->value() * tick, fraction + tick / 2);
        EXPECT_GE(bar->value() * tick, fraction - 0.01 - tick / 2);
        changes += bar->value() != last;
    }
    EXPECT_LE(changes, 100);
    EXPECT_GE(changes, 50);
    const int end = bar->value();
    dialog.updateProgress(0.5);
    EXPECT_EQ(bar->value(), end);
}

TEST(BuildingDialogTest, EndingBeforeOrDuringTheRunReturns)
{
    JPBuildingProgressDialog early;
    early.endModal();
    early.runModal();
    EXPECT_FALSE(early.isVisible());

    JPBuildingProgressDialog during;
    QTimer::singleShot(20, &during, [&during] {
        EXPECT_TRUE(during.isVisible());
        // Escape must not end it: the pieces are still being made.
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&during, &escape);
        EXPECT_TRUE(during.isVisible());
        during.endModal();
    });
    during.runModal();
    EXPECT_FALSE(during.isVisible());
}

}
