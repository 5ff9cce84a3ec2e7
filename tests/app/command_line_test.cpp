#include "app/command_line.h"
#include "model/jp_puzzle.h"
#include "model/play_stats.h"
#include "model/puzzle_folder.h"
#include "play/jp_pref_controller.h"
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
    // Stored at 2000 x 2 pixels: too thin for any piece, whatever the count.
    const QString thin = into + QStringLiteral("/thin.png");
    QImage strip(48000, 64, QImage::Format_Grayscale8);
    strip.fill(128);
    ASSERT_TRUE(strip.save(thin));
    const QString blocker = into + QStringLiteral("/file");
    QFile(blocker).open(QIODevice::WriteOnly);

    // Each case with a piece of the message it must give.
    const QList<std::pair<QStringList, QString>> cases = {
        {{QStringLiteral("create"), into + QStringLiteral("/missing.jpg"), QStringLiteral("--into"), into}, {}},
        {{QStringLiteral("create"), notPicture, QStringLiteral("--into"), into}, {}},
        {{QStringLiteral("create"), tiny, QStringLiteral("--into"), into}, {}},
        {{QStringLiteral("create"), thin, QStringLiteral("--into"), into}, QStringLiteral("too long and thin")},
        {{QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("0"), QStringLiteral("--into"),
          into},
         {}},
        // 900 x 593 holds 14 x 9 = 126 squares.
        {{QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("127"),
          QStringLiteral("--into"), into},
         QStringLiteral("(from 1 to 126)")},
        {{QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("lots"),
          QStringLiteral("--into"), into},
         {}},
        {{QStringLiteral("create"), photo(), QStringLiteral("--into"), blocker + QStringLiteral("/sub")}, {}},
        {{QStringLiteral("create")}, {}},
        {{QStringLiteral("info"), into}, {}},
    };
    for (const auto &[args, expected] : cases) {
        testing::internal::CaptureStderr();
        const std::optional<int> status = run(args);
        const QString error = QString::fromStdString(testing::internal::GetCapturedStderr()).trimmed();
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(*status, 0) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(error.count(QLatin1Char('\n')), 0) << error.toStdString();
        EXPECT_TRUE(error.contains(expected)) << error.toStdString();
    }
    EXPECT_TRUE(puzzleFolders(into).isEmpty());
    EXPECT_TRUE(run({QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("126"),
                     QStringLiteral("--into"), into})
                == 0);
}

namespace {

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

}

TEST(CommandLine, RenderZoomsInAroundABoardPoint)
{
    // A plain board, so that only the pieces differ between zooms.
    JPPrefController::sharedInstance()->setUseColor(true);
    const QString into = freshFolder();
    testing::internal::CaptureStdout();
    ASSERT_EQ(run({QStringLiteral("create"), photo(), QStringLiteral("--pieces"), QStringLiteral("20"),
                   QStringLiteral("--into"), into}),
              0);
    const QString folder = QString::fromStdString(testing::internal::GetCapturedStdout()).trimmed();
    const auto render = [&](const QString &name, const QStringList &extra) {
        const QString out = into + QLatin1Char('/') + name + QStringLiteral(".png");
        return run(QStringList{QStringLiteral("render"), folder, QStringLiteral("--out"), out, QStringLiteral("--size"),
                               QStringLiteral("800x500")}
                   + extra)
                == 0
            ? QImage(out)
            : QImage();
    };
    const QImage plain = render(QStringLiteral("plain"), {});
    ASSERT_EQ(plain.size(), QSize(800, 500));
    EXPECT_EQ(render(QStringLiteral("one"),
                     {QStringLiteral("--zoom"), QStringLiteral("1"), QStringLiteral("--at"), QStringLiteral("10,10")}),
              plain);
    // Zoom 2 at the top-left corner shows the top-left quarter of the board, twice as large.
    const QImage corner =
        render(QStringLiteral("corner"),
               {QStringLiteral("--zoom"), QStringLiteral("2"), QStringLiteral("--at"), QStringLiteral("0,0")});
    ASSERT_EQ(corner.size(), QSize(800, 500));
    const QImage shrunk = corner.scaled(400, 250, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double sameQuarter = meanDifference(shrunk, plain.copy(0, 0, 400, 250));
    EXPECT_LT(sameQuarter, 6.0);
    EXPECT_GT(meanDifference(shrunk, plain.copy(400, 250, 400, 250)), 2 * sameQuarter);

    for (const QStringList &bad : {QStringList{QStringLiteral("--zoom"), QStringLiteral("0.5")},
                                   QStringList{QStringLiteral("--zoom"), QStringLiteral("nan")},
                                   QStringList{QStringLiteral("--zoom"), QStringLiteral("1000")},
                                   QStringList{QStringLiteral("--at"), QStringLiteral("5")},
                                   QStringList{QStringLiteral("--at"), QStringLiteral("900,10")}}) {
        testing::internal::CaptureStderr();
        EXPECT_TRUE(render(QStringLiteral("bad"), bad).isNull()) << bad.join(QLatin1Char(' ')).toStdString();
        const QString error = QString::fromStdString(testing::internal::GetCapturedStderr()).trimmed();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(error.count(QLatin1Char('\n')), 0) << error.toStdString();
    }
    JPPrefController::sharedInstance()->setUseColor(false);
}

TEST(CommandLine, OtherArgumentsStartTheGame)
{
    EXPECT_FALSE(run({}).has_value());
    EXPECT_FALSE(run({QStringLiteral("/some/puzzle.WMjigsaw")}).has_value());
}
