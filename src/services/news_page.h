#pragma once

#include <QString>
#include <QTextDocument>

#include <cstdint>
#include <optional>

class QByteArray;

// A date heading found in news text: the range from the start of its line to its ":" and the
// news date year * 10000 + month * 100 + day (the day-index form).
struct NewsHeading
{
    qsizetype start = 0;
    qsizetype length = 0;
    int32_t date = 0;
};

// The next heading "month/day/year: " that starts a line at or after index start of text.
// Months run 1 to 12, days 1 to 31; a year of one or two digits lies in today's century, a
// longer one is 2018 or later, and none is past next year. today is a day index.
std::optional<NewsHeading> findNextNewsItem(const QString &text, qsizetype start, int32_t today);

// Cuts the news text down to the items worth showing: the page's header before the first
// heading goes; with a previousDate, every item not newer than it goes, otherwise the footer
// from the line holding the last "news" that ends a line; trailing blank lines go; links lose
// their link, underline and colour, and the whole text the colour it was given. Returns the
// date of the first (newest) item, or none when there is no heading (the text is then unchanged).
std::optional<int32_t> handleNewsText(QTextDocument *document, int32_t previousDate, int32_t today);

// A text document that never loads the pictures or style sheets a page names: the page comes
// from the network and its names could point anywhere on this machine.
class CCNewsDocument : public QTextDocument
{
    Q_OBJECT

public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl &name) override;
};

// The news page's bytes as styled text, decoded as the page declares (UTF-8 when it doesn't).
void ReadNewsPage(CCNewsDocument *document, const QByteArray &page);

// "%@ %d, %d" with the English month name ("March 14, 2024"); empty for date 0, and an empty
// month name for a month out of range.
QString NewsDateText(int32_t date);
