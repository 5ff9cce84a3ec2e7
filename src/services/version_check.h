#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// The name the update check and the about box know the program by; its text after "Tobbin "
// names the program's files on the maker's downloads page.
inline constexpr char kAppExecutableName[] = "Tobbin Jigsaw";

struct AppVersion
{
    int major = 0;
    int minor = 0;
    int patch = 0;

    // The order the maker's version numbers sort in: major * 1,000,000 + minor * 10,000 + patch.
    int64_t ordinal() const { return int64_t(major) * 1000000 + int64_t(minor) * 10000 + patch; }
    // "2.2.1", or "2.2" when the patch number is 0.
    QString displayString() const;

    friend bool operator==(const AppVersion &, const AppVersion &) = default;
};

struct VersionCheckResult
{
    // The newest file linked from the page, relative to the page; empty when it is not newer
    // than the running version.
    QString updateLink;
    // The version of the newest file linked from the page.
    AppVersion version;
};

// The lower-cased word after "Tobbin " in executableName ("Tobbin Jigsaw" -> "jigsaw"); empty
// when the name doesn't carry it.
QString ShortAppName(const QString &executableName);

// The running version from its text: at most three components split at "."; the first two read
// as leading integers, the third only when it starts with a digit ("2.1b2" is 2.1.0).
std::optional<AppVersion> ParseRunningVersion(const QString &versionText);

// The version a downloads-page link names for the program shortName ("jigsaw_2103.dmg" ->
// 2.1.3); none unless the link is "<shortName>_" (any case), two one-digit numbers and a
// patch number of at most four digits, then ".dmg" or ".zip".
std::optional<AppVersion> VersionFromLink(const QString &link, const QString &shortName);

// Examines the maker's downloads page (bytes as served): every "<a href="..."" naming a file of
// this program is a candidate and the newest one is kept. None when the page is not UTF-8, the
// running version or program name can't be read, or no candidate is linked.
std::optional<VersionCheckResult> checkForNewVersion(const QByteArray &page, const QString &executableName,
                                                     const QString &versionText);
