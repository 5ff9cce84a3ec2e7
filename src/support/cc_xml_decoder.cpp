#include "support/cc_xml_decoder.h"
#include "support/cc_xml_scan.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <mutex>

using ccxml::charAt;
using ccxml::Scan;
using ccxml::skipIgnorable;
using ccxml::skipSpace;
using ccxml::Stop;

namespace {

// Installed once at start-up and read by readers on any thread; QHash copies are
// cheap and thread-safe, so readers take a snapshot under the lock.
struct SharedKeyTable
{
    std::mutex lock;
    CCXmlKeyTable table;
};

SharedKeyTable &g_keyDecoder()
{
    static SharedKeyTable shared;
    return shared;
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

}

CCXmlDecoder::CCXmlDecoder(const QString &text, bool svg)
    : m_xml(text)
{
    m_step.svg = svg;
    if (svg)
        m_step.xmlTag = QStringLiteral("svg");
}

std::unique_ptr<CCXmlDecoder> CCXmlDecoder::initWithString(const QString &text)
{
    const qsizetype start = text.startsWith(QChar(QChar::ByteOrderMark)) ? 1 : 0;
    const Scan scan = skipIgnorable(text, start, false);
    if (scan.stop != Stop::Tag)
        return nullptr;
    const QStringView rest = QStringView(text).mid(scan.position);
    bool svg = false;
    if (rest.startsWith(u"<svg"))
        svg = true;
    else if (!rest.startsWith(u"<?xml"))
        return nullptr;
    std::unique_ptr<CCXmlDecoder> decoder(new CCXmlDecoder(text.mid(scan.position), svg));
    decoder->m_step.key = svg ? decoder->keyFor(decoder->m_step.xmlTag) : 0;
    return decoder;
}

std::unique_ptr<CCXmlDecoder> CCXmlDecoder::initWithStringOrData(const QString &text)
{
    return initWithString(text);
}

std::unique_ptr<CCXmlDecoder> CCXmlDecoder::initWithStringOrData(const QByteArray &data)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(data);
    if (decoder.hasError())
        return nullptr;
    return initWithString(text);
}

