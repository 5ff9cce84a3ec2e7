#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

// Builds an XML document in memory: tab indentation, one element per line, leaf
// elements on one line, empty leaves in the empty-element form. Element and
// attribute names are written as given, so callers pass valid names; texts are
// escaped. An empty name writes (or queues) nothing. Not thread-safe; one writer
// per document.
class CCXmlEncoder
{
public:
    // Starts with the XML declaration line.
    CCXmlEncoder();
    explicit CCXmlEncoder(qsizetype capacity);

    static std::unique_ptr<CCXmlEncoder> init();
    static std::unique_ptr<CCXmlEncoder> initWithCapacity(qsizetype capacity);
    // No declaration; the first element carries the SVG namespace.
    static std::unique_ptr<CCXmlEncoder> initForSvg();

    // Opens an element that will have children; closeTag ends it.
    void openTag(const QString &name);
    void closeTag(const QString &name);
    // An element with no content: "<name attributes/>".
    void openAndCloseTag(const QString &name);

    // A leaf element holding the escaped text; an empty text gives the empty-element form.
    void addTag(const QString &name, const QString &text);
    // A leaf element holding the number in decimal (32-bit, then 64-bit).
    void addTag(const QString &name, int number);
    void addTag(const QString &name, qint64 number);

    // Queues an attribute for the next opened element. An empty text queues nothing.
    void addAttribute(const QString &name, int number);
    void addAttribute(const QString &name, const QString &text);

    // Remembers the current position and level so content can be inserted there later.
    void saveInsertionPoint();
    // Moves output to the most recently saved point until endInsertion.
    void beginInsertion();
    // Puts back the text that followed the insertion point and forgets the point.
    void endInsertion();
    // Forgets the most recently saved point without inserting.
    void cancelInsertion();

    const QString &xml() const { return m_xml; }
    // True until the first element has been written.
    bool isEmpty() const { return m_empty; }
    int level() const { return m_level; }

private:
    struct InsertionPoint
    {
        int level;
        qsizetype length;
    };

    // Writes one tag line; content == nullptr opens an element with children.
    void writeTag(const QString &name, const QString *content, bool escapeContent);
    void writeIndent(int level);

    QString m_xml;
    QStringList m_attributes;
    int m_level = 0;
    bool m_pendingChild = false;
    bool m_empty = true;
    bool m_svg = false;
    QString m_savedTail;
    bool m_inserting = false;
    int m_savedLevel = 0;
    QList<InsertionPoint> m_insertionStack;
};
