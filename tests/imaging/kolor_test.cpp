#include "imaging/kolor.h"

#include "imaging_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

using tj::test::Hex;
using tj::test::randomBelow;

namespace {

Kolor randomColorKolor()
{
    return MakeKolor(randomBelow(256), randomBelow(256), randomBelow(256), 1 + randomBelow(100));
}

}

TEST(Kolor, KnownValues)
{
    // Each list alternates an input and the result it must give.
    const auto check = [](const char *name, uint32_t (*function)(uint32_t), const std::vector<uint32_t> &values) {
        for (size_t i = 0; i + 1 < values.size(); i += 2)
            EXPECT_EQ(Hex{function(values[i])}, Hex{values[i + 1]}) << name << " of " << std::hex << values[i];
    };
    // Blue at 50 percent makes alpha 127, which reads back as 49 percent; kolors that are no
    // colour make clear pixels.
    check("PixelFromKolor", PixelFromKolor,
          {0x640000FF, 0xFF0000FF, 0x64FF8000, 0x0080FFFF, 0x32FF0000, 0x00007F7F, 0x00FFFFFF, 0, 0x65000000, 0,
           0xFF123456, 0, 0, 0});
    check("KolorFromPixel", KolorFromPixel,
          {0xFF0000FF, 0x640000FF, 0x0080FFFF, 0x64FF8000, 0x00007F7F, 0x31FF0000, 0, kNoKolor, 0x12345600, kNoKolor});
    check("GrayscaleKolorCIE", GrayscaleKolorCIE,
          {0x640000FF, 0x64363636, 0x6400FF00, 0x64B6B6B6, 0x32FF0000, 0x32121212, 0xFF7F7F7F, 0xFF7F7F7F, 0x64FFFFFE,
           0x64FEFEFE});
    check("AlphaFromKolor", AlphaFromKolor, {0x64FFFFFF, 0, 0x64000000, 255, 0x640000FF, 201});
    check("LightenKolor", LightenKolor, {0x64000000, 0x64404040, 0x64FFFFFF, 0x64FFFFFF, 0x32C0BF10, 0x32FFFF50});
    check("mask display", [](uint32_t pixel) { return PixelForDisplayMode(pixel, 1); },
          {0, 0xFFFFFFFF, 0x123456FF, 0x000000FF, 0x20202040, 0xBFBFBFFF});
    check("opaque display", [](uint32_t pixel) { return PixelForDisplayMode(pixel, 2); },
          {0, 0xFFFFFFFF, 0x123456FF, 0x123456FF, 0x40404080, 0x7F7F7FFF});
    for (uint32_t mode : {0u, 3u, 77u})
        EXPECT_EQ(Hex{PixelForDisplayMode(0x40404080, mode)}, Hex{0x40404080}) << mode;
}

TEST(KolorPixel, ChangePixelAlphaRescalesPremultipliedColour)
{
    // A malformed pixel (colour above its alpha) stays within its bytes.
    const std::tuple<Pixel, uint8_t, bool, Pixel> cases[] = {{0x80402080, 0x80, false, 0x80402080},
                                                             {0x80402080, 255, true, 0xFF7F3FFF},
                                                             {0xFF7F3FFF, 0, true, 0},
                                                             {0, 0x40, true, 0x40404040},
                                                             {0xFF000010, 0xFF, true, 0xFF0000FF}};
    for (auto [pixel, alpha, changed, after] : cases) {
        EXPECT_EQ(ChangePixelAlpha(pixel, alpha), changed) << std::hex << pixel;
        EXPECT_EQ(Hex{pixel}, Hex{after});
    }
}

TEST(KolorPixel, RoundTripLosesAtMostOnePercentAndKeepsOpaqueColours)
{
    for (int i = 0; i < 20000; ++i) {
        const Kolor kolor = randomColorKolor();
        const Pixel pixel = PixelFromKolor(kolor);
        const uint32_t alpha = PixelAlpha(pixel);
        ASSERT_LE(std::max({PixelRed(pixel), PixelGreen(pixel), PixelBlue(pixel)}), alpha);
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

TEST(KolorColor, ColourRoundTripIsExactForEveryOpacity)
{
    for (uint32_t alpha = 1; alpha <= 100; ++alpha)
        for (int i = 0; i < 50; ++i) {
            const Kolor kolor = MakeKolor(randomBelow(256), randomBelow(256), randomBelow(256), alpha);
            const QColor color = ColorFromKolor(kolor);
            ASSERT_EQ(color.convertTo(QColor::Rgb), color); // already plain sRGB
            ASSERT_EQ(Hex{KolorFromColor(color)}, Hex{kolor});
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
    for (Kolor none : {0x00FFFFFFu, 0x65FFFFFFu, kNoKolor})
        EXPECT_TRUE(ColorFromKolor(none).isValid() && ColorFromKolor(none).alpha() == 0) << std::hex << none;
}

TEST(KolorColor, GreyIsOneValueNoBrighterThanTheColourAndItsInverseIsTheAlpha)
{
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

TEST(KolorBoxing, RoundTripAndForeignValuesReadAsBlack)
{
    for (Kolor kolor : {0x321E140Au, 0u, kNoKolor, 0x64FFFFFFu, 0x80000001u})
        EXPECT_EQ(Hex{kolorValue(valueWithKolor(kolor))}, Hex{kolor});
    EXPECT_EQ(valueWithKolor(0x321E140A).value<KolorBytes>(), (KolorBytes{10, 20, 30, 50}));
    for (const QVariant &foreign : {QVariant(), QVariant(0x321E140Au), QVariant(QStringLiteral("{10, 20, 30, 50}")),
                                    QVariant(QColor(10, 20, 30))})
        EXPECT_EQ(Hex{kolorValue(foreign)}, Hex{kBlackKolor});
}
