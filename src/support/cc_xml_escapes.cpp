#include "support/cc_xml_decoder.h"
#include "support/cc_xml_scan.h"

#include <algorithm>

namespace {

// Named references longer than this, "&" and ";" included, are left as written.
constexpr qsizetype kMaxNamedReference = 14;
// Any numeric reference at or above this is not a character.
constexpr uint32_t kBeyondUnicode = 0x110000;

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < base ? value : -1;
}

void appendCodePoint(QString &out, uint32_t value)
{
    if (value <= 0xFFFF) {
        out += QChar(char16_t(value));
    } else if (value < kBeyondUnicode) {
        out += QChar(QChar::highSurrogate(value));
        out += QChar(QChar::lowSurrogate(value));
    } else {
        out += QChar(QChar::ReplacementCharacter);
    }
}

// Replaces each prefix + digits + (";" or blank) by its character. A reference cut
// off by the end of the text loses only its prefix; one holding any other character
// is left as written.
QString resolveNumeric(const QString &text, QLatin1String prefix, int base)
{
    if (!text.contains(prefix))
        return text;
    const QStringView view(text);
    const qsizetype n = text.size();
    QString out;
    out.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        const qsizetype at = text.indexOf(prefix, i);
        if (at < 0) {
            out += view.mid(i);
            break;
        }
        out += view.mid(i, at - i);
        qsizetype p = at + prefix.size();
        uint32_t value = 0;
        bool anyDigit = false;
        for (; p < n; ++p) {
            const int digit = digitValue(text.at(p), base);
            if (digit < 0)
                break;
            value = std::min<uint32_t>(value * uint32_t(base) + uint32_t(digit), kBeyondUnicode);
            anyDigit = true;
        }
        if (p >= n) {
            out += view.mid(at + prefix.size());
            break;
        }
        const QChar terminator = text.at(p);
        if (anyDigit && (terminator == u';' || terminator == u' ')) {
            appendCodePoint(out, value);
            i = p + 1;
        } else {
            out += prefix;
            i = at + prefix.size();
        }
    }
    return out;
}

QString namedReplacement(QStringView name)
{
    if (name == u"quot")
        return QStringLiteral("\"");
    if (name == u"lt")
        return QStringLiteral("<");
    if (name == u"gt")
        return QStringLiteral(">");
    if (name == u"apos")
        return QStringLiteral("'");
    if (name == u"nbsp")
        return QStringLiteral(" ");
    if (name == u"amp")
        return QStringLiteral("&");
    return QString();
}

QString resolveNamed(const QString &text)
{
    if (!text.contains(u'&'))
        return text;
    const QStringView view(text);
    const qsizetype n = text.size();
    QString out;
    out.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        const qsizetype at = text.indexOf(u'&', i);
        if (at < 0) {
            out += view.mid(i);
            break;
        }
        out += view.mid(i, at - i);
        // Only short references are replaced, so the search for ";" stays short too.
        const qsizetype limit = std::min(n, at + kMaxNamedReference);
        qsizetype p = at + 1;
        while (p < limit) {
            const QChar c = text.at(p);
            if (c == u';' || c == u' ' || c == u'<' || c == u'>')
                break;
            ++p;
        }
        if (p < limit && text.at(p) == u';') {
            out += namedReplacement(view.mid(at + 1, p - at - 1));
            i = p + 1;
        } else {
            out += u'&';
            i = at + 1;
        }
    }
    return out;
}

}

QString CCXmlDecoder::decodeEscapes(const QString &text)
{
    if (!text.contains(u'&'))
        return text;
    // Numeric references go first, so "&#38;lt;" reads as "<".
    const QString hex = resolveNumeric(text, QLatin1String("&#x"), 16);
    const QString decimal = resolveNumeric(hex, QLatin1String("&#"), 10);
    return resolveNamed(decimal);
}

namespace ccxml {

Scan skipIgnorable(const QString &text, qsizetype position, bool textMode)
{
    const qsizetype n = text.size();
    qsizetype p = std::max<qsizetype>(position, 0);
    while (p < n) {
        const QChar c = text.at(p);
        if (c.isSpace()) {
            ++p;
            continue;
        }
        if (c == u'<') {
            // Too close to the end to be a comment: let the tag reader judge it.
            if (p >= n - 6 || charAt(text, p + 1) != u'!')
                return {Stop::Tag, p};
            const QStringView rest = QStringView(text).mid(p);
            if (rest.startsWith(u"<!--")) {
                const qsizetype end = text.indexOf(QLatin1String("-->"), p + 4);
                if (end < 0)
                    return {Stop::Fail, p};
                p = end + 3;
                continue;
            }
            if (textMode && n - p >= 14 && rest.startsWith(u"<![CDATA["))
                return {Stop::Text, p};
            int depth = 0;
            qsizetype q = p;
            for (; q < n; ++q) {
                const QChar d = text.at(q);
                if (d == u'<')
                    ++depth;
                else if (d == u'>' && --depth == 0)
                    break;
            }
            if (q >= n)
                return {Stop::Fail, p};
            p = q + 1;
            continue;
        }
        if (c == u'&' && !textMode) {
            const QChar next = charAt(text, p + 1);
            if (next.isNull() || next == u'<' || next.isSpace())
                return {Stop::Text, p};
            const qsizetype semicolon = text.indexOf(u';', p + 1);
            // A reference never spans a tag.
            if (semicolon < 0 || QStringView(text).mid(p + 1, semicolon - p - 1).contains(u'<'))
                return {Stop::Text, p};
            p = semicolon + 1;
            continue;
        }
        return {Stop::Text, p};
    }
    return {Stop::End, n};
}

}
