#include "model/play_stats.h"
#include "model_fixtures.h"
#include "support/property_list.h"

using namespace tj::test;

namespace {

QString infoPath(const QString &folder)
{
    return folder + QStringLiteral("/info.plist");
}

int pieceFiles(const QString &folder)
{
    return int(QDir(folder + QStringLiteral("/Pieces")).entryList({QStringLiteral("*.png")}).size());
}

// Asks for the puzzle in folder to be built again from scratch with count pieces.
void requestRebuild(const QString &folder, const QVariant &count)
{
    auto info = *ReadPropertyListDictionary(infoPath(folder));
    info[QStringLiteral("reset")] = true;
    info[QStringLiteral("count")] = count;
    ASSERT_TRUE(WritePropertyList(infoPath(folder), info));
}

}

TEST(PuzzleBuild, TheFolderHoldsTheDocumentAndPiecesThatCoverThePictureWithGreyRims)
{
    QString folder;
    auto puzzle = BuildPuzzle(PhotoPath(), 60, &folder);
    ASSERT_TRUE(puzzle);
    EXPECT_FALSE(puzzle->creationFail());
    EXPECT_FALSE(puzzle->isDirty());
    EXPECT_EQ(puzzle->originPiece(), puzzle->pieceWithIndex(0));
    EXPECT_EQ(puzzle->pieceCount(), int64_t(puzzle->allPieces().size()));
    EXPECT_EQ(pieceFiles(folder), puzzle->pieceCount());
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/puzzle.xml")));
    auto info = ReadPropertyListDictionary(infoPath(folder));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->value(QStringLiteral("count")).toLongLong(), 60);
    EXPECT_FALSE(info->contains(QStringLiteral("reset")));
    EXPECT_EQ(QImage(folder + QStringLiteral("/thumbnail.jpg")).size(), QSize(200, 131));

    const QImage picture = Premultiplied(puzzle->image()->qimage());
    ASSERT_EQ(picture.size(), QSize(900, 593));

    QImage covered(picture.size(), QImage::Format_Grayscale8);
    covered.fill(0);
    int64_t interiorChecked = 0;
    for (const auto &piece : puzzle->allPieces()) {
        const QString file = QDir(folder).filePath(
            QStringLiteral("Pieces/%1.png").arg(qulonglong(piece->pieceIndex()), 4, 10, QLatin1Char('0')));
        ASSERT_EQ(piece->imagePath(), file);
        const QImage stored = Premultiplied(QImage(file));
        ASSERT_FALSE(stored.isNull()) << file.toStdString();
        const QPoint origin = piece->imageRect().topLeft().toPoint();
        int rimSides = 0; // a bit for each side a rim pixel faces
        for (int y = 0; y < stored.height(); ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(stored.constScanLine(y));
            for (int x = 0; x < stored.width(); ++x) {
                const QRgb p = row[x];
                if (qAlpha(p) == 0)
                    continue;
                const int px = origin.x() + x, py = origin.y() + y;
                ASSERT_TRUE(px >= 0 && py >= 0 && px < picture.width() && py < picture.height());
                covered.setPixel(px, py, 255);
                const auto transparent = [&](int dx, int dy) {
                    const int nx = x + dx, ny = y + dy;
                    return nx < 0 || ny < 0 || nx >= stored.width() || ny >= stored.height()
                        || qAlpha(stored.pixel(nx, ny)) == 0;
                };
                const int faces =
                    transparent(-1, 0) | transparent(1, 0) << 1 | transparent(0, -1) << 2 | transparent(0, 1) << 3;
                if (faces) {
                    ASSERT_EQ(p, qRgba(128, 128, 128, 255));
                    rimSides |= faces;
                } else {
                    ASSERT_EQ(p, picture.pixel(px, py)) << "piece " << piece->pieceIndex() << " at " << x << "," << y;
                    ++interiorChecked;
                }
            }
        }
        EXPECT_EQ(rimSides, 15) << piece->pieceIndex();
    }
    // Every picture pixel lies inside some piece: neighbours share their outline, so the
    // only pixels no piece takes are those exactly on a shared curve's rim.
    int64_t holes = 0;
    for (int y = 0; y < covered.height(); ++y)
        for (int x = 0; x < covered.width(); ++x)
            holes += covered.constScanLine(y)[x] == 0;
    EXPECT_EQ(holes, 0);
    EXPECT_GT(interiorChecked, int64_t(picture.width()) * picture.height() / 2);
}

