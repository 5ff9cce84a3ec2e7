#include "imaging/image_decode.h"
#include "model/puzzle_folder.h"
#include "model/puzzle_xml.h"
#include "support/paths.h"
#include "support/property_list.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

const QStringList kCategories = {QStringLiteral("Animals"),   QStringLiteral("Flowers"), QStringLiteral("Manmade"),
                                 QStringLiteral("Mountains"), QStringLiteral("Nature"),  QStringLiteral("Pets"),
                                 QStringLiteral("Tropical")};
const QStringList kKeys = {QStringLiteral("file"), QStringLiteral("name"), QStringLiteral("desc"),
                           QStringLiteral("cat"), QStringLiteral("size")};
constexpr int kThumbSide = 200;
// Stored large enough for the dialog's default count; puzzles made from them are scaled to
// kMaxPictureSide like any other picture.
constexpr int kMaxBuiltinSide = 4096;
constexpr int64_t kBuiltinPieces = 1000;
constexpr qint64 kBudgetBytes = 90LL * 1024 * 1024;
constexpr qint64 kThumbBudgetBytes = 40 * 1024;

QString picturePath(const QString &name)
{
    return ResourcePath(QStringLiteral("pictures/") + name + QStringLiteral(".jpg"));
}

QVariantList catalogue()
{
    const QString path = ResourcePath(QStringLiteral("pictures/Builtin.plist"));
    if (path.isEmpty())
        return {};
    const auto root = ReadPropertyList(path);
    if (!root || root->typeId() != QMetaType::QVariantList)
        return {};
    return root->toList();
}

// Decodes through the same guarded path the game uses; a cut-off JPEG counts as broken.
QImage decode(const QString &path)
{
    const QByteArray data = ReadImageFileBytes(path);
    if (!IsCompleteJpeg(data))
        return {};
    const auto images = DecodeImageRepresentations(data);
    return images.empty() ? QImage() : images.front();
}

