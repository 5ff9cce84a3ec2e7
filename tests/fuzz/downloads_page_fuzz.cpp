// The downloads page as served, after a first line holding the running version text.
#include "services/version_check.h"

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzBytes(data, size);
    const qsizetype lineEnd = input.indexOf('\n');
    const QString versionText = lineEnd < 0 ? QStringLiteral("2.1.5") : QString::fromUtf8(input.left(lineEnd));
    const QByteArray page = lineEnd < 0 ? input : input.mid(lineEnd + 1);

    const std::optional<VersionCheckResult> result =
        checkForNewVersion(page, QString::fromLatin1(kAppExecutableName), versionText);
    if (!result)
        return 0;
    const std::optional<AppVersion> running = ParseRunningVersion(versionText);
    FUZZ_CHECK(running);
    if (!result->updateLink.isEmpty()) {
        // An offered file names exactly the version reported, and it is newer.
        const std::optional<AppVersion> linked = VersionFromLink(result->updateLink, QStringLiteral("jigsaw"));
        FUZZ_CHECK(linked && *linked == result->version && linked->ordinal() > running->ordinal());
        FUZZ_CHECK(!result->updateLink.contains(QLatin1Char('/')) && !result->updateLink.contains(QLatin1Char('"')));
    } else {
        FUZZ_CHECK(result->version.ordinal() <= running->ordinal());
    }
    FUZZ_CHECK(result->version.major <= 9 && result->version.minor <= 9 && result->version.patch <= 9999);
    return 0;
}
