#include "app/app_storage.h"
#include "app/finished_record.h"
#include "app/jp_app_controller.h"
#include "model/jp_puzzle.h"
#include "model/play_stats.h"
#include "play/jp_done_puzzle_dialog.h"
#include "play/jp_window_controller.h"
#include "puzzle_fixtures.h"
#include "support/cc_notifier.h"
#include "support/property_list.h"
#include "test_support.h"
#include "widget_helpers.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QSettings>


namespace {

// A built puzzle folder of a few pieces, as the game makes one.
QString MakeBuiltFolder(const QString &name)
{
    QString folder;
    tj::test::BuildPuzzleFolder(tj::test::WriteTestPicture(480, 360), name, 12, &folder);
    return folder;
}

class AppControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app = JPAppController::sharedInstance();
        app->applicationDidFinishLaunching();
    }
    QString title() const { return app->windowController()->windowTitle(); }
    JPAppController *app = nullptr;
};

}

// The current puzzle titles the window, is announced and remembered; deleting it asks first.
TEST_F(AppControllerTest, TheCurrentPuzzleIsShownAnnouncedRememberedAndDeletedOnlyWhenConfirmed)
{
    const QString second = MakeBuiltFolder(QStringLiteral("Second"));
    JPPuzzle *a = app->openPuzzle(MakeBuiltFolder(QStringLiteral("First")));
    JPPuzzle *b = app->openPuzzle(second);
    ASSERT_TRUE(a && b);
    int switches = 0;
    auto connection = QObject::connect(CCNotifier::sharedInstance(), &CCNotifier::posted, [&](const QString &name) {
        switches += name == QLatin1String("wmjigsaw.switch");
    });
    app->setCurrentPuzzle(b);
    EXPECT_EQ(app->windowController()->currentPuzzle(), b);
    EXPECT_EQ(title(), QStringLiteral("Jigsaw — Second"));
    EXPECT_EQ(switches, 1);
    // The switch saves: the current folder is remembered relative to the home folder.
    EXPECT_EQ(QSettings().value(QStringLiteral("wmjigsaw.current")).toString(),
              QLatin1Char('~') + second.mid(QDir::homePath().size()));

    bool shown = false;
    tj::test::whenModal<JPDonePuzzleDialog>([&shown](JPDonePuzzleDialog *dialog) {
        shown = true;
        EXPECT_TRUE(dialog->deleting());
        dialog->cancel();
    });
    app->stopPuzzle(true);
    EXPECT_TRUE(shown);
    EXPECT_EQ(app->currentPuzzle(), b);
    EXPECT_EQ(app->openPuzzles().size(), 2u);
    EXPECT_TRUE(QFileInfo::exists(second));

    tj::test::whenModal<JPDonePuzzleDialog>([](JPDonePuzzleDialog *dialog) { dialog->ok(); });
    app->stopPuzzle(true);
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_EQ(app->openPuzzles().size(), 1u);
    EXPECT_EQ(app->currentPuzzle(), a);
    EXPECT_EQ(title(), QStringLiteral("Jigsaw — First"));
    EXPECT_TRUE(app->completedPuzzlePaths().isEmpty());

    const int before = switches;
    app->setCurrentPuzzle(nullptr);
    EXPECT_EQ(title(), QStringLiteral("Jigsaw"));
    EXPECT_EQ(switches, before + 1);
    EXPECT_FALSE(QSettings().contains(QStringLiteral("wmjigsaw.current")));
    QObject::disconnect(connection);
}

TEST_F(AppControllerTest, TimePlayedFollowsTheCurrentPuzzleAndAFinishIsRecorded)
{
    const QString support = g_puzzlePath;
    g_puzzlePath = tj::test::freshFolder(QStringLiteral("support"));
    int64_t now = 1000;
    JPPlayClock &clock = app->playClock();
    clock.setTimeSource([&now] { return now; });
    const QString betaFolder = MakeBuiltFolder(QStringLiteral("Beta"));
    JPPuzzle *alpha = app->openPuzzle(MakeBuiltFolder(QStringLiteral("Alpha")));
    JPPuzzle *beta = app->openPuzzle(betaFolder);
    ASSERT_TRUE(alpha && beta);
    app->updateFileMenu();
    app->setCurrentPuzzle(alpha);
    clock.setActive(true);
    const auto touch = [this] { Q_EMIT app->windowController()->touched(); };

    touch();
    now += 90'000;
    app->setCurrentPuzzle(beta);
    EXPECT_DOUBLE_EQ(PlayedSeconds(alpha->puzzleDict()), 90.0);
    now += 60'000;
    touch();
    now += 20'000;
    // Asleep, nothing counts, and after waking only a touch starts the count again.
    QMetaObject::invokeMethod(app, "prepareForSleep", Q_ARG(bool, true));
    now += 600'000;
    QMetaObject::invokeMethod(app, "prepareForSleep", Q_ARG(bool, false));
    now += 60'000;
    touch();
    now += 10'000;
    app->saveEverything();
    EXPECT_DOUBLE_EQ(PlayedSeconds(beta->puzzleDict()), 30.0);
    EXPECT_DOUBLE_EQ(PlayedSeconds(*ReadPropertyListDictionary(betaFolder + QStringLiteral("/info.plist"))), 30.0);
    app->validateMenus();
    const QList<QAction *> items = app->windowController()->fileMenu()->actions();
    EXPECT_TRUE(std::any_of(items.begin(), items.end(), [](QAction *item) {
        return item->toolTip().startsWith(QStringLiteral("0 of "))
            && item->toolTip().endsWith(QStringLiteral(", played 30 s"));
    }));

    touch();
    now += 5'000;
    bool shown = false;
    QString stats;
    tj::test::whenModal<JPDonePuzzleDialog>([&shown, &stats](JPDonePuzzleDialog *dialog) {
        shown = true;
        EXPECT_FALSE(dialog->deleting());
        stats = dialog->statsField()->text();
        dialog->cancel();
    });
    const int64_t pieces = beta->pieceCount();
    beta->setComplete();
    ASSERT_TRUE(tj::test::waitFor([&shown] { return shown; }));
    EXPECT_EQ(stats, QStringLiteral("Finished in 35 s, %1 pieces.").arg(pieces));
    // Kept: it leaves the open puzzles for the completed list, with its time, and is recorded.
    EXPECT_EQ(app->openPuzzles().size(), 1u);
    EXPECT_NE(app->currentPuzzle(), beta);
    EXPECT_EQ(app->completedPuzzlePaths(), QStringList{betaFolder});
    EXPECT_DOUBLE_EQ(PlayedSeconds(*ReadPropertyListDictionary(betaFolder + QStringLiteral("/info.plist"))), 35.0);
    const std::vector<FinishedPuzzle> record = ReadFinishedRecord(FinishedRecordPath());
    ASSERT_EQ(record.size(), 1u);
    EXPECT_EQ(QStringLiteral("%1 %2 %3").arg(record[0].name).arg(record[0].pieces).arg(record[0].seconds),
              QStringLiteral("Beta %1 35").arg(pieces));

    clock.setTimeSource({});
    g_puzzlePath = support;
}