// Mean difference per colour channel (0-255) between two pictures laid over each other on a
// coarse grid: under 2 for each thumbnail and its own picture, about 40 for a swapped one.
double pictureDifference(const QImage &a, const QImage &b)
{
    constexpr int kGrid = 24;
    const auto coarse = [](const QImage &image) {
        return image.scaled(kGrid, kGrid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    };
    const QImage x = coarse(a), y = coarse(b);
    double total = 0;
    for (int row = 0; row < kGrid; ++row)
        for (int column = 0; column < kGrid; ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return total / (3.0 * kGrid * kGrid);
}

}

TEST(BuiltinPictures, CatalogueHasEveryKeyValidCategoriesAndIsSortedByCategoryThenName)
{
    const QVariantList entries = catalogue();
    ASSERT_GE(entries.size(), 28) << "Builtin.plist is missing, unreadable or too short";

    QMap<QString, int> perCategory;
    QSet<QString> files;
    std::pair<qsizetype, QString> previous{-1, QString()};
    const QRegularExpression fileName(QStringLiteral("^[a-z0-9_]+$"));
    for (const QVariant &item : entries) {
        ASSERT_EQ(item.typeId(), QMetaType::QVariantMap);
        const QVariantMap entry = item.toMap();
        const QString file = entry.value(QStringLiteral("file")).toString();
        SCOPED_TRACE(file.toStdString());
        for (const QString &key : kKeys) {
            ASSERT_EQ(entry.value(key).typeId(), QMetaType::QString) << key.toStdString();
            EXPECT_FALSE(entry.value(key).toString().trimmed().isEmpty()) << key.toStdString();
        }
        EXPECT_TRUE(fileName.match(file).hasMatch());
        EXPECT_FALSE(file.endsWith(QStringLiteral("_thumb")));
        EXPECT_FALSE(files.contains(file)) << "listed twice";
        files.insert(file);
        EXPECT_FALSE(entry.value(QStringLiteral("desc")).toString().contains(QLatin1Char('\n')));

        const QString cat = entry.value(QStringLiteral("cat")).toString();
        const qsizetype index = kCategories.indexOf(cat);
        ASSERT_GE(index, 0) << "unknown category " << cat.toStdString();
        ++perCategory[cat];
        const std::pair<qsizetype, QString> key{index, entry.value(QStringLiteral("name")).toString()};
        EXPECT_LT(previous, key) << "out of order";
        previous = key;
    }
    for (const QString &cat : kCategories)
        EXPECT_GE(perCategory.value(cat), 1) << cat.toStdString() << " is empty";
}

// Sizes come from the JPEG headers and pictures are compared at an eighth of their size:
// decoding forty 4096-pixel pictures would make this slow.
TEST(BuiltinPictures, EveryPictureIsCompleteAtItsListedSizeAndItsThumbnailShowsIt)
{
    const QVariantList entries = catalogue();
    ASSERT_FALSE(entries.isEmpty());
    for (const QVariant &item : entries) {
        const QVariantMap entry = item.toMap();
        const QString file = entry.value(QStringLiteral("file")).toString();
        SCOPED_TRACE(file.toStdString());
        const QString path = picturePath(file);
        ASSERT_FALSE(path.isEmpty()) << "missing picture";
        EXPECT_TRUE(IsCompleteJpeg(ReadImageFileBytes(path))) << "cut-off JPEG";
        QImageReader reader(path);
        const QSize size = reader.size();
        ASSERT_TRUE(size.isValid()) << "no readable JPEG header";
        EXPECT_EQ(entry.value(QStringLiteral("size")).toString(), SizeText(QSizeF(size)));
        EXPECT_EQ(DeclaredPictureSize(path), size);
        // Orientation is baked into the pixels; a leftover tag would turn the picture again.
        EXPECT_EQ(reader.transformation(), QImageIOHandler::TransformationNone);
        EXPECT_EQ(reader.imageFormat(), QImage::Format_RGB32) << "expected a colour JPEG";
        EXPECT_LE(std::max(size.width(), size.height()), kMaxBuiltinSide);
        // The dialog goes by the listed size (2560 x 1600 holds exactly 40 x 25 = 1000 squares).
        EXPECT_GE(SquaresInPicture(size), kBuiltinPieces);

        const QString thumbPath = picturePath(file + QStringLiteral("_thumb"));
        ASSERT_FALSE(thumbPath.isEmpty()) << "missing thumbnail";
        const QImage thumb = decode(thumbPath);
        ASSERT_FALSE(thumb.isNull()) << "thumbnail does not decode";
        EXPECT_LT(QFileInfo(thumbPath).size(), kThumbBudgetBytes) << "the grid loads every thumbnail";
        const double scale = double(kThumbSide) / std::max(size.width(), size.height());
        EXPECT_EQ(std::max(thumb.width(), thumb.height()), kThumbSide);
        EXPECT_NEAR(thumb.height(), size.height() * scale, 1.0);
        EXPECT_NEAR(thumb.width(), size.width() * scale, 1.0);
        reader.setScaledSize(QSize((size.width() + 7) / 8, (size.height() + 7) / 8));
        const QImage picture = reader.read();
        ASSERT_FALSE(picture.isNull());
        EXPECT_LE(pictureDifference(thumb, picture), 6.0) << "the thumbnail shows another picture";
    }
}

TEST(BuiltinPictures, FolderHoldsOnlyListedPicturesAndCreditsNameEachOne)
{
    const QVariantList entries = catalogue();
    ASSERT_FALSE(entries.isEmpty());
    const QString folder = QFileInfo(ResourcePath(QStringLiteral("pictures/Builtin.plist"))).absolutePath();
    QFile credits(folder + QStringLiteral("/CREDITS.md"));
    ASSERT_TRUE(credits.open(QIODevice::ReadOnly));
    const QString creditText = QString::fromUtf8(credits.readAll());

    QSet<QString> expected;
    for (const QVariant &item : entries) {
        const QString file = item.toMap().value(QStringLiteral("file")).toString();
        expected << file + QStringLiteral(".jpg") << file + QStringLiteral("_thumb.jpg");
        EXPECT_TRUE(creditText.contains(QStringLiteral("`") + file + QStringLiteral(".jpg`")))
            << file.toStdString() << " has no credit";
    }
    const QStringList listing = QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files);
    const QSet<QString> found(listing.begin(), listing.end());
    EXPECT_TRUE((found - expected).isEmpty())
        << "not in the catalogue: " << QStringList((found - expected).values()).join(u' ').toStdString();
    EXPECT_TRUE((expected - found).isEmpty())
        << "missing: " << QStringList((expected - found).values()).join(u' ').toStdString();

    qint64 total = 0;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files))
        total += info.size();
    EXPECT_LT(total, kBudgetBytes) << "the built-in pictures grew past their budget";
}
