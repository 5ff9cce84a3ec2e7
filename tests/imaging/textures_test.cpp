#include "imaging/textures.h"

#include "support/paths.h"

#include "test_support.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using tj::test::Hex;

TEST(Textures, EveryEntryLoadsItsResourceAsASquareTileOnce)
{
    const std::pair<const char *, Kolor> table[kTextureCount] = {
        {"Brown", 0x64202020}, {"Blue0", 0x64C0C0C0}, {"Red", 0x64404040},    {"Black1", 0x64808080},
        {"Gray", 0x64404040},  {"Blue1", 0x64202020}, {"Purple", 0x64202020}, {"Black0", 0x64808080},
    };
    for (int index = 0; index < kTextureCount; ++index) {
        const QString name = QLatin1String(table[index].first);
        EXPECT_EQ(TextureName(index), name);
        EXPECT_EQ(Hex{TextureOutlineKolor(index)}, Hex{table[index].second}) << index;
        const QString path = ResourcePath(QStringLiteral("textures/") + name + QStringLiteral(".jpg"));
        ASSERT_FALSE(path.isEmpty()) << name.toStdString();
        EXPECT_LT(QFileInfo(path).size(), 160 * 1024) << name.toStdString();
        const QImage image = TextureImage(index);
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        EXPECT_EQ(image.width(), image.height());
        EXPECT_GE(image.width(), 256);
        EXPECT_LE(image.width(), 512);
        EXPECT_EQ(TextureImage(index).cacheKey(), image.cacheKey()) << "loaded once";
    }
}

TEST(Textures, IndexesOutsideTheTableMeanTheFirstEntry)
{
    for (int index : {-1, kTextureCount, 1000, INT32_MIN}) {
        EXPECT_EQ(TextureName(index), TextureName(0));
        EXPECT_EQ(TextureOutlineKolor(index), TextureOutlineKolor(0));
        EXPECT_EQ(TextureImage(index).cacheKey(), TextureImage(0).cacheKey());
    }
}
