#include "imaging/kolor.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <array>

namespace {

// QColor keeps 16 bits per component, rounded from whatever was set. Truncating at
// the top of that rounding step gives back the whole value that was set
// (an opacity of 0.01 is stored as 655/65535, just under 1 percent).
uint32_t truncatedComponent(uint16_t value, uint32_t scale)
{
    return static_cast<uint32_t>((2 * uint64_t(value) + 1) * scale / 131070);
}

// Reads a leading decimal integer the lenient way: blanks, a sign, digits, and stops at
// anything else; no digits reads as 0. Saturates far beyond every meaningful value.
int64_t leadingInteger(QStringView text)
{
    constexpr int64_t kLimit = int64_t(1) << 40;
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            break;
        value = std::min(value * 10 + (c - u'0'), kLimit);
    }
    return negative ? -value : value;
}

uint32_t lowByte(int64_t value)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(value) & 0xFF);
}

}

Kolor KolorFromColor(const QColor &color)
{
    if (!color.isValid())
        return kNoKolor;
    const QColor rgb = color.toRgb();
    if (!rgb.isValid())
        return kBlackKolor;
    const QRgba64 c = rgb.rgba64();
    const Kolor kolor = MakeKolor(truncatedComponent(c.red(), 255), truncatedComponent(c.green(), 255),
                                  truncatedComponent(c.blue(), 255), truncatedComponent(c.alpha(), 100));
    return kolor < 0x01000000 ? kNoKolor : kolor;
}

QColor ColorFromKolor(Kolor kolor)
{
    if (!KolorIsColor(kolor))
        return QColor(Qt::transparent);
    QColor color(int(KolorRed(kolor)), int(KolorGreen(kolor)), int(KolorBlue(kolor)));
    color.setAlphaF(float(KolorAlpha(kolor)) / 100.0f);
    return color;
}

Kolor GrayscaleKolorCIE(Kolor kolor)
{
    const uint32_t red = KolorRed(kolor), green = KolorGreen(kolor), blue = KolorBlue(kolor);
    if (red == green && green == blue)
        return kolor;
    const double gray = (0.212671 * red + 0.71516 * green) + 0.072169 * blue;
    const uint32_t value = static_cast<uint32_t>(gray) & 0xFF;
    return (kolor & 0xFF000000) | value | value << 8 | value << 16;
}

Kolor LightenKolor(Kolor kolor)
{
    const auto lighten = [](uint32_t channel) { return std::min(channel, 191u) + 64; };
    return (kolor & 0xFF000000) | lighten(KolorRed(kolor)) | lighten(KolorGreen(kolor)) << 8
        | lighten(KolorBlue(kolor)) << 16;
}

uint32_t AlphaFromKolor(Kolor kolor)
{
    return 255 - KolorRed(GrayscaleKolorCIE(kolor));
}

Kolor KolorFromString(QStringView text)
{
    if (text.size() < 9)
        return kNoKolor;
    const QList<QStringView> parts = text.sliced(1, text.size() - 2).split(u", ");
    if (parts.size() < 3)
        return kNoKolor;
    int64_t alpha = 100;
    if (parts.size() > 3) {
        alpha = leadingInteger(parts[3]);
        if (alpha < 0 || alpha > 255)
            return kNoKolor;
    }
    return MakeKolor(lowByte(leadingInteger(parts[0])), lowByte(leadingInteger(parts[1])),
                     lowByte(leadingInteger(parts[2])), uint32_t(alpha));
}

QColor GrayColor(int index)
{
    static const std::array<QColor, 8> palette = [] {
        constexpr std::array<Kolor, 8> kolors = {0x00FFFFFF, 0x64FFFFFF, 0x64E0E0E0, 0x64C0C0C0,
                                                 0x64808080, 0x64404040, 0x64202020, 0x64000000};
        std::array<QColor, 8> colors;
        std::transform(kolors.begin(), kolors.end(), colors.begin(), ColorFromKolor);
        return colors;
    }();
    if (index < 0 || index >= int(palette.size()))
        return ColorFromKolor(kBlackKolor);
    return palette[size_t(index)];
}

QColor LinkColor()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QGuiApplication::palette().color(QPalette::Link);
    return QColor(39, 43, 217);
}

QVariant valueWithKolor(Kolor kolor)
{
    return QVariant::fromValue(KolorBytes{uint8_t(KolorRed(kolor)), uint8_t(KolorGreen(kolor)),
                                          uint8_t(KolorBlue(kolor)), uint8_t(KolorAlpha(kolor))});
}

Kolor kolorValue(const QVariant &value)
{
    if (value.metaType() != QMetaType::fromType<KolorBytes>())
        return kBlackKolor;
    const auto bytes = value.value<KolorBytes>();
    return MakeKolor(bytes.red, bytes.green, bytes.blue, bytes.alpha);
}

Pixel PixelFromKolor(Kolor kolor)
{
    if (!KolorIsColor(kolor))
        return 0;
    const uint32_t percent = KolorAlpha(kolor);
    if (percent == 100)
        return MakePixel(KolorRed(kolor), KolorGreen(kolor), KolorBlue(kolor), 255);
    const uint32_t alpha = percent * 255 / 100;
    return MakePixel(KolorRed(kolor) * alpha / 255, KolorGreen(kolor) * alpha / 255, KolorBlue(kolor) * alpha / 255,
                     alpha);
}

Kolor KolorFromPixel(Pixel pixel)
{
    const uint32_t alpha = PixelAlpha(pixel);
    if (alpha == 0)
        return kNoKolor;
    if (alpha == 255)
        return MakeKolor(PixelRed(pixel), PixelGreen(pixel), PixelBlue(pixel), 100);
    const auto unpremultiply = [alpha](uint32_t byte) { return (byte * 255 / alpha) & 0xFF; };
    return MakeKolor(unpremultiply(PixelRed(pixel)), unpremultiply(PixelGreen(pixel)), unpremultiply(PixelBlue(pixel)),
                     alpha * 100 / 255);
}

bool ChangePixelAlpha(Pixel &pixel, uint8_t alpha)
{
    const uint32_t old = PixelAlpha(pixel);
    if (old == alpha)
        return false;
    if (alpha == 0)
        pixel = 0;
    else if (old == 0)
        pixel = MakePixel(alpha, alpha, alpha, alpha);
    else {
        // A well-formed pixel never has a colour byte above its alpha; clamp the rest.
        const auto rescale = [old, alpha](uint32_t byte) { return std::min(byte * alpha / old, 255u); };
        pixel = MakePixel(rescale(PixelRed(pixel)), rescale(PixelGreen(pixel)), rescale(PixelBlue(pixel)), alpha);
    }
    return true;
}

Pixel PixelForDisplayMode(Pixel pixel, uint32_t mode)
{
    if (mode == 1) {
        const uint32_t gray = 255 - PixelAlpha(pixel);
        return MakePixel(gray, gray, gray, 255);
    }
    if (mode == 2) {
        const uint32_t alpha = PixelAlpha(pixel);
        if (alpha == 255)
            return pixel;
        if (alpha == 0)
            return 0xFFFFFFFF;
        ChangePixelAlpha(pixel, 255);
    }
    return pixel;
}
