// Feeds arbitrary bytes to the website catalogue reader. Whatever it lists must be safe to join
// to the thumbnail folder and the server's puzzle folder, and reading must not depend on
// anything but the bytes.
#include "services/website_catalogue.h"

#include "fuzz_support.h"

namespace {

bool staysInside(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && !name.startsWith(QLatin1Char('.'));
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = FuzzBytes(data, size);
    const std::optional<WebsiteCatalogue> catalogue = WebsiteCatalogueFromData(bytes);
    if (!catalogue)
        return 0;
    for (const QVariantMap &entry : catalogue->pictures) {
        FUZZ_CHECK(IsUsableWebsitePicture(entry) && staysInside(entry.value(kFileKey).toString()));
        const QString cat = entry.value(kCatKey).toString();
        FUZZ_CHECK(cat.isEmpty() || staysInside(cat));
    }
    const std::optional<WebsiteCatalogue> again = WebsiteCatalogueFromData(bytes);
    FUZZ_CHECK(again && again->pictures == catalogue->pictures && again->archiveName == catalogue->archiveName);
    return 0;
}
