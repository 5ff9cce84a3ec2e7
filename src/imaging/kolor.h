#pragma once

#include <QColor>
#include <QMetaType>
#include <QStringView>
#include <QVariant>

#include <cstdint>

// A packed colour: red bits 0-7, green 8-15, blue 16-23, opacity in percent 24-31.
// An opacity of 1-100 is a colour; 0 and 101-255 mean no colour.
using Kolor = uint32_t;
// A premultiplied pixel: alpha bits 0-7, blue 8-15, green 16-23, red 24-31.
// Pixel 0 is transparent; a pixel with alpha 0 has all colour bytes 0.
using Pixel = uint32_t;

// Opaque black: what a colour that can't be obtained turns into.
inline constexpr Kolor kBlackKolor = 0x64000000;
// The no-colour value.
inline constexpr Kolor kNoKolor = 0xFFFFFFFF;

constexpr uint32_t KolorRed(Kolor k)
{
    return k & 0xFF;
}
constexpr uint32_t KolorGreen(Kolor k)
{
    return (k >> 8) & 0xFF;
}
constexpr uint32_t KolorBlue(Kolor k)
{
    return (k >> 16) & 0xFF;
}
constexpr uint32_t KolorAlpha(Kolor k)
{
    return k >> 24;
}
constexpr Kolor MakeKolor(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha = 100)
{
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16 | (alpha & 0xFF) << 24;
}
// True for an opacity of 1 to 100 percent.
constexpr bool KolorIsColor(Kolor k)
{
    return k - 0x01000000u <= 0x63FFFFFFu;
}

constexpr uint32_t PixelAlpha(Pixel p)
{
    return p & 0xFF;
}
constexpr uint32_t PixelBlue(Pixel p)
{
    return (p >> 8) & 0xFF;
}
constexpr uint32_t PixelGreen(Pixel p)
{
    return (p >> 16) & 0xFF;
}
constexpr uint32_t PixelRed(Pixel p)
{
    return p >> 24;
}
constexpr Pixel MakePixel(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha)
{
    return (red & 0xFF) << 24 | (green & 0xFF) << 16 | (blue & 0xFF) << 8 | (alpha & 0xFF);
}

// An invalid QColor stands for the missing colour and gives kNoKolor.
Kolor KolorFromColor(const QColor &color);
// The sRGB colour of a Kolor; Qt::transparent when it is no colour.
QColor ColorFromKolor(Kolor kolor);
// The CIE luminance grey of a Kolor, keeping its opacity byte.
Kolor GrayscaleKolorCIE(Kolor kolor);
// Each colour channel becomes min(channel, 191) + 64.
Kolor LightenKolor(Kolor kolor);
// 255 minus the grey value: dark colours give high opacity, white gives 0.
uint32_t AlphaFromKolor(Kolor kolor);
// Reads "{red, green, blue}" or "{red, green, blue, alpha}"; kNoKolor when unreadable
// or when the alpha part lies outside 0-255.
Kolor KolorFromString(QStringView text);

// Entry 0-7 of the fixed grey palette, clear through white to black. Thread-safe.
QColor GrayColor(int index);
// The application palette's link colour, or a fixed blue without a QGuiApplication.
QColor LinkColor();

// The four bytes of a Kolor as boxed in a QVariant.
struct KolorBytes
{
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;
    bool operator==(const KolorBytes &) const = default;
};
Q_DECLARE_METATYPE(KolorBytes)

QVariant valueWithKolor(Kolor kolor);
// kBlackKolor for a value that holds something other than a boxed Kolor.
Kolor kolorValue(const QVariant &value);

// 0 for a Kolor that is no colour.
Pixel PixelFromKolor(Kolor kolor);
// kNoKolor for a pixel with alpha 0.
Kolor KolorFromPixel(Pixel pixel);
// Rescales the pixel's colour bytes to a new alpha; false when it already had it.
bool ChangePixelAlpha(Pixel &pixel, uint8_t alpha);
// Mode 1 shows alpha as grey (opaque black, clear white), mode 2 makes pixels opaque,
// other modes leave them alone.
Pixel PixelForDisplayMode(Pixel pixel, uint32_t mode);
