#include "imaging/kolor.h"

#include "imaging_fixtures.h"

#include <gtest/gtest.h>

using tj::test::Hex;
using tj::test::randomBelow;

namespace {

Kolor randomColorKolor()
{
    return MakeKolor(randomBelow(256), randomBelow(256), randomBelow(256), 1 + randomBelow(100));
}

}

TEST(KolorPixel, KnownConversions)
{
    EXPECT_EQ(Hex{PixelFromKolor(0x640000FF)}, Hex{0xFF0000FF});
    EXPECT_EQ(Hex{PixelFromKolor(0x64FF8000)}, Hex{0x0080FFFF});
    EXPECT_EQ(Hex{KolorFromPixel(0xFF0000FF)}, Hex{0x640000FF});
    EXPECT_EQ(Hex{KolorFromPixel(0x0080FFFF)}, Hex{0x64FF8000});
    // Blue at 50 percent: alpha 127, and back at 49 percent.
    EXPECT_EQ(Hex{PixelFromKolor(0x32FF0000)}, Hex{0x00007F7F});
    EXPECT_EQ(Hex{KolorFromPixel(0x00007F7F)}, Hex{0x31FF0000});
    for (Kolor none : {0x00FFFFFFu, 0x65000000u, 0xFF123456u, 0x0u})
        EXPECT_EQ(Hex{PixelFromKolor(none)}, Hex{0}) << std::hex << none;
    EXPECT_EQ(Hex{KolorFromPixel(0)}, Hex{kNoKolor});
    EXPECT_EQ(Hex{KolorFromPixel(0x12345600)}, Hex{kNoKolor});
}

TEST(KolorPixel, RoundTripLosesAtMostOnePercentAndKeepsOpaqueColours)
{
    for (int i = 0; i < 20000; ++i) {
        const Kolor kolor = randomColorKolor();
        const Pixel pixel = PixelFromKolor(kolor);
        const uint32_t alpha = PixelAlpha(pixel);
        ASSERT_LE(PixelRed(pixel), alpha);
        ASSERT_LE(PixelGreen(pixel), alpha);
        ASSERT_LE(PixelBlue(pixel), alpha);
        const Kolor back = KolorFromPixel(pixel);
        if (KolorAlpha(kolor) == 100) {
            ASSERT_EQ(Hex{back}, Hex{kolor});
            continue;
        }
        ASSERT_LE(KolorAlpha(back), KolorAlpha(kolor)) << std::hex << kolor;
        ASSERT_GE(KolorAlpha(back) + 1, KolorAlpha(kolor)) << std::hex << kolor;
        // Premultiplying floors each channel to a step of 255 / alpha.
        const double step = 255.0 / alpha;
        for (int shift : {0, 8, 16}) {
            const uint32_t before = (kolor >> shift) & 0xFF, after = (back >> shift) & 0xFF;
            ASSERT_LE(after, before) << std::hex << kolor;
            ASSERT_LT(before - after, step + 1) << std::hex << kolor;
        }
    }
    for (int i = 0; i < 20000; ++i) {
        const Pixel opaque = MakePixel(randomBelow(256), randomBelow(256), randomBelow(256), 255);
        ASSERT_EQ(Hex{PixelFromKolor(KolorFromPixel(opaque))}, Hex{opaque});
    }
}

TEST(KolorPixel, ChangePixelAlphaRescalesPremultipliedColour)
{
    Pixel pixel = 0x80402080;
    EXPECT_FALSE(ChangePixelAlpha(pixel, 0x80));
    EXPECT_EQ(Hex{pixel}, Hex{0x80402080});
    EXPECT_TRUE(ChangePixelAlpha(pixel, 255));
    EXPECT_EQ(Hex{pixel}, Hex{0xFF7F3FFF});
    EXPECT_TRUE(ChangePixelAlpha(pixel, 0));
    EXPECT_EQ(Hex{pixel}, Hex{0});
    EXPECT_TRUE(ChangePixelAlpha(pixel, 0x40));
    EXPECT_EQ(Hex{pixel}, Hex{0x40404040});
    // A malformed pixel (colour above its alpha) stays within its bytes.
    Pixel malformed = 0xFF000010;
    EXPECT_TRUE(ChangePixelAlpha(malformed, 0xFF));
    EXPECT_EQ(Hex{malformed}, Hex{0xFF0000FF});
}

