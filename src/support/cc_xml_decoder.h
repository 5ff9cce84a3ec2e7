#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

// Tag name -> key, so callers can switch on small integers. Names not in the table have key 0.
using CCXmlKeyTable = QHash<QString, int>;
using CCXmlAttributes = QHash<QString, QString>;

// Where skipTag was called from; unskipTag returns there.
struct CCXmlBookmark
{
    qsizetype index = 0;
    int level = 0;
};

// What followingTagWithAttributes saw one step ahead.
struct CCXmlFollowingTag
{
    QString tag;
    CCXmlAttributes attributes;
    QString value;
};

// A forward-only pull reader for the XML documents this application writes. Each
// getNextTag() yields one step: an opening tag (with its attributes and, for a leaf,
// its text), a self-closing element, or a closing tag. It is lenient about
// structure (closing tags are not matched against open ones) but fails cleanly on
// malformed syntax; every index and offset counts UTF-16 code units of the
// document. One reader per document and thread; the class-wide key table may be
// read from any thread.
class CCXmlDecoder
{
public:
    // Key and tag name of a text step, returned only inside coalesceMixedContent.
    static constexpr int kTextKey = 55555;
    // Deeper documents are rejected, so callers that recurse per level stay bounded.
    static constexpr int kMaxLevel = 1000;
    // Larger files are refused rather than read into memory.
    static constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

    // Reads the file as UTF-8 (a leading byte-order mark is dropped). On failure *error,
    // when given, holds the read error, or "I don't understand the file format" if it
    // was still empty and the text is not a document.
    static std::unique_ptr<CCXmlDecoder> initWithFile(const QString &path, QString *error = nullptr);
    // Bytes must be valid UTF-8.
    static std::unique_ptr<CCXmlDecoder> initWithStringOrData(const QByteArray &data);
    static std::unique_ptr<CCXmlDecoder> initWithStringOrData(const QString &text);
    // Null unless the text (after white space and comments) starts with "<?xml" or "<svg".
    static std::unique_ptr<CCXmlDecoder> initWithString(const QString &text);

    // The class-wide key table, used by every reader that has no table of its own.
    static void setGlobalKeyDecoder(const CCXmlKeyTable &table);
    static void addDecoderKey(int key, const QString &tag);
    static CCXmlKeyTable globalKeyDecoder();
    // Gives this reader its own table.
    void setKeyDecoder(const CCXmlKeyTable &table);

    void setAllowNumericTags(bool allow) { m_allowNumericTags = allow; }
    void setAllowSpaceInAttr(bool allow) { m_allowSpaceInAttr = allow; }

    // Advances one step; false at the end of the document or on an error.
    bool getNextTag();

    const QString &xmlTag() const { return m_step.xmlTag; }
    int key() const { return m_step.key; }
    // The element's text, entity-decoded; empty when it has none.
    const QString &value() const { return m_step.value; }
    const CCXmlAttributes &attributes() const { return m_step.attributes; }
    // In SVG mode: name, value, name, value ... in document order.
    const QStringList &orderedAttributes() const { return m_step.orderedAttributes; }
    bool startTag() const { return m_step.startTag; }
    bool endTag() const { return m_step.endTag; }
    int level() const { return m_step.level; }
    // The first error; empty while there is none.
    const QString &error() const { return m_step.error; }
    bool isSvg() const { return m_step.svg; }
    qsizetype charIndex() const { return m_step.charIndex; }
    qsizetype tagStartIndex() const { return m_step.tagStartIndex; }

    int integerValue() const;
    qint64 longValue() const;
    int integerAttributeForTag(const QString &name) const;
    std::optional<QString> stringAttributeForTag(const QString &name) const;
    bool tagHasAttributes() const { return !m_step.attributes.isEmpty(); }

    // Key-table number of the value text; 0 when it is not in the table.
    int decodeValue() const;
    // Index of the first entry equal to the text ignoring case; 0 when none matches.
    int decodeValueFromValues(const QStringList &values) const;
    int decodeAttribute(const QString &name, const QStringList &values) const;
    static int decodeValue(const QString &text, const QStringList &values);

    // Before the first step this is true as well.
    bool isDone() const;
    void forceDone();

    // Skips the rest of the current open element, reading its closing tag.
    CCXmlBookmark skipTag();
    void unskipTag(const CCXmlBookmark &bookmark);
    // Jumps to the next "<name>" without attributes; the element counts as open at level 2.
    bool skipToTag(const QString &name);
    // The next step, without moving; nothing when there is none.
    std::optional<CCXmlFollowingTag> followingTagWithAttributes();
    // The raw text of the current open element up to and including its closing tag;
    // moves past it. Empty when its closing tag is missing.
    QString extractTag();
    // Reads the rest of the current open element and joins all text in it into value().
    bool coalesceMixedContent();

    static QString decodeEscapes(const QString &text);

private:
    // Everything a step changes, so a look-ahead can put it back.
    struct Step
    {
        qsizetype length = 0;
        qsizetype charIndex = 0;
        qsizetype tagStartIndex = 0;
        int level = 0;
        QString error;
        QString xmlTag;
        int key = 0;
        CCXmlAttributes attributes;
        QStringList orderedAttributes;
        QString value;
        bool startTag = false;
        bool endTag = false;
        bool haveRoot = false;
        bool svg = false;
        bool started = false;
    };

    explicit CCXmlDecoder(const QString &text, bool svg);

    int keyFor(const QString &name) const;
    void start();
    bool fail(qsizetype position);
    bool failWithMessage(const QString &message);
    bool readStep(qsizetype position);
    bool readAttributes(qsizetype &position, bool &selfClosing);
    bool readText(qsizetype &position, bool keepLeadingSpace);
    bool readTextStep(qsizetype position);
    qsizetype readName(qsizetype position, bool tagName) const;
    // The opening "<" and the end (after ">") of the closing tag that ends the element
    // open at position; nothing when there is none.
    std::optional<std::pair<qsizetype, qsizetype>> findMatchingClose(qsizetype position, const QString &name) const;

    QString m_xml;
    Step m_step;
    std::optional<CCXmlKeyTable> m_keyDecoder;
    bool m_coalescing = false;
    bool m_allowNumericTags = false;
    bool m_allowSpaceInAttr = false;
};