std::unique_ptr<CCXmlDecoder> CCXmlDecoder::initWithFile(const QString &path, QString *error)
{
    auto failWith = [error](const QString &message) -> std::unique_ptr<CCXmlDecoder> {
        if (error)
            *error = message;
        return nullptr;
    };
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return failWith(QStringLiteral("The item \"%1\" is not a file.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failWith(file.errorString());
    // read() sets aside as much as it is asked for, so ask for what the file holds.
    const QByteArray data = file.read(std::min(file.size(), kMaxFileSize) + 1);
    if (file.error() != QFileDevice::NoError)
        return failWith(file.errorString());
    if (data.size() > kMaxFileSize)
        return failWith(QStringLiteral("The file \"%1\" is too large.").arg(path));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(data);
    if (decoder.hasError())
        return failWith(QStringLiteral("The file \"%1\" is not UTF-8 text.").arg(path));
    auto result = initWithString(text);
    if (!result && error && error->isEmpty())
        *error = QStringLiteral("I don't understand the file format");
    return result;
}

void CCXmlDecoder::setGlobalKeyDecoder(const CCXmlKeyTable &table)
{
    SharedKeyTable &shared = g_keyDecoder();
    const std::lock_guard<std::mutex> guard(shared.lock);
    shared.table = table;
}

void CCXmlDecoder::addDecoderKey(int key, const QString &tag)
{
    SharedKeyTable &shared = g_keyDecoder();
    const std::lock_guard<std::mutex> guard(shared.lock);
    shared.table.insert(tag, key);
}

CCXmlKeyTable CCXmlDecoder::globalKeyDecoder()
{
    SharedKeyTable &shared = g_keyDecoder();
    const std::lock_guard<std::mutex> guard(shared.lock);
    return shared.table;
}

void CCXmlDecoder::setKeyDecoder(const CCXmlKeyTable &table)
{
    m_keyDecoder = table;
}

int CCXmlDecoder::keyFor(const QString &name) const
{
    if (m_keyDecoder)
        return m_keyDecoder->value(name, 0);
    return globalKeyDecoder().value(name, 0);
}

bool CCXmlDecoder::failWithMessage(const QString &message)
{
    if (m_step.error.isEmpty())
        m_step.error = message;
    return false;
}

bool CCXmlDecoder::fail(qsizetype position)
{
    m_step.charIndex = std::clamp<qsizetype>(position, 0, m_xml.size());
    return failWithMessage(QStringLiteral("this is not a valid XML file (offset 0x%1)")
                               .arg(QString::number(uint32_t(m_step.charIndex), 16)));
}

void CCXmlDecoder::start()
{
    m_step.started = true;
    m_step.length = m_xml.size() - 1;
    if (m_step.svg)
        return;
    const qsizetype close = m_xml.indexOf(QLatin1String("?>"));
    if (close < 0)
        fail(0);
    else
        m_step.charIndex = close + 2;
}

bool CCXmlDecoder::getNextTag()
{
    if (!m_step.error.isEmpty())
        return false;
    if (!m_step.started) {
        start();
        if (!m_step.error.isEmpty())
            return false;
    }
    if (m_step.charIndex >= m_step.length)
        return false;
    const qsizetype before = m_step.charIndex;
    m_step.tagStartIndex = before;
    const bool read = readStep(before);
    // Every step consumes text, so no caller can loop forever on a damaged document.
    if (read && m_step.charIndex <= before)
        return fail(before);
    return read;
}

qsizetype CCXmlDecoder::readName(qsizetype position, bool tagName) const
{
    const QChar first = charAt(m_xml, position);
    const bool digitStart = tagName && m_allowNumericTags && first.isDigit();
    if (!(first.isLetter() || first == u'_' || first == u':' || digitStart))
        return position;
    qsizetype p = position + 1;
    while (p < m_xml.size() && ccxml::isNameChar(m_xml.at(p)))
        ++p;
    return p;
}

bool CCXmlDecoder::readStep(qsizetype position)
{
    const Scan scan = skipIgnorable(m_xml, position, m_coalescing);
    switch (scan.stop) {
    case Stop::Fail:
        return fail(scan.position);
    case Stop::End:
        m_step.charIndex = m_xml.size();
        return false;
    case Stop::Text:
        return m_coalescing ? readTextStep(scan.position) : fail(scan.position);
    case Stop::Tag:
        break;
    }

    const qsizetype n = m_xml.size();
    qsizetype p = scan.position + 1;
    const bool closing = charAt(m_xml, p) == u'/';
    if (closing)
        ++p;
    const qsizetype nameEnd = readName(p, true);
    if (nameEnd == p)
        return fail(p);
    m_step.xmlTag = m_xml.mid(p, nameEnd - p);
    m_step.key = keyFor(m_step.xmlTag);
    m_step.value.clear();
    m_step.attributes.clear();
    m_step.orderedAttributes.clear();

    if (closing) {
        // Closing tags are not matched against open elements; the character after
        // the name stands for ">".
        m_step.startTag = false;
        m_step.endTag = true;
        --m_step.level;
        m_step.charIndex = std::min(nameEnd + 1, n);
        return true;
    }

    if (!m_step.haveRoot) {
        m_step.haveRoot = true;
        if (m_step.xmlTag == u"svg")
            m_step.svg = true;
    }
    m_step.startTag = true;
    m_step.endTag = false;
    p = skipSpace(m_xml, nameEnd);
    const QChar c = charAt(m_xml, p);
    if (c == u'/' && charAt(m_xml, p + 1) == u'>') {
        m_step.endTag = true;
        m_step.charIndex = p + 2;
        return true;
    }
    if (c == u'>') {
        ++p;
    } else if (c.isLetter()) {
        bool selfClosing = false;
        if (!readAttributes(p, selfClosing))
            return false;
        if (selfClosing) {
            m_step.endTag = true;
            m_step.charIndex = p;
            return true;
        }
    } else {
        return fail(p);
    }

    if (!readText(p, !m_step.svg))
        return false;

    // A closing tag right after the text makes the element a leaf: one step.
    const Scan next = skipIgnorable(m_xml, p, true);
    if (next.stop == Stop::Tag && charAt(m_xml, next.position + 1) == u'/') {
        const qsizetype start = next.position + 2;
        const qsizetype end = readName(start, true);
        if (end > start && keyFor(m_xml.mid(start, end - start)) == m_step.key) {
            m_step.endTag = true;
            m_step.charIndex = std::min(end + 1, n);
            return true;
        }
    }
    if (m_step.level >= kMaxLevel)
        return fail(p);
    ++m_step.level;
    m_step.charIndex = p;
    return true;
}

bool CCXmlDecoder::readAttributes(qsizetype &position, bool &selfClosing)
{
    const qsizetype n = m_xml.size();
    qsizetype p = position;
    for (;;) {
        p = skipSpace(m_xml, p);
        if (p >= n)
            return fail(p);
        const QChar c = m_xml.at(p);
        if (c == u'/') {
            if (charAt(m_xml, p + 1) != u'>')
                return fail(p);
            position = p + 2;
            selfClosing = true;
            return true;
        }
        if (c == u'>') {
            position = p + 1;
            selfClosing = false;
            return true;
        }
        const qsizetype nameStart = p;
        if (m_allowSpaceInAttr) {
            while (p < n && m_xml.at(p) != u'=' && m_xml.at(p) != u'/' && m_xml.at(p) != u'>')
                ++p;
        } else {
            while (p < n
                   && (m_xml.at(p).isLetter() || m_xml.at(p).isDigit() || m_xml.at(p) == u'-' || m_xml.at(p) == u':'
                       || m_xml.at(p) == u'_'))
                ++p;
        }
        if (p == nameStart || charAt(m_xml, p) != u'=')
            return fail(p);
        ++p;
        if (n - p < 5 || !isQuote(m_xml.at(p)))
            return fail(p);
        const qsizetype close = m_xml.indexOf(m_xml.at(p), p + 1);
        if (close < 0)
            return fail(p);
        const QString name = m_xml.mid(nameStart, p - 1 - nameStart);
        const QString raw = m_xml.mid(p + 1, close - p - 1);
        const QString value = raw.isEmpty() ? QString() : decodeEscapes(raw);
        m_step.attributes.insert(name, value);
        if (m_step.svg)
            m_step.orderedAttributes << name << value;
        p = close + 1;
    }
}

bool CCXmlDecoder::readText(qsizetype &position, bool keepLeadingSpace)
{
    const qsizetype n = m_xml.size();
    qsizetype p = skipSpace(m_xml, position);
    qsizetype runStart = keepLeadingSpace ? position : p;
    QString value;
    for (;;) {
        qsizetype runEnd = m_xml.indexOf(u'<', p);
        if (runEnd < 0)
            runEnd = n;
        if (runEnd > runStart)
            value += decodeEscapes(m_xml.mid(runStart, runEnd - runStart));
        p = runEnd;
        if (n - p < 14 || !QStringView(m_xml).mid(p).startsWith(u"<![CDATA["))
            break;
        const qsizetype close = m_xml.indexOf(QLatin1String("]]>"), p + 9);
        if (close < 0) {
            m_step.charIndex = p;
            return failWithMessage(
                QStringLiteral("malformed CDATA at offset 0x%1").arg(QString::number(uint32_t(p), 16)));
        }
        value += QStringView(m_xml).mid(p + 9, close - p - 9);
        p = close + 3;
        runStart = p;
    }
    m_step.value = value;
    position = p;
    return true;
}

bool CCXmlDecoder::readTextStep(qsizetype position)
{
    qsizetype p = position;
    if (!readText(p, false))
        return false;
    m_step.xmlTag = QStringLiteral("?");
    m_step.key = kTextKey;
    m_step.attributes.clear();
    m_step.orderedAttributes.clear();
    m_step.startTag = false;
    m_step.endTag = true;
    m_step.charIndex = p;
    return true;
}
