#include "services/version_check.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace {

// Versions past this are not versions; clamping keeps the ordinal far from overflow.
constexpr int64_t kComponentLimit = 99999999;
// Two one-digit numbers and at most four digits of patch number.
constexpr qsizetype kMinVersionDigits = 3;
constexpr qsizetype kMaxVersionDigits = 6;
constexpr qsizetype kExtensionLength = 4;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The leading integer of text, as a lenient numeric reading would take it: blanks, a sign,
// digits; anything else ends it, and no digits read as 0.
int leadingInteger(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && isAsciiDigit(text.at(i)); ++i)
        value = std::min(kComponentLimit, value * 10 + (text.at(i).unicode() - '0'));
    return int(negative ? -value : value);
}

bool decodeUtf8(const QByteArray &bytes, QString *text)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = decoder.decode(bytes);
    return !decoder.hasError();
}

}

QString AppVersion::displayString() const
{
    if (patch == 0)
        return QStringLiteral("%1.%2").arg(major).arg(minor);
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
}

QString ShortAppName(const QString &executableName)
{
    static const QString kFamily = QStringLiteral("Tobbin ");
    const qsizetype at = executableName.indexOf(kFamily);
    if (at < 0)
        return QString();
    QString rest = executableName.mid(at + kFamily.size()).toLower();
    const qsizetype blank = rest.indexOf(QLatin1Char(' '));
    return blank < 0 ? rest : rest.left(blank);
}

std::optional<AppVersion> ParseRunningVersion(const QString &versionText)
{
    const QStringList parts = versionText.split(QLatin1Char('.'));
    if (parts.size() > 3)
        return std::nullopt;
    AppVersion version;
    version.major = leadingInteger(parts.at(0));
    if (parts.size() > 1)
        version.minor = leadingInteger(parts.at(1));
    if (parts.size() > 2 && !parts.at(2).isEmpty() && isAsciiDigit(parts.at(2).at(0)))
        version.patch = leadingInteger(parts.at(2));
    return version;
}

std::optional<AppVersion> VersionFromLink(const QString &link, const QString &shortName)
{
    if (shortName.isEmpty() || link.size() < 9)
        return std::nullopt;
    if (!link.endsWith(QLatin1String(".dmg")) && !link.endsWith(QLatin1String(".zip")))
        return std::nullopt;
    const qsizetype underscore = link.indexOf(QLatin1Char('_'));
    if (underscore < 0 || link.left(underscore).compare(shortName, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QString digits = link.mid(underscore + 1, link.size() - kExtensionLength - underscore - 1);
    // Letters or a runaway patch number would make a version out of a file that names none.
    if (digits.size() < kMinVersionDigits || digits.size() > kMaxVersionDigits
        || !std::all_of(digits.begin(), digits.end(), isAsciiDigit))
        return std::nullopt;
    AppVersion version;
    version.major = digits.at(0).unicode() - '0';
    version.minor = digits.at(1).unicode() - '0';
    version.patch = digits.mid(2).toInt();
    return version;
}

std::optional<VersionCheckResult> checkForNewVersion(const QByteArray &page, const QString &executableName,
                                                     const QString &versionText)
{
    const QString shortName = ShortAppName(executableName);
    if (shortName.isEmpty())
        return std::nullopt;
    const std::optional<AppVersion> running = ParseRunningVersion(versionText);
    if (!running)
        return std::nullopt;
    QString text;
    if (!decodeUtf8(page, &text))
        return std::nullopt;

    static const QString kAnchor = QStringLiteral("<A HREF=\"");
    std::optional<VersionCheckResult> best;
    QString bestLink;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = text.indexOf(kAnchor, from, Qt::CaseInsensitive);
        if (at < 0)
            break;
        const qsizetype start = at + kAnchor.size();
        const qsizetype quote = text.indexOf(QLatin1Char('"'), start);
        if (quote < 0)
            break;
        from = quote + 1;
        const QString link = text.mid(start, quote - start);
        const std::optional<AppVersion> version = VersionFromLink(link, shortName);
        if (!version)
            continue;
        if (!best || version->ordinal() > best->version.ordinal()) {
            best = VersionCheckResult{QString(), *version};
            bestLink = link;
        }
    }
    if (best && best->version.ordinal() > running->ordinal())
        best->updateLink = bestLink;
    return best;
}