TEST(KolorPixel, DisplayModes)
{
    EXPECT_EQ(Hex{PixelForDisplayMode(0, 1)}, Hex{0xFFFFFFFF});
    EXPECT_EQ(Hex{PixelForDisplayMode(0x123456FF, 1)}, Hex{0x000000FF});
    EXPECT_EQ(Hex{PixelForDisplayMode(0x20202040, 1)}, Hex{0xBFBFBFFF});
    EXPECT_EQ(Hex{PixelForDisplayMode(0, 2)}, Hex{0xFFFFFFFF});
    EXPECT_EQ(Hex{PixelForDisplayMode(0x123456FF, 2)}, Hex{0x123456FF});
    EXPECT_EQ(Hex{PixelForDisplayMode(0x40404080, 2)}, Hex{0x7F7F7FFF});
    for (uint32_t mode : {0u, 3u, 77u})
        EXPECT_EQ(Hex{PixelForDisplayMode(0x40404080, mode)}, Hex{0x40404080});
}

TEST(KolorColor, ColourRoundTripIsExactForEveryOpacity)
{
    for (uint32_t alpha = 1; alpha <= 100; ++alpha) {
        for (int i = 0; i < 50; ++i) {
            const Kolor kolor = MakeKolor(randomBelow(256), randomBelow(256), randomBelow(256), alpha);
            const QColor color = ColorFromKolor(kolor);
            ASSERT_EQ(color.convertTo(QColor::Rgb), color); // already plain sRGB
            ASSERT_EQ(Hex{KolorFromColor(color)}, Hex{kolor});
        }
    }
}

TEST(KolorColor, ComponentsAreTruncatedAfterConversionToRgbAndClearMeansNoColour)
{
    const std::pair<QColor, Kolor> cases[] = {
        {QColor::fromRgbF(0.5f, 0.25f, 1.0f, 0.333f), 0x21FF3F7F},
        {QColor::fromHsv(240, 255, 255), 0x64FF0000},
        {QColor::fromCmyk(0, 255, 255, 0), 0x640000FF},
        {QColor::fromRgbF(0.2f, 0.4f, 0.6f, 0.004f), kNoKolor},
        {QColor(), kNoKolor},
        {QColor(10, 20, 30, 0), kNoKolor},
        {QColor(Qt::transparent), kNoKolor},
    };
    for (const auto &[color, kolor] : cases)
        EXPECT_EQ(Hex{KolorFromColor(color)}, Hex{kolor}) << color.name(QColor::HexArgb).toStdString();
    for (Kolor none : {0x00FFFFFFu, 0x65FFFFFFu, kNoKolor}) {
        const QColor clear = ColorFromKolor(none);
        EXPECT_TRUE(clear.isValid());
        EXPECT_EQ(clear.alpha(), 0);
    }
}

TEST(KolorColor, GreyValues)
{
    EXPECT_EQ(Hex{GrayscaleKolorCIE(0x640000FF)}, Hex{0x64363636});
    EXPECT_EQ(Hex{GrayscaleKolorCIE(0x6400FF00)}, Hex{0x64B6B6B6});
    EXPECT_EQ(Hex{GrayscaleKolorCIE(0x32FF0000)}, Hex{0x32121212});
    EXPECT_EQ(Hex{GrayscaleKolorCIE(0xFF7F7F7F)}, Hex{0xFF7F7F7F});
    EXPECT_EQ(Hex{GrayscaleKolorCIE(0x64FFFFFE)}, Hex{0x64FEFEFE});
    for (int i = 0; i < 5000; ++i) {
        const Kolor kolor = randomColorKolor();
        const Kolor gray = GrayscaleKolorCIE(kolor);
        ASSERT_EQ(KolorAlpha(gray), KolorAlpha(kolor));
        ASSERT_EQ(KolorRed(gray), KolorGreen(gray));
        ASSERT_EQ(KolorRed(gray), KolorBlue(gray));
        ASSERT_EQ(GrayscaleKolorCIE(gray), gray);
        ASSERT_LE(KolorRed(gray), std::max({KolorRed(kolor), KolorGreen(kolor), KolorBlue(kolor)}));
        ASSERT_EQ(AlphaFromKolor(kolor), 255 - KolorRed(gray));
    }
    EXPECT_EQ(AlphaFromKolor(0x64FFFFFF), 0u);
    EXPECT_EQ(AlphaFromKolor(0x64000000), 255u);
    EXPECT_EQ(AlphaFromKolor(0x640000FF), 201u);
}

