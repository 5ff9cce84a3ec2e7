#include "app/command_line.h"
#include "model/jp_puzzle.h"
#include "model/play_stats.h"
#include "model/puzzle_folder.h"
#include "play/jp_pref_controller.h"
#include "test_helpers.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>

using tj::test::dataFolder;
using tj::test::freshFolder;

namespace {

// Runs the words of line (test paths hold no spaces) as the game's arguments.
std::optional<int> run(const QString &line)
{
    return RunCommandLine(QStringLiteral("tobbin-jigsaw ").append(line).split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

// Runs line, which must succeed; what it printed, trimmed.
QString output(const QString &line)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(run(line), 0) << line.toStdString();
    return QString::fromStdString(testing::internal::GetCapturedStdout()).trimmed();
}

// Runs line, which must fail with one line on the standard error; that line.
QString failure(const QString &line)
{
    testing::internal::CaptureStderr();
    const std::optional<int> status = run(line);
    const QString error = QString::fromStdString(testing::internal::GetCapturedStderr()).trimmed();
    EXPECT_TRUE(status.has_value() && *status != 0) << line.toStdString();
    EXPECT_FALSE(error.isEmpty()) << line.toStdString();
    EXPECT_EQ(error.count(QLatin1Char('\n')), 0) << error.toStdString();
    return error;
}

const QString kPhoto = dataFolder() + QStringLiteral("/citrus.jpg");

// The mean difference of two pictures of one size, per colour channel.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return total / (3.0 * x.width() * x.height());
}

QStringList puzzleFolders(const QString &into)
{
    return QDir(into).entryList({QStringLiteral("*.WMjigsaw")}, QDir::Dirs);
}

}

TEST(CommandLine, CreateMakesAFolderThatInfoOpens)
{
    const QString into = freshFolder();
    const QString printed = output(QStringLiteral("create %1 --pieces 40 --into %2 --rotate").arg(kPhoto, into));
    EXPECT_EQ(puzzleFolders(into), QStringList{QFileInfo(printed).fileName()});
    EXPECT_EQ(QFileInfo(printed).absolutePath(), into);

    QString reason;
    auto puzzle = JPPuzzle::openExisting(printed, &reason);
    ASSERT_TRUE(puzzle) << reason.toStdString();
    EXPECT_EQ(puzzle->name(), QStringLiteral("citrus"));
    EXPECT_TRUE(puzzle->rotate());
    EXPECT_GE(puzzle->pieceCount(), 40);
    AddPlayedSeconds(*puzzle, 4984.4);
    ASSERT_TRUE(puzzle->save());

    const QString info = output(QStringLiteral("info ") + printed) + QLatin1Char('\n');
    for (const QString &line :
         {QStringLiteral("name: citrus\n"),
          QStringLiteral("grid: %1 x %2").arg(puzzle->maxCoord().x).arg(puzzle->maxCoord().y),
          QStringLiteral("done: no\n"), QStringLiteral("\n0 of %1 pieces joined\n").arg(puzzle->pieceCount()),
          QStringLiteral("\nplayed 1:23:04\n")})
        EXPECT_TRUE(info.contains(line)) << line.toStdString() << " in " << info.toStdString();
}

TEST(CommandLine, BadInputFailsWithOneLineAndLeavesNothingBehind)
{
    const QString into = freshFolder();
    tj::test::writeFile(into + QStringLiteral("/notes.jpg"), "this is not a picture");
    QImage(448, 448, QImage::Format_RGB32).save(into + QStringLiteral("/tiny.png")); // 49 squares of 64 pixels
    // Stored at 2000 x 2 pixels: too thin for any piece, whatever the count.
    QImage strip(48000, 64, QImage::Format_Grayscale8);
    strip.fill(128);
    ASSERT_TRUE(strip.save(into + QStringLiteral("/thin.png")));
    tj::test::writeFile(into + QStringLiteral("/file"), {});

    // Each case with a piece of the message it must give.
    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral("create DIR/missing.jpg --into DIR"), {}},
        {QStringLiteral("create DIR/notes.jpg --into DIR"), {}},
        {QStringLiteral("create DIR/tiny.png --into DIR"), {}},
        {QStringLiteral("create DIR/thin.png --into DIR"), QStringLiteral("too long and thin")},
        {QStringLiteral("create PHOTO --pieces 0 --into DIR"), {}},
        // 900 x 593 holds 14 x 9 = 126 squares.
        {QStringLiteral("create PHOTO --pieces 127 --into DIR"), QStringLiteral("(from 1 to 126)")},
        {QStringLiteral("create PHOTO --pieces lots --into DIR"), {}},
        {QStringLiteral("create PHOTO --into DIR/file/sub"), {}},
        {QStringLiteral("create"), {}},
        {QStringLiteral("info DIR"), {}},
    };
    for (auto [line, expected] : cases) {
        const QString error = failure(line.replace(QLatin1String("DIR"), into).replace(QLatin1String("PHOTO"), kPhoto));
        EXPECT_TRUE(error.contains(expected)) << error.toStdString();
    }
    EXPECT_TRUE(puzzleFolders(into).isEmpty());
    // The largest count works; without a folder the puzzle goes into the game's own.
    const QString made = output(QStringLiteral("create %1 --pieces 126").arg(kPhoto));
    EXPECT_EQ(QFileInfo(made).absolutePath(), PuzzleSupportFolder());
    EXPECT_TRUE(made.startsWith(QDir::homePath() + QStringLiteral("/.local/share/Wrenmoor/Jigsaw/")));
    EXPECT_TRUE(made.endsWith(QStringLiteral(".WMjigsaw")));
}

TEST(CommandLine, RenderZoomsInAroundABoardPoint)
{
    // A plain board, so that only the pieces differ between zooms.
    JPPrefController::sharedInstance()->setUseColor(true);
    const QString into = freshFolder();
    const QString folder = output(QStringLiteral("create %1 --pieces 20 --into %2").arg(kPhoto, into));
    const QString render = QStringLiteral("render %1 --out %2/shot.png --size 800x500 ").arg(folder, into);
    const QString shot = into + QStringLiteral("/shot.png");
    output(render);
    const QImage plain(shot);
    ASSERT_EQ(plain.size(), QSize(800, 500));
    output(render + QStringLiteral("--zoom 1 --at 10,10"));
    EXPECT_EQ(QImage(shot), plain);
    // Zoom 2 at the top-left corner shows the top-left quarter of the board, twice as large.
    output(render + QStringLiteral("--zoom 2 --at 0,0"));
    const QImage corner(shot);
    ASSERT_EQ(corner.size(), QSize(800, 500));
    const QImage shrunk = corner.scaled(400, 250, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double sameQuarter = meanDifference(shrunk, plain.copy(0, 0, 400, 250));
    EXPECT_LT(sameQuarter, 6.0);
    EXPECT_GT(meanDifference(shrunk, plain.copy(400, 250, 400, 250)), 2 * sameQuarter);

    QFile::remove(shot);
    for (const char *bad : {"--zoom 0.5", "--zoom nan", "--zoom 1000", "--at 5", "--at 900,10"})
        failure(render + QLatin1String(bad));
    EXPECT_FALSE(QFile::exists(shot));
    JPPrefController::sharedInstance()->setUseColor(false);
}

TEST(CommandLine, OtherArgumentsStartTheGame)
{
    EXPECT_FALSE(run({}).has_value());
    EXPECT_FALSE(run(QStringLiteral("/some/puzzle.WMjigsaw")).has_value());
}
