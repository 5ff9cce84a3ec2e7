#include "app/command_line.h"
#include "model/jp_puzzle.h"
#include "model/play_stats.h"
#include "model/puzzle_folder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>

using tj::test::dataFolder;
using tj::test::freshFolder;

namespace {

std::optional<int> run(QStringList args)
{
    args.prepend(QStringLiteral("tobbin-jigsaw"));
    return RunCommandLine(args);
}

QString photo()
{
    return dataFolder() + QStringLiteral("/citrus.jpg");
}

QStringList puzzleFolders(const QString &into)
{
    return QDir(into).entryList({QStringLiteral("*.WMjigsaw")}, QDir::Dirs);
}

}

TEST(CommandLine, CreateMakesAFolderThatInfoOpens)
{
    const QString into = freshFolder();
    testing::internal::CaptureStdout();
    ASSERT_EQ(run({QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("40"),
                   QStringLiteral("--into"), into, QStringLiteral("--rotate")}),
              0);
    const QString printed = QString::fromStdString(testing::internal::GetCapturedStdout()).trimmed();
    const QStringList made = puzzleFolders(into);
    ASSERT_EQ(made.size(), 1);
    EXPECT_EQ(printed, QDir(into).filePath(made[0]));
    EXPECT_TRUE(QFile::exists(printed + QStringLiteral("/puzzle.xml")));

    QString reason;
    auto puzzle = JPPuzzle::openExisting(printed, &reason);
    ASSERT_TRUE(puzzle) << reason.toStdString();
    EXPECT_EQ(puzzle->name(), QStringLiteral("citrus"));
    EXPECT_TRUE(puzzle->rotate());
    EXPECT_GE(puzzle->pieceCount(), 40);
    AddPlayedSeconds(*puzzle, 4984.4);
    ASSERT_TRUE(puzzle->save());

    testing::internal::CaptureStdout();
    EXPECT_EQ(run({QStringLiteral("info"), printed}), 0);
    const QString info = QString::fromStdString(testing::internal::GetCapturedStdout());
    EXPECT_TRUE(info.contains(QStringLiteral("name: citrus")));
    EXPECT_TRUE(info.contains(QStringLiteral("grid: %1 x %2").arg(puzzle->maxCoord().x).arg(puzzle->maxCoord().y)));
    EXPECT_TRUE(info.contains(QStringLiteral("done: no")));
    EXPECT_TRUE(info.contains(QStringLiteral("\n0 of %1 pieces joined\n").arg(puzzle->pieceCount())));
    EXPECT_TRUE(info.contains(QStringLiteral("\nplayed 1:23:04\n")));
}

TEST(CommandLine, CreateUsesTheGamesOwnFolderByDefault)
{
    testing::internal::CaptureStdout();
    ASSERT_EQ(run({QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("20")}), 0);
    const QString printed = QString::fromStdString(testing::internal::GetCapturedStdout()).trimmed();
    EXPECT_EQ(QFileInfo(printed).absolutePath(), PuzzleSupportFolder());
    EXPECT_TRUE(printed.startsWith(QDir::homePath() + QStringLiteral("/.local/share/Wrenmoor/Jigsaw/")));
    EXPECT_TRUE(printed.endsWith(QStringLiteral(".WMjigsaw")));
}

TEST(CommandLine, BadInputFailsWithOneLineAndLeavesNothingBehind)
{
    const QString into = freshFolder();
    const QString notPicture = into + QStringLiteral("/notes.jpg");
    {
        QFile file(notPicture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("this is not a picture");
    }
    const QString tiny = into + QStringLiteral("/tiny.png");
    QImage(448, 448, QImage::Format_RGB32).save(tiny); // 49 squares of 64 pixels
    const QString blocker = into + QStringLiteral("/file");
    QFile(blocker).open(QIODevice::WriteOnly);

    const QList<QStringList> cases = {
        {QStringLiteral("create"), into + QStringLiteral("/missing.jpg"), QStringLiteral("--into"), into},
        {QStringLiteral("create"), notPicture, QStringLiteral("--into"), into},
        {QStringLiteral("create"), tiny, QStringLiteral("--into"), into},
        {QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("0"), QStringLiteral("--into"), into},
        // 900 x 593 holds 14 x 9 = 126 squares.
        {QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("127"), QStringLiteral("--into"), into},
        {QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("lots"), QStringLiteral("--into"), into},
        {QStringLiteral("create"), photo(), QStringLiteral("--into"), blocker + QStringLiteral("/sub")},
        {QStringLiteral("create")},
        {QStringLiteral("info"), into},
    };
    for (const QStringList &args : cases) {
        testing::internal::CaptureStderr();
        const std::optional<int> status = run(args);
        const QString error = QString::fromStdString(testing::internal::GetCapturedStderr()).trimmed();
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(*status, 0) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(error.count(QLatin1Char('\n')), 0) << error.toStdString();
    }
    EXPECT_TRUE(puzzleFolders(into).isEmpty());
    EXPECT_TRUE(run({QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("126"),
                     QStringLiteral("--into"), into}) == 0);
}

TEST(CommandLine, OtherArgumentsStartTheGame)
{
    EXPECT_FALSE(run({}).has_value());
    EXPECT_FALSE(run({QStringLiteral("/some/puzzle.WMjigsaw")}).has_value());
}
