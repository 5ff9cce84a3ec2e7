// Feeds arbitrary bytes to the website catalogue reader. Whatever it lists must be safe to join
// to the thumbnail folder and the server's puzzle folder, and reading must not depend on
// anything but the bytes.
#include "services/website_catalogue.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool staysInside(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && !name.startsWith(QLatin1Char('.'));
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<WebsiteCatalogue> catalogue = WebsiteCatalogueFromData(bytes);
    if (!catalogue)
        return 0;
    for (const QVariantMap &entry : catalogue->pictures) {
        if (!IsUsableWebsitePicture(entry) || !staysInside(entry.value(kFileKey).toString()))
            std::abort();
        const QString cat = entry.value(kCatKey).toString();
        if (!cat.isEmpty() && !staysInside(cat))
            std::abort();
    }
    const std::optional<WebsiteCatalogue> again = WebsiteCatalogueFromData(bytes);
    if (!again || again->pictures != catalogue->pictures || again->archiveName != catalogue->archiveName)
        std::abort();
    return 0;
}
