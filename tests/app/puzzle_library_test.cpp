#include "app/jp_app_controller.h"
#include "app/jp_new_puzzle_dialog.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_folder.h"
#include "play/jp_window_controller.h"
#include "support/property_list.h"
#include "test_helpers.h"
#include "test_support.h"
#include "widget_helpers.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QSettings>

using tj::test::freshFolder;

namespace {

QString makePuzzle(const QString &into, const QString &name, int64_t count)
{
    NewPuzzleChoice choice;
    choice.dict[QStringLiteral("path")] = QString(tj::test::dataFolder() + QStringLiteral("/citrus.jpg"));
    choice.dict[QStringLiteral("name")] = name;
    choice.count = count;
    auto made = MakePuzzleFolder(choice, into, nullptr);
    EXPECT_TRUE(made && JPPuzzle::initWithPath(made->folder, made->picture, &made->dict));
    return made ? made->folder : QString();
}

// The puzzle items after the file menu's last separator: "title|shortcut[|current]".
QStringList puzzleItems(QMenu *menu)
{
    QStringList titles;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator())
            titles = {};
        else
            titles << action->text() + QLatin1Char('|') + action->shortcut().toString(QKeySequence::PortableText)
                    + (action->isChecked() ? QStringLiteral("|current") : QString());
    }
    return titles;
}

}

TEST(PuzzleLibrary, OpensUnfinishedPuzzlesSortedWithShortcutsAndReopensTheCurrentOne)
{
    const QString support = freshFolder(QStringLiteral("library"));
    const QString b = makePuzzle(support, QStringLiteral("b"), 20);
    const QString bigA = makePuzzle(support, QStringLiteral("A"), 60);
    const QString smallA = makePuzzle(support, QStringLiteral("a"), 30);
    const QString kept = makePuzzle(support, QStringLiteral("kept"), 20);
    auto info = *ReadPropertyListDictionary(kept + QStringLiteral("/info.plist"));
    info[QStringLiteral("done")] = true;
    ASSERT_TRUE(WritePropertyList(kept + QStringLiteral("/info.plist"), info));
    // A damaged folder is reported and left as it is.
    const QString broken = support + QStringLiteral("/BROKEN.WMjigsaw");
    tj::test::writeFile(broken + QStringLiteral("/info.plist"), {});
    QSettings().setValue(QStringLiteral("wmjigsaw.current"),
                         QString(QLatin1Char('~') + bigA.mid(QDir::homePath().size())));

    JPAppController *controller = JPAppController::sharedInstance();
    controller->applicationDidFinishLaunching();
    controller->loadPuzzleLibrary(support);

    ASSERT_EQ(controller->openPuzzles().size(), 3u);
    EXPECT_EQ(controller->completedPuzzlePaths(), QStringList{kept});
    EXPECT_TRUE(QDir(broken).exists());
    ASSERT_TRUE(controller->currentPuzzle());
    EXPECT_EQ(controller->currentPuzzle()->filePath(), bigA);
    const auto &open = controller->openPuzzles();
    EXPECT_EQ(puzzleItems(controller->windowController()->fileMenu()),
              (QStringList{QStringLiteral("a  (%1)|Ctrl+1").arg(open[0]->pieceCount()),
                           QStringLiteral("A  (%1)|Ctrl+2|current").arg(open[1]->pieceCount()),
                           QStringLiteral("b  (%1)|Ctrl+3").arg(open[2]->pieceCount())}));

    controller->nextPuzzle();
    EXPECT_EQ(controller->currentPuzzle()->filePath(), b);
    controller->nextPuzzle();
    EXPECT_EQ(controller->currentPuzzle()->filePath(), smallA);
    EXPECT_TRUE(puzzleItems(controller->windowController()->fileMenu())[0].endsWith(QStringLiteral("|current")));
    EXPECT_EQ(QSettings().value(QStringLiteral("wmjigsaw.current")).toString(),
              QLatin1Char('~') + smallA.mid(QDir::homePath().size()));
}

// An empty library brings up the New Puzzle dialog at start, unless a folder named on the
// command line opened in the meantime.
TEST(PuzzleLibrary, AFolderNamedAtStartOpensInAnEmptyLibraryWithoutTheNewPuzzleDialog)
{
    const QString given = makePuzzle(freshFolder(QStringLiteral("elsewhere")), QStringLiteral("given"), 20);
    bool dialogShown = false;
    tj::test::whenModal<JPNewPuzzleDialog>(
        [&dialogShown](JPNewPuzzleDialog *dialog) {
            dialogShown = true;
            dialog->reject();
        },
        2000);
    JPAppController *controller = JPAppController::sharedInstance();
    ASSERT_TRUE(controller->applicationWillFinishLaunching());
    controller->applicationDidFinishLaunching();
    controller->restoreLibrary();
    ASSERT_TRUE(controller->openFromCommandLine(given));
    EXPECT_EQ(controller->currentPuzzle()->filePath(), given);
    tj::test::drainEvents();
    EXPECT_FALSE(dialogShown);
}
