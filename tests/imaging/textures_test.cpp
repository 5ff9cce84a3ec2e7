#include "imaging/textures.h"

#include "support/paths.h"

#include "test_support.h"

#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

TEST(Textures, EveryEntryLoadsItsResourceAsASquareTileOnce)
{
    QSet<QString> names;
    for (int index = 0; index < kTextureCount; ++index) {
        names.insert(TextureName(index));
        const QString path = ResourcePath(QStringLiteral("textures/") + TextureName(index) + QStringLiteral(".jpg"));
        ASSERT_FALSE(path.isEmpty()) << index;
        EXPECT_LT(QFileInfo(path).size(), 160 * 1024) << index;
        const QImage image = TextureImage(index);
        ASSERT_FALSE(image.isNull()) << index;
        EXPECT_EQ(image.width(), image.height());
        EXPECT_GE(image.width(), 256);
        EXPECT_LE(image.width(), 512);
        EXPECT_EQ(TextureImage(index).cacheKey(), image.cacheKey()) << "loaded once";
    }
    EXPECT_EQ(names.size(), kTextureCount);
}

TEST(Textures, IndexesOutsideTheTableMeanTheFirstEntry)
{
    for (int index : {-1, kTextureCount, 1000, INT32_MIN}) {
        EXPECT_EQ(TextureName(index), TextureName(0));
        EXPECT_EQ(TextureOutlineKolor(index), TextureOutlineKolor(0));
        EXPECT_EQ(TextureImage(index).cacheKey(), TextureImage(0).cacheKey());
    }
}