TEST(PuzzleBuild, AResetRebuildsFromZeroAndForgetsTheRequestAndTheTimePlayed)
{
    QString folder;
    auto first = BuildPuzzle(PhotoPath(), 50, &folder);
    ASSERT_TRUE(first);
    EXPECT_EQ(PlayedSeconds(first->puzzleDict()), 0.0);
    for (const double seconds : {61.25, -3.0, 10.0})
        AddPlayedSeconds(*first, seconds);
    EXPECT_TRUE(first->infoDirty());
    ASSERT_TRUE(first->save());
    EXPECT_DOUBLE_EQ(PlayedSeconds(*ReadPropertyListDictionary(infoPath(folder))), 71.25) << "the time played is kept";
    first.reset();
    // Counts that can't be built are refused without waiting, and change nothing.
    for (const QVariant &count : {QVariant(0), QVariant(-3), QVariant(QStringLiteral("many")), QVariant(100000)}) {
        requestRebuild(folder, count);
        EXPECT_FALSE(JPPuzzle::initWithPath(folder)) << count.toString().toStdString();
    }
    requestRebuild(folder, 80);
    auto rebuilt = JPPuzzle::initWithPath(folder);
    ASSERT_TRUE(rebuilt);
    EXPECT_GE(rebuilt->pieceCount(), 80);
    EXPECT_EQ(pieceFiles(folder), rebuilt->pieceCount());
    // A kept puzzle started again is played from zero.
    EXPECT_EQ(PlayedSeconds(rebuilt->puzzleDict()), 0.0);
    const auto after = *ReadPropertyListDictionary(infoPath(folder));
    EXPECT_FALSE(after.contains(QStringLiteral("reset")));
    EXPECT_FALSE(after.contains(kPlayedKey));
}

TEST(PuzzleBuild, ARebuildWhoseOldDocumentCantGoKeepsTheOldImages)
{
    QString folder;
    ASSERT_TRUE(BuildPuzzle(PhotoPath(), 50, &folder));
    const QStringList oldPieces = QDir(folder + QStringLiteral("/Pieces")).entryList({QStringLiteral("*.png")});
    const QString piece = folder + QStringLiteral("/Pieces/0000.png");
    const QByteArray oldImage = readFile(piece);
    requestRebuild(folder, 80);
    // A folder where the document is: it can't be removed, so no image may go before it.
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/puzzle.xml")));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/puzzle.xml/blocker")));

    auto rebuilt = JPPuzzle::initWithPath(folder);
    EXPECT_TRUE(!rebuilt || rebuilt->creationFail());
    EXPECT_EQ(readFile(piece), oldImage);
    EXPECT_EQ(QDir(folder + QStringLiteral("/Pieces")).entryList({QStringLiteral("*.png")}), oldPieces);
}

// Stands for a building dialog whose run ends before the pieces are made.
class ShortRunDialog : public JPBuildingDialog
{
public:
    void updateProgress(double) override { }
    void runModal() override { }
    void endModal() override { }
};

TEST(PuzzleBuild, ProgressArrivingAfterTheDialogIsReleasedIsDropped)
{
    JPPuzzle::setBuildingDialogFactory([] { return std::make_unique<ShortRunDialog>(); });
    auto kept = MakePicturePuzzle(900, 675, freshFolder());
    auto closed = MakePicturePuzzle(900, 675, freshFolder());
    ASSERT_TRUE(QDir(kept->filePath()).mkpath(QStringLiteral("Pieces")));
    ASSERT_TRUE(QDir(closed->filePath()).mkpath(QStringLiteral("Pieces")));
    ASSERT_TRUE(kept->startNewPuzzle(300) && closed->startNewPuzzle(300));
    JPPuzzle::setBuildingDialogFactory(nullptr);
    // Each was finished before it was handed back; the progress posted meanwhile arrives
    // now, when there is no dialog left to show it, or no puzzle.
    EXPECT_EQ(kept->originPiece(), kept->pieceWithIndex(0));
    EXPECT_FALSE(kept->isDirty());
    EXPECT_FALSE(kept->creationFail());
    closed.reset();
    drainEvents();
    EXPECT_FALSE(kept->isDirty());
}

TEST(PuzzleBuild, UnwritablePiecesAreReportedAsACreationFailure)
{
    auto puzzle = MakePicturePuzzle(640, 480, freshFolder());
    // "Pieces" is a file, so no piece image can be written.
    QFile blocker(puzzle->filePath() + QStringLiteral("/Pieces"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ASSERT_TRUE(puzzle->startNewPuzzle(20));
    EXPECT_TRUE(puzzle->creationFail());
}