TEST(KolorColor, Lighten)
{
    EXPECT_EQ(Hex{LightenKolor(0x64000000)}, Hex{0x64404040});
    EXPECT_EQ(Hex{LightenKolor(0x64FFFFFF)}, Hex{0x64FFFFFF});
    EXPECT_EQ(Hex{LightenKolor(0x32C0BF10)}, Hex{0x32FFFF50});
}

TEST(KolorString, ReadsSettingsText)
{
    const std::pair<const char16_t *, Kolor> cases[] = {
        {u"{255, 0, 0}", 0x640000FF},
        {u"{10, 20, 30, 50}", 0x321E140A},
        {u"{209, 209, 209}", 0x64D1D1D1},
        {u"{1, 2}", kNoKolor},
        {u"{}", kNoKolor},
        {u"", kNoKolor},
        {u"{10,20,30,40}", kNoKolor},
        // Colour parts wrap into their byte; parts that aren't numbers read as 0.
        {u"{300, -1, 256}", 0x6400FF2C},
        {u"{red, 7x, +9}", 0x64090700},
        {u"{1, 2, 3, 4, 5}", 0x04030201},
        // An alpha outside its byte is no colour.
        {u"{1, 2, 3, 300}", kNoKolor},
        {u"{1, 2, 3, -1}", kNoKolor},
        {u"{1, 2, 3, 4294967396}", kNoKolor},
        {u"{1, 2, 3, -4294967196}", kNoKolor},
        {u"{1, 2, 3, 99999999999999999999999999}", kNoKolor},
        {u"{1, 2, 3, 255}", 0xFF030201},
        {u"{1, 2, 3, 0}", 0x00030201},
    };
    for (const auto &[text, kolor] : cases)
        EXPECT_EQ(Hex{KolorFromString(text)}, Hex{kolor}) << QString::fromUtf16(text).toStdString();
    EXPECT_EQ(KolorAlpha(KolorFromString(u"{99999999999999999999999999, 2, 3}")), 100u);
}

TEST(KolorPalette, GrayColors)
{
    const Kolor palette[] = {0x00FFFFFF, 0x64FFFFFF, 0x64E0E0E0, 0x64C0C0C0, 0x64808080, 0x64404040, 0x64202020, 0x64000000};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(GrayColor(i), ColorFromKolor(palette[i])) << i;
    EXPECT_EQ(GrayColor(0).alpha(), 0);
    EXPECT_EQ(GrayColor(-1), QColor(0, 0, 0));
    EXPECT_EQ(GrayColor(8), QColor(0, 0, 0));
}

TEST(KolorBoxing, RoundTripAndForeignValues)
{
    for (int i = 0; i < 1000; ++i) {
        const Kolor kolor = randomBelow(0xFFFFFFFF) + randomBelow(2);
        ASSERT_EQ(Hex{kolorValue(valueWithKolor(kolor))}, Hex{kolor});
    }
    const QVariant boxed = valueWithKolor(0x321E140A);
    EXPECT_EQ(boxed.value<KolorBytes>(), (KolorBytes{10, 20, 30, 50}));
    EXPECT_EQ(Hex{kolorValue(QVariant())}, Hex{kBlackKolor});
    EXPECT_EQ(Hex{kolorValue(QVariant(0x321E140Au))}, Hex{kBlackKolor});
    EXPECT_EQ(Hex{kolorValue(QVariant(QStringLiteral("{10, 20, 30, 50}")))}, Hex{kBlackKolor});
    EXPECT_EQ(Hex{kolorValue(QVariant(QColor(10, 20, 30)))}, Hex{kBlackKolor});
}
