#pragma once

#include <QString>

// Scanning helpers shared by the reader's source files.
namespace ccxml {

inline QChar charAt(const QString &text, qsizetype index)
{
    return index >= 0 && index < text.size() ? text.at(index) : QChar();
}

inline qsizetype skipSpace(const QString &text, qsizetype position)
{
    while (position < text.size() && text.at(position).isSpace())
        ++position;
    return position;
}

// Characters that may follow the first one in a tag or attribute name.
inline bool isNameChar(QChar c)
{
    return c.isLetter() || c.isDigit() || c == u'_' || c == u':' || c == u'-' || c == u'.';
}

enum class Stop { Tag, Text, End, Fail };

struct Scan
{
    Stop stop;
    qsizetype position;
};

// Skips white space, comments, "<!" declarations and entity references between tags.
// In text mode entities and CDATA sections count as text instead.
Scan skipIgnorable(const QString &text, qsizetype position, bool textMode);

}
