#include "support/cc_xml_encoder.h"

#include <algorithm>

namespace {

const QString kDeclaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
const QString kSvgNamespace = QStringLiteral(" xmlns=\"http://www.w3.org/2000/svg\"");

bool isUnwantedControl(char16_t c)
{
    if (c == u'\t' || c == u'\n' || c == u'\r')
        return false;
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Control characters are not allowed in XML text, and unpaired surrogates would be
// lost when the document is stored as UTF-8.
QString writableText(const QString &text)
{
    QString result = text;
    const qsizetype n = result.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = result.at(i).unicode();
        if (isUnwantedControl(c)) {
            result[i] = QLatin1Char(' ');
        } else if (QChar::isHighSurrogate(c)) {
            if (i + 1 < n && QChar::isLowSurrogate(result.at(i + 1).unicode()))
                ++i;
            else
                result[i] = QChar::ReplacementCharacter;
        } else if (QChar::isLowSurrogate(c)) {
            result[i] = QChar::ReplacementCharacter;
        }
    }
    return result;
}

QString escapedText(const QString &text)
{
    QString result = writableText(text);
    // "&" goes first so the entities added after it are not escaped again.
    result.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    result.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    result.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    result.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    return result;
}

}

CCXmlEncoder::CCXmlEncoder()
    : m_xml(kDeclaration)
{
}

CCXmlEncoder::CCXmlEncoder(qsizetype capacity)
    : CCXmlEncoder()
{
    m_xml.reserve(std::max(capacity, m_xml.size()));
}

std::unique_ptr<CCXmlEncoder> CCXmlEncoder::init()
{
    return std::make_unique<CCXmlEncoder>();
}

std::unique_ptr<CCXmlEncoder> CCXmlEncoder::initWithCapacity(qsizetype capacity)
{
    return std::make_unique<CCXmlEncoder>(capacity);
}

std::unique_ptr<CCXmlEncoder> CCXmlEncoder::initForSvg()
{
    auto encoder = std::make_unique<CCXmlEncoder>();
    encoder->m_xml.clear();
    encoder->m_svg = true;
    return encoder;
}

void CCXmlEncoder::writeIndent(int level)
{
    if (level > 0)
        m_xml.append(QString(level, QLatin1Char('\t')));
}

void CCXmlEncoder::writeTag(const QString &name, const QString *content, bool escapeContent)
{
    m_pendingChild = false;
    writeIndent(m_level);
    m_xml += QLatin1Char('<') + name;
    if (m_svg && m_empty)
        m_xml += kSvgNamespace;
    for (qsizetype i = 0; i + 1 < m_attributes.size(); i += 2)
        m_xml +=
            QLatin1Char(' ') + m_attributes.at(i) + QLatin1String("=\"") + m_attributes.at(i + 1) + QLatin1Char('"');
    m_attributes.clear();
    if (!content) {
        m_xml += QLatin1Char('>');
        ++m_level;
    } else if (content->isEmpty()) {
        m_xml += QLatin1String("/>");
    } else {
        m_xml += QLatin1Char('>') + (escapeContent ? escapedText(*content) : *content) + QLatin1String("</") + name
            + QLatin1Char('>');
    }
    m_xml += QLatin1Char('\n');
    m_empty = false;
}

void CCXmlEncoder::openTag(const QString &name)
{
    if (name.isEmpty())
        return;
    writeTag(name, nullptr, false);
    m_pendingChild = true;
}

void CCXmlEncoder::closeTag(const QString &name)
{
    if (name.isEmpty())
        return;
    --m_level;
    if (m_pendingChild && m_xml.endsWith(QLatin1Char('\n'))) {
        // Nothing was written inside, so the element closes on its opening line.
        m_xml.chop(1);
    } else {
        writeIndent(m_level);
    }
    m_pendingChild = false;
    m_xml += QLatin1String("</") + name + QLatin1String(">\n");
}

void CCXmlEncoder::openAndCloseTag(const QString &name)
{
    if (name.isEmpty())
        return;
    const QString none;
    writeTag(name, &none, false);
}

void CCXmlEncoder::addTag(const QString &name, const QString &text)
{
    if (name.isEmpty())
        return;
    writeTag(name, &text, true);
}

void CCXmlEncoder::addTag(const QString &name, int number)
{
    if (name.isEmpty())
        return;
    const QString text = QString::number(number);
    writeTag(name, &text, false);
}

void CCXmlEncoder::addTag(const QString &name, qint64 number)
{
    if (name.isEmpty())
        return;
    const QString text = QString::number(number);
    writeTag(name, &text, false);
}

void CCXmlEncoder::addAttribute(const QString &name, int number)
{
    if (name.isEmpty())
        return;
    m_attributes << name << QString::number(number);
}

void CCXmlEncoder::addAttribute(const QString &name, const QString &text)
{
    if (name.isEmpty() || text.isEmpty())
        return;
    m_attributes << name << escapedText(text);
}

void CCXmlEncoder::saveInsertionPoint()
{
    m_insertionStack.append({m_level, m_xml.size()});
    // The saved point follows a line feed; an element opened just before it must
    // not later pull its closing tag back across that point.
    m_pendingChild = false;
}

void CCXmlEncoder::beginInsertion()
{
    if (m_inserting || m_insertionStack.isEmpty())
        return;
    const InsertionPoint point = m_insertionStack.last();
    const qsizetype at = std::clamp<qsizetype>(point.length, 0, m_xml.size());
    m_savedTail = m_xml.mid(at);
    m_xml.truncate(at);
    m_savedLevel = m_level;
    m_level = point.level;
    m_inserting = true;
    m_pendingChild = false;
}

void CCXmlEncoder::endInsertion()
{
    if (!m_inserting)
        return;
    m_level = m_savedLevel;
    m_inserting = false;
    m_insertionStack.removeLast();
    m_xml += m_savedTail;
    m_savedTail.clear();
    m_pendingChild = false;
}

void CCXmlEncoder::cancelInsertion()
{
    // While an insertion is active its point is still needed by endInsertion.
    if (m_inserting || m_insertionStack.isEmpty())
        return;
    m_insertionStack.removeLast();
}
