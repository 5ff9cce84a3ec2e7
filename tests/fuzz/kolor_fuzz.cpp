// Reads arbitrary text as a colour setting. Whatever it reads must be a value that the
// settings would write back and read again unchanged.
#include "imaging/kolor.h"

#include "fuzz_support.h"

#include <string>

namespace {

void check(const QString &text)
{
    const Kolor kolor = KolorFromString(text);
    if (kolor == kNoKolor)
        return;
    const QString written =
        QString::asprintf("{%u, %u, %u, %u}", KolorRed(kolor), KolorGreen(kolor), KolorBlue(kolor), KolorAlpha(kolor));
    FUZZ_CHECK(KolorFromString(written) == kolor);
    FUZZ_CHECK(!KolorIsColor(kolor) || KolorFromPixel(PixelFromKolor(kolor)) != kNoKolor);
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(QString::fromUtf8(FuzzBytes(data, size)));
    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
    check(QString::fromStdU16String(units));
    return 0;
}
