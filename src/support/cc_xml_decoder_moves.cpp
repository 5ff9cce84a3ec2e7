#include "support/cc_xml_decoder.h"
#include "support/cc_xml_scan.h"

#include <algorithm>
#include <limits>

using ccxml::charAt;

namespace {

// Leading white space, an optional sign and decimal digits; saturates at the range ends.
qint64 parseInteger(QStringView text, qint64 minimum, qint64 maximum)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    const uint64_t limit = negative ? uint64_t(-(minimum + 1)) + 1 : uint64_t(maximum);
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            break;
        magnitude = std::min<uint64_t>(magnitude * 10 + (c - u'0'), limit);
    }
    if (!negative)
        return qint64(magnitude);
    return magnitude == limit ? minimum : -qint64(magnitude);
}

int parseInt(QStringView text)
{
    return int(parseInteger(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}

int CCXmlDecoder::integerValue() const
{
    return parseInt(m_step.value);
}

qint64 CCXmlDecoder::longValue() const
{
    return parseInteger(m_step.value, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
}

int CCXmlDecoder::integerAttributeForTag(const QString &name) const
{
    const auto found = m_step.attributes.constFind(name);
    return found == m_step.attributes.cend() ? 0 : parseInt(*found);
}

std::optional<QString> CCXmlDecoder::stringAttributeForTag(const QString &name) const
{
    const auto found = m_step.attributes.constFind(name);
    if (found == m_step.attributes.cend())
        return std::nullopt;
    return *found;
}

int CCXmlDecoder::decodeValue() const
{
    return keyFor(m_step.value);
}

int CCXmlDecoder::decodeValue(const QString &text, const QStringList &values)
{
    if (text.isEmpty())
        return 0;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (values.at(i).compare(text, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return 0;
}

int CCXmlDecoder::decodeValueFromValues(const QStringList &values) const
{
    return decodeValue(m_step.value, values);
}

int CCXmlDecoder::decodeAttribute(const QString &name, const QStringList &values) const
{
    return decodeValue(m_step.attributes.value(name), values);
}

bool CCXmlDecoder::isDone() const
{
    return !m_step.error.isEmpty() || m_step.charIndex >= m_step.length;
}

void CCXmlDecoder::forceDone()
{
    m_step.started = true;
    m_step.length = m_xml.size() - 1;
    m_step.charIndex = m_xml.size();
}

std::optional<std::pair<qsizetype, qsizetype>> CCXmlDecoder::findMatchingClose(qsizetype position,
                                                                               const QString &name) const
{
    // Elements of the same name may nest, so count them instead of taking the first
    // (or the last) closing tag of that name.
    const QStringView view(m_xml);
    int depth = 1;
    qsizetype p = position;
    for (;;) {
        const qsizetype lt = m_xml.indexOf(u'<', p);
        if (lt < 0)
            return std::nullopt;
        const QStringView rest = view.mid(lt);
        if (rest.startsWith(u"<!--") || rest.startsWith(u"<![CDATA[")) {
            const bool comment = rest.startsWith(u"<!--");
            const qsizetype end = m_xml.indexOf(comment ? QLatin1String("-->") : QLatin1String("]]>"), lt + 4);
            if (end < 0)
                return std::nullopt;
            p = end + 3;
            continue;
        }
        const bool closing = charAt(m_xml, lt + 1) == u'/';
        const qsizetype nameStart = lt + (closing ? 2 : 1);
        const qsizetype nameEnd = readName(nameStart, true);
        if (nameEnd == nameStart || view.mid(nameStart, nameEnd - nameStart) != name) {
            p = lt + 1;
            continue;
        }
        const qsizetype gt = m_xml.indexOf(u'>', nameEnd);
        if (gt < 0)
            return std::nullopt;
        if (closing) {
            if (--depth == 0)
                return std::make_pair(lt, gt + 1);
        } else if (m_xml.at(gt - 1) != u'/') {
            ++depth;
        }
        p = gt + 1;
    }
}

CCXmlBookmark CCXmlDecoder::skipTag()
{
    const CCXmlBookmark bookmark{m_step.charIndex, m_step.level};
    // A closed element (leaf, self-closing or closing tag) has nothing left to skip.
    if (!m_step.error.isEmpty() || !m_step.startTag || m_step.endTag)
        return bookmark;
    const auto close = findMatchingClose(m_step.charIndex, m_step.xmlTag);
    if (!close) {
        forceDone();
        return bookmark;
    }
    m_step.charIndex = close->first;
    getNextTag();
    return bookmark;
}

void CCXmlDecoder::unskipTag(const CCXmlBookmark &bookmark)
{
    m_step.charIndex = std::clamp<qsizetype>(bookmark.index, 0, m_xml.size());
    m_step.level = bookmark.level;
}

bool CCXmlDecoder::skipToTag(const QString &name)
{
    if (!m_step.error.isEmpty() || name.isEmpty())
        return false;
    if (!m_step.started) {
        start();
        if (!m_step.error.isEmpty())
            return false;
    }
    const QString needle = QLatin1Char('<') + name + QLatin1Char('>');
    const qsizetype at = m_xml.indexOf(needle, m_step.charIndex);
    if (at < 0)
        return false;
    m_step.tagStartIndex = at;
    m_step.charIndex = at + needle.size();
    m_step.xmlTag = name;
    m_step.key = keyFor(name);
    m_step.value.clear();
    m_step.attributes.clear();
    m_step.orderedAttributes.clear();
    m_step.startTag = true;
    m_step.endTag = false;
    m_step.haveRoot = true;
    m_step.level = 2;
    return true;
}

std::optional<CCXmlFollowingTag> CCXmlDecoder::followingTagWithAttributes()
{
    const Step saved = m_step;
    std::optional<CCXmlFollowingTag> following;
    if (getNextTag())
        following = CCXmlFollowingTag{m_step.xmlTag, m_step.attributes, m_step.value};
    m_step = saved;
    return following;
}

QString CCXmlDecoder::extractTag()
{
    if (!m_step.error.isEmpty())
        return QString();
    const qsizetype start = std::min(m_step.tagStartIndex, m_step.charIndex);
    if (!m_step.startTag || m_step.endTag)
        return m_xml.mid(start, m_step.charIndex - start);
    const auto close = findMatchingClose(m_step.charIndex, m_step.xmlTag);
    if (!close)
        return QString();
    m_step.charIndex = close->second;
    m_step.endTag = true;
    --m_step.level;
    return m_xml.mid(start, close->second - start);
}

bool CCXmlDecoder::coalesceMixedContent()
{
    if (!m_step.error.isEmpty())
        return false;
    if (!m_step.startTag || m_step.endTag)
        return true;
    const Step opening = m_step;
    QString joined = m_step.value;
    m_coalescing = true;
    while (getNextTag()) {
        // Only the element's own closing tag brings the level below where it started.
        if (m_step.level < opening.level)
            break;
        const QString &piece = m_step.value;
        if (piece.isEmpty())
            continue;
        if (!joined.isEmpty() && !joined.back().isSpace() && !piece.front().isSpace())
            joined += u' ';
        joined += piece;
    }
    m_coalescing = false;
    if (!m_step.error.isEmpty())
        return false;
    m_step.xmlTag = opening.xmlTag;
    m_step.key = opening.key;
    m_step.attributes = opening.attributes;
    m_step.orderedAttributes = opening.orderedAttributes;
    m_step.tagStartIndex = opening.tagStartIndex;
    m_step.value = joined;
    m_step.startTag = true;
    m_step.endTag = true;
    m_step.level = opening.level - 1;
    return true;
}
