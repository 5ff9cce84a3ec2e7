#include "app/jp_app_controller.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_folder.h"
#include "play/jp_done_puzzle_dialog.h"
#include "play/jp_window_controller.h"
#include "support/cc_notifier.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <functional>

namespace {

using tj::test::freshFolder;

// A built puzzle folder made from a drawn picture, as the game makes one.
QString MakeBuiltFolder(const QString &name)
{
    QImage image(480, 360, QImage::Format_RGB32);
    image.fill(QColor(30, 120, 90));
    QPainter painter(&image);
    painter.fillRect(QRect(40, 40, 200, 100), QColor(230, 200, 60));
    painter.end();
    const QString picture = QDir(freshFolder(QStringLiteral("pictures"))).filePath(QStringLiteral("p.jpg"));
    EXPECT_TRUE(image.save(picture, "JPEG", 90));
    NewPuzzleChoice choice;
    choice.dict[QStringLiteral("path")] = picture;
    choice.dict[QStringLiteral("name")] = name;
    choice.count = 12;
    QString error;
    auto made = MakePuzzleFolder(choice, freshFolder(QStringLiteral("support")), &error);
    EXPECT_TRUE(made) << error.toStdString();
    return made ? made->folder : QString();
}

void whenModal(std::function<void(JPDonePuzzleDialog *)> answer, bool *shown = nullptr)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [answer, poll, shown] {
        if (auto *dialog = qobject_cast<JPDonePuzzleDialog *>(QApplication::activeModalWidget())) {
            if (shown)
                *shown = true;
            answer(dialog);
        } else {
            QTimer::singleShot(10, *poll);
        }
    };
    QTimer::singleShot(0, *poll);
}

class AppControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app = JPAppController::sharedInstance();
        app->applicationDidFinishLaunching();
    }
    void TearDown() override
    {
        while (!app->openPuzzles().empty()) {
            app->setCurrentPuzzle(app->openPuzzles().front().get());
            whenModal([](JPDonePuzzleDialog *dialog) { dialog->ok(); });
            app->stopPuzzle(true);
        }
    }
    JPAppController *app = nullptr;
};

TEST_F(AppControllerTest, OneSharedInstance)
{
    EXPECT_EQ(JPAppController::sharedInstance(), app);
    ASSERT_TRUE(app->windowController());
    JPWindowController *window = app->windowController();
    app->applicationDidFinishLaunching();
    EXPECT_EQ(app->windowController(), window);
}

TEST_F(AppControllerTest, CurrentPuzzleTitlesTheWindowAndIsAnnounced)
{
    const QString folder = MakeBuiltFolder(QStringLiteral("Lighthouse"));
    JPPuzzle *puzzle = app->openPuzzle(folder);
    ASSERT_TRUE(puzzle);
    int switches = 0;
    auto connection = QObject::connect(CCNotifier::sharedInstance(), &CCNotifier::posted, [&](const QString &name) {
        switches += name == QLatin1String("wmjigsaw.switch");
    });

    app->setCurrentPuzzle(puzzle);
    EXPECT_EQ(app->currentPuzzle(), puzzle);
    EXPECT_EQ(app->windowController()->currentPuzzle(), puzzle);
    EXPECT_EQ(app->windowController()->windowTitle(), QStringLiteral("Jigsaw — Lighthouse"));
    EXPECT_EQ(switches, 1);
    // The switch saves: the current folder is remembered relative to the home folder.
    const QString stored = QSettings().value(QStringLiteral("wmjigsaw.current")).toString();
    EXPECT_TRUE(stored.startsWith(QLatin1Char('~'))) << stored.toStdString();
    EXPECT_EQ(QDir::homePath() + stored.mid(1), folder);

    app->setCurrentPuzzle(nullptr);
    EXPECT_EQ(app->windowController()->windowTitle(), QStringLiteral("Jigsaw"));
    EXPECT_EQ(switches, 2);
    EXPECT_FALSE(QSettings().contains(QStringLiteral("wmjigsaw.current")));
    QObject::disconnect(connection);
}

TEST_F(AppControllerTest, DeclinedDeletionChangesNothingAndConfirmedDeletionRemovesTheFolder)
{
    const QString first = MakeBuiltFolder(QStringLiteral("First"));
    const QString second = MakeBuiltFolder(QStringLiteral("Second"));
    JPPuzzle *a = app->openPuzzle(first);
    JPPuzzle *b = app->openPuzzle(second);
    ASSERT_TRUE(a && b);
    app->setCurrentPuzzle(b);

    bool shown = false;
    whenModal(
        [](JPDonePuzzleDialog *dialog) {
            EXPECT_TRUE(dialog->deleting());
            dialog->cancel();
        },
        &shown);
    app->stopPuzzle(true);
    EXPECT_TRUE(shown);
    EXPECT_EQ(app->currentPuzzle(), b);
    EXPECT_EQ(app->openPuzzles().size(), 2u);
    EXPECT_TRUE(QFileInfo::exists(second));

    whenModal([](JPDonePuzzleDialog *dialog) { dialog->ok(); });
    app->stopPuzzle(true);
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_EQ(app->openPuzzles().size(), 1u);
    EXPECT_EQ(app->currentPuzzle(), a);
    EXPECT_EQ(app->windowController()->windowTitle(), QStringLiteral("Jigsaw — First"));
    EXPECT_TRUE(app->completedPuzzlePaths().isEmpty());
}

TEST_F(AppControllerTest, AFinishedPuzzleThatIsKeptMovesToTheCompletedList)
{
    const QString folder = MakeBuiltFolder(QStringLiteral("Finished"));
    JPPuzzle *puzzle = app->openPuzzle(folder);
    ASSERT_TRUE(puzzle);
    app->setCurrentPuzzle(nullptr);

    bool shown = false;
    whenModal(
        [](JPDonePuzzleDialog *dialog) {
            EXPECT_FALSE(dialog->deleting());
            dialog->cancel();
        },
        &shown);
    puzzle->setComplete();
    for (int i = 0; i < 50 && !shown; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(app->openPuzzles().empty());
    EXPECT_EQ(app->currentPuzzle(), nullptr);
    EXPECT_TRUE(app->completedPuzzlePaths().contains(folder));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/info.plist")));
}

TEST_F(AppControllerTest, AFolderThatCannotBeOpenedGivesNoPuzzle)
{
    const QString folder = freshFolder(QStringLiteral("broken")) + QStringLiteral("/X.WMjigsaw");
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(app->openPuzzle(folder), nullptr);
    EXPECT_TRUE(app->openPuzzles().empty());
}

}
