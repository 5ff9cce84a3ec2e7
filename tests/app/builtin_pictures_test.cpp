#include "app/jp_new_puzzle_dialog.h"
#include "imaging/image_decode.h"
#include "model/puzzle_folder.h"
#include "model/puzzle_xml.h"
#include "support/paths.h"
#include "support/property_list.h"
#include "support/puzzle_keys.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

QString picturePath(const QString &name)
{
    return ResourcePath(QStringLiteral("pictures/") + name + QStringLiteral(".jpg"));
}

}

// The folder holds exactly the listed pictures and thumbnails, and the credits name each one.
// Each picture is complete at its listed size (from its JPEG header: decoding forty 4096-pixel
// pictures would be slow) and has a thumbnail of it.
TEST(BuiltinPictures, CatalogueMatchesTheFolderAndEachPictureItsListingAndThumbnail)
{
    const QString list = ResourcePath(QStringLiteral("pictures/Builtin.plist"));
    const QVariantList entries = ReadPropertyList(list).value_or(QVariant()).toList();
    ASSERT_GE(entries.size(), 28) << "Builtin.plist is missing, unreadable or too short";
    const QString folder = QFileInfo(list).absolutePath();
    const QString credits = QString::fromUtf8(tj::test::readFile(folder + QStringLiteral("/CREDITS.md")));
    QSet<QString> categories, expected;
    qint64 total = 0;
    for (const QVariant &item : entries) {
        const QVariantMap entry = item.toMap();
        const QString file = entry.value(kFileKey).toString();
        SCOPED_TRACE(file.toStdString());
        for (const QString &key : {kFileKey, kNameKey, kDescKey, kCatKey, kSizeKey})
            EXPECT_TRUE(entry.value(key).typeId() == QMetaType::QString
                        && !entry.value(key).toString().trimmed().isEmpty())
                << "no text under " << key.toStdString();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[a-z0-9_]+$")).match(file).hasMatch());
        EXPECT_FALSE(expected.contains(file + QStringLiteral(".jpg"))) << "listed twice";
        expected << file + QStringLiteral(".jpg") << file + QStringLiteral("_thumb.jpg");
        EXPECT_TRUE(credits.contains(QStringLiteral("`") + file + QStringLiteral(".jpg`"))) << "no credit";
        categories << entry.value(kCatKey).toString();

        const QString path = picturePath(file);
        ASSERT_FALSE(path.isEmpty()) << "missing picture";
        EXPECT_TRUE(IsCompleteJpeg(ReadImageFileBytes(path))) << "cut-off JPEG";
        QImageReader reader(path);
        const QSize size = reader.size();
        ASSERT_TRUE(size.isValid()) << "no readable JPEG header";
        EXPECT_EQ(entry.value(kSizeKey).toString(), SizeText(QSizeF(size)));
        EXPECT_EQ(DeclaredPictureSize(path), size);
        // Orientation is baked into the pixels; a leftover tag would turn the picture again.
        EXPECT_EQ(reader.transformation(), QImageIOHandler::TransformationNone);
        EXPECT_EQ(reader.imageFormat(), QImage::Format_RGB32) << "expected a colour JPEG";
        // The dialog goes by the listed size (2560 x 1600 holds exactly 40 x 25 = 1000 squares).
        EXPECT_GE(SquaresInPicture(size), 1000);
        EXPECT_LE(std::max(size.width(), size.height()), 4096);
        total += QFileInfo(path).size();

        // Decoded through the game's guarded path, so a cut-off thumbnail counts as broken.
        const QString thumbPath = picturePath(file + QStringLiteral("_thumb"));
        const QByteArray thumbBytes = ReadImageFileBytes(thumbPath);
        ASSERT_TRUE(IsCompleteJpeg(thumbBytes)) << "missing or cut-off thumbnail";
        const std::vector<QImage> thumbs = DecodeImageRepresentations(thumbBytes);
        ASSERT_FALSE(thumbs.empty()) << "thumbnail does not decode";
        const QImage &thumb = thumbs.front();
        EXPECT_LT(thumbBytes.size(), 40 * 1024) << "the grid loads every thumbnail";
        const QSize thumbSize = size.scaled(200, 200, Qt::KeepAspectRatio);
        EXPECT_EQ(std::max(thumb.width(), thumb.height()), 200) << "the grid's thumbnail side";
        EXPECT_NEAR(thumb.width() + thumb.height(), thumbSize.width() + thumbSize.height(), 1.0);
    }
    // Every category of the dialog has pictures, and no picture is in a category it can't show.
    const QStringList dialogCategories = JPNewPuzzleDialog::categoryNames().mid(1);
    EXPECT_EQ(categories, QSet<QString>(dialogCategories.begin(), dialogCategories.end()));
    const QStringList listing = QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files);
    EXPECT_EQ(QSet<QString>(listing.begin(), listing.end()), expected);
    EXPECT_LT(total, 90 * 1024 * 1024) << "the gallery's size budget";
}
