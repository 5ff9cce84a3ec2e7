// Damaged, enormous and unusual picture files on the way the game makes a puzzle from a file:
// MakePuzzleFolder, then JPPuzzle. Each either becomes a sound, upright puzzle or is refused
// with nothing left behind, and never costs memory out of proportion to the file.
#include "model/puzzle_folder.h"
#include "model_fixtures.h"

#include <QBuffer>
#include <QImageWriter>

#include <zlib.h>

namespace {

using namespace tj::test;

// The bytes as a picture file of that name in a fresh folder.
QString pictureFile(const QString &name, const QByteArray &bytes)
{
    const QString path = freshFolder(QStringLiteral("pictures")) + QLatin1Char('/') + name;
    writeFile(path, bytes);
    return path;
}

QByteArray encode(const QImage &image, const char *format,
                  QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95);
    writer.setTransformation(transformation);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return bytes;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray chunk;
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.append(char(uint32_t(data.size()) >> shift));
    const QByteArray body = QByteArray(type) + data;
    chunk.append(body);
    const auto crc = uint32_t(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.append(char(crc >> shift));
    return chunk;
}

// A PNG header claiming width x height RGBA pixels over a few kilobytes of compressed zeros.
QByteArray bombPng(uint32_t width, uint32_t height)
{
    QByteArray header;
    for (uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.append(char(value >> shift));
    header.append(QByteArray::fromHex("0806000000"));
    const QByteArray idat = qCompress(QByteArray(64 * 1024, 0)).mid(4); // qCompress prefixes a length
    return QByteArray::fromHex("89504e470d0a1a0a") + pngChunk("IHDR", header) + pngChunk("IDAT", idat)
        + pngChunk("IEND", QByteArray());
}

struct Attempt
{
    QString support;
    QString error;
    std::optional<MadePuzzleFolder> made;
    std::unique_ptr<JPPuzzle> puzzle;
};

// The dialog's way: make the folder, then open it, which builds the pieces.
Attempt makePuzzle(const QString &picture, int64_t count)
{
    Attempt attempt;
    attempt.support = freshFolder(QStringLiteral("support"));
    NewPuzzleChoice choice;
    choice.dict[QStringLiteral("path")] = picture;
    choice.dict[QStringLiteral("name")] = QStringLiteral("Hostile");
    choice.count = count;
    attempt.made = MakePuzzleFolder(choice, attempt.support, &attempt.error);
    if (attempt.made)
        attempt.puzzle = JPPuzzle::initWithPath(attempt.made->folder, attempt.made->picture, &attempt.made->dict);
    return attempt;
}

void expectRefused(const QString &picture)
{
    SCOPED_TRACE(picture.toStdString());
    const Attempt attempt = makePuzzle(picture, 20);
    EXPECT_FALSE(attempt.made);
    EXPECT_FALSE(attempt.error.isEmpty());
    EXPECT_TRUE(QDir(attempt.support).isEmpty()) << "a refused picture leaves nothing behind";
}

// The colour in the middle of the piece over a spot (fractions of the picture), away from its
// grey rim, and where that middle lies in the picture.
std::pair<QPoint, QColor> pieceColourAt(const JPPuzzle &puzzle, QPointF spot)
{
    const QSizeF size = puzzle.image()->size();
    const QPointF point(spot.x() * size.width(), spot.y() * size.height());
    for (const auto &piece : puzzle.allPieces()) {
        if (!piece->rect().contains(point))
            continue;
        const QPointF middle = piece->rect().center();
        return {middle.toPoint(),
                piece->image()->qimage().pixelColor((middle - piece->imageRect().topLeft()).toPoint())};
    }
    ADD_FAILURE() << "no piece covers " << spot.x() << ", " << spot.y();
    return {};
}

// Every piece has its picture, and the folder reopens as the same grid.
void expectSoundPuzzle(const Attempt &attempt, QSize upright)
{
    ASSERT_TRUE(attempt.made) << attempt.error.toStdString();
    ASSERT_TRUE(attempt.puzzle);
    EXPECT_FALSE(attempt.puzzle->creationFail());
    EXPECT_EQ(attempt.puzzle->image()->size().toSize(), upright);
    for (const auto &piece : attempt.puzzle->allPieces())
        EXPECT_TRUE(piece->image()) << piece->pieceIndex();
    const auto reopened = Reopen(attempt.made->folder);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->pieceCount(), attempt.puzzle->pieceCount());
    EXPECT_EQ(reopened->image()->size().toSize(), upright) << "image.jpg is stored upright";
}

TEST(HostilePictures, DecompressionBombsAreRefusedBeforeTheirPixelsAreAllocated)
{
    const long before = PeakResidentKilobytes();
    const QString bomb = pictureFile(QStringLiteral("bomb.png"), bombPng(50000, 50000));
    EXPECT_LT(QFileInfo(bomb).size(), 1024 * 1024);
    expectRefused(bomb);
    expectRefused(pictureFile(QStringLiteral("wide.png"), bombPng(2000000, 300)));
    EXPECT_LT(PeakResidentKilobytes() - before, 100 * 1024) << "kilobytes taken by refusing the bombs";
}

TEST(HostilePictures, CutOffFilesAreRefused)
{
    const QImage picture = MakeTestPicture(900, 600);
    const QByteArray jpeg = encode(picture, "jpeg");
    const QByteArray png = encode(picture, "png");
    for (double kept : {0.1, 0.5, 0.9, 0.999}) {
        expectRefused(pictureFile(QStringLiteral("cut.jpg"), jpeg.left(qsizetype(double(jpeg.size()) * kept))));
        expectRefused(pictureFile(QStringLiteral("cut.png"), png.left(qsizetype(double(png.size()) * kept))));
    }
    expectRefused(pictureFile(QStringLiteral("noise.jpg"), QByteArray("\xff\xd8\xff\xe0 not really a picture")));
    expectRefused(pictureFile(QStringLiteral("empty.png"), QByteArray()));
}

TEST(HostilePictures, UnusualPixelFormatsCmykAndOrientationTagsMakeFaithfulUprightPuzzles)
{
    const QImage deep = tj::test::FourQuadrants(640, 448).convertToFormat(QImage::Format_RGBA64);
    const QImage grey = tj::test::FourQuadrants(640, 448).convertToFormat(QImage::Format_Grayscale8);
    QImage palette(640, 448, QImage::Format_Indexed8);
    palette.setColorTable({qRgba(0, 0, 0, 0), qRgb(220, 30, 30), qRgb(30, 200, 40), qRgb(30, 40, 210)});
    for (int y = 0; y < palette.height(); ++y)
        for (int x = 0; x < palette.width(); ++x)
            palette.setPixel(x, y, x < 320 ? (y < 224 ? 1 : 3) : (y < 224 ? 2 : 0)); // bottom right clear
    // Stored sideways, tagged "turn a quarter clockwise"; the large one is decoded reduced.
    const QImage sideways = tj::test::FourQuadrants(1024, 640), large = tj::test::FourQuadrants(4096, 2560);
    const QTransform quarter = QTransform().rotate(90);
    // citrus-cmyk.jpg was made with ImageMagick from citrus.jpg: -resize 640x -colorspace CMYK
    // (Adobe-style CMYK).
    const std::pair<QString, QImage> cases[] = {
        {pictureFile(QStringLiteral("deep.png"), encode(deep, "png")), deep},
        {pictureFile(QStringLiteral("grey.png"), encode(grey, "png")), grey},
        {pictureFile(QStringLiteral("palette.png"), encode(palette, "png")), palette},
        {dataFolder() + QStringLiteral("/citrus-cmyk.jpg"),
         QImage(PhotoPath()).scaled(640, 422, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)},
        {pictureFile(QStringLiteral("sideways.jpg"), encode(sideways, "jpeg", QImageIOHandler::TransformationRotate90)),
         sideways.transformed(quarter)},
        {pictureFile(QStringLiteral("large.jpg"), encode(large, "jpeg", QImageIOHandler::TransformationRotate90)),
         large.transformed(quarter).scaled(kMaxPictureSide * 5 / 8, kMaxPictureSide)},
    };
    for (const auto &[file, expected] : cases) {
        SCOPED_TRACE(file.toStdString());
        const Attempt attempt = makePuzzle(file, 30);
        expectSoundPuzzle(attempt, expected.size());
        if (!attempt.puzzle)
            continue;
        for (const QPointF at : {QPointF(0.25, 0.25), QPointF(0.75, 0.25), QPointF(0.25, 0.75), QPointF(0.6, 0.4)}) {
            const auto [middle, colour] = pieceColourAt(*attempt.puzzle, at);
            EXPECT_TRUE(tj::test::NearColor(colour, expected.pixelColor(middle))) << at.x() << ", " << at.y();
        }
    }
}

TEST(HostilePictures, TinyPicturesNeverLeaveAFolderThatWontReopen)
{
    // The dialog offers no piece count for these; a folder made anyway must not become a
    // puzzle that fails at every start.
    for (const QSize size : {QSize(1, 1), QSize(3, 200), QSize(64, 64), QSize(447, 447)}) {
        SCOPED_TRACE(size.width());
        const QString path = pictureFile(QStringLiteral("tiny.png"),
                                         encode(tj::test::FourQuadrants(size.width(), size.height()), "png"));
        EXPECT_LT(SquaresInPicture(DeclaredPictureSize(path)), kMinimumSquares);
        const Attempt attempt = makePuzzle(path, 4);
        if (!attempt.puzzle)
            continue;
        Reopen(attempt.made->folder);
    }
}

}
