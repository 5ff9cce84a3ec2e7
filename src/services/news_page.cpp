#include "services/news_page.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QVariant>

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t kFirstFourDigitYear = 2018;
// Longer digit runs are no dates; saturating keeps the arithmetic away from overflow.
constexpr int32_t kNumberLimit = 1000000;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int32_t digitValue(const QString &text, qsizetype from, qsizetype to)
{
    int32_t value = 0;
    for (qsizetype i = from; i < to; ++i)
        value = std::min(kNumberLimit, value * 10 + (text.at(i).unicode() - '0'));
    return value;
}

// The heading whose month ends at slash, if there is one; start bounds the backward scan.
std::optional<NewsHeading> headingAt(const QString &text, qsizetype slash, qsizetype start, int32_t today)
{
    const qsizetype n = text.size();
    qsizetype first = slash;
    while (first > start && isAsciiDigit(text.at(first - 1)))
        --first;
    if (first == slash)
        return std::nullopt;
    // A heading starts a line: after a line feed the scan reached on its own, or at the very
    // start of the text.
    if (first > 0 && (first == start || text.at(first - 1) != QLatin1Char('\n')))
        return std::nullopt;
    const int32_t month = digitValue(text, first, slash);
    if (month < 1 || month > 12)
        return std::nullopt;

    const qsizetype dayStart = slash + 1;
    qsizetype dayEnd = dayStart;
    while (dayEnd < n && dayEnd - dayStart < 2 && isAsciiDigit(text.at(dayEnd)))
        ++dayEnd;
    if (dayEnd == dayStart || dayEnd >= n || text.at(dayEnd) != QLatin1Char('/'))
        return std::nullopt;
    const int32_t day = digitValue(text, dayStart, dayEnd);
    if (day < 1 || day > 31)
        return std::nullopt;

    const qsizetype yearStart = dayEnd + 1;
    qsizetype colon = yearStart;
    while (colon < n && isAsciiDigit(text.at(colon)))
        ++colon;
    if (colon >= n || text.at(colon) != QLatin1Char(':'))
        return std::nullopt;
    int32_t year = digitValue(text, yearStart, colon);
    if (year == 0)
        return std::nullopt;
    const int32_t thisYear = today / 10000;
    if (year > 99) {
        if (year < kFirstFourDigitYear)
            return std::nullopt;
    } else {
        year += thisYear / 100 * 100;
    }
    // A typo such as "20240" or "3/14/94" would otherwise stay the newest news for ever.
    if (year > thisYear + 1)
        return std::nullopt;
    if (colon + 1 >= n || text.at(colon + 1) != QLatin1Char(' '))
        return std::nullopt;
    return NewsHeading{first, colon - first + 1, year * 10000 + month * 100 + day};
}

void removeRange(QTextDocument *document, qsizetype from, qsizetype to)
{
    if (to <= from)
        return;
    QTextCursor cursor(document);
    cursor.setPosition(int(from));
    cursor.setPosition(int(to), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

// Links keep their words but lose what marks them as links; every colour goes, so the text
// shows in the viewer's own text colour, light or dark.
void plainLinksAndColours(QTextDocument *document)
{
    struct Change
    {
        int position;
        int length;
        QTextCharFormat format;
    };
    std::vector<Change> changes;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            const bool link = format.isAnchor() || format.hasProperty(QTextFormat::AnchorHref);
            if (!link && !format.hasProperty(QTextFormat::ForegroundBrush))
                continue;
            if (link) {
                format.clearProperty(QTextFormat::IsAnchor);
                format.clearProperty(QTextFormat::AnchorHref);
                format.clearProperty(QTextFormat::FontUnderline);
                format.clearProperty(QTextFormat::TextUnderlineStyle);
                format.clearProperty(QTextFormat::TextUnderlineColor);
            }
            format.clearProperty(QTextFormat::ForegroundBrush);
            changes.push_back({fragment.position(), fragment.length(), format});
        }
    }
    QTextCursor cursor(document);
    for (const Change &change : changes) {
        cursor.setPosition(change.position);
        cursor.setPosition(change.position + change.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(change.format);
    }
}

}

std::optional<NewsHeading> findNextNewsItem(const QString &text, qsizetype start, int32_t today)
{
    start = std::max<qsizetype>(start, 0);
    qsizetype from = start;
    while (from < text.size()) {
        const qsizetype slash = text.indexOf(QLatin1Char('/'), from);
        if (slash < 0)
            return std::nullopt;
        if (std::optional<NewsHeading> heading = headingAt(text, slash, start, today))
            return heading;
        from = slash + 1;
    }
    return std::nullopt;
}

std::optional<int32_t> handleNewsText(QTextDocument *document, int32_t previousDate, int32_t today)
{
    QString text = document->toPlainText();
    const std::optional<NewsHeading> first = findNextNewsItem(text, 0, today);
    if (!first)
        return std::nullopt;
    const int32_t newest = first->date;
    removeRange(document, 0, first->start);
    text = document->toPlainText();

    bool cut = false;
    if (previousDate != 0 && newest > previousDate) {
        qsizetype from = first->length;
        while (std::optional<NewsHeading> next = findNextNewsItem(text, from, today)) {
            if (next->date <= previousDate) {
                removeRange(document, next->start, text.size());
                text = document->toPlainText();
                cut = true;
                break;
            }
            from = next->start + next->length;
        }
    }

    qsizetype cutPoint = text.size();
    if (!cut) {
        const qsizetype news = text.lastIndexOf(QLatin1String("news\n"));
        // lastIndexOf counts a negative start from the end, so a match at 0 has no line before.
        const qsizetype lineFeed = news > 0 ? text.lastIndexOf(QLatin1Char('\n'), news - 1) : -1;
        if (lineFeed >= 0)
            cutPoint = lineFeed;
    }
    qsizetype end = cutPoint;
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    removeRange(document, end, text.size());

    plainLinksAndColours(document);
    return newest;
}

QVariant CCNewsDocument::loadResource(int, const QUrl &)
{
    return QVariant();
}

void ReadNewsPage(CCNewsDocument *document, const QByteArray &page)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(page);
    const QString html = decoder.isValid() ? decoder.decode(page) : QString::fromUtf8(page);
    document->setHtml(html);
}

QString NewsDateText(int32_t date)
{
    if (date == 0)
        return QString();
    static const char *const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
    const int32_t month = date / 100 % 100;
    const QString name = month >= 1 && month <= 12 ? QString::fromLatin1(kMonths[month - 1]) : QString();
    return QStringLiteral("%1 %2, %3").arg(name).arg(date % 100).arg(date / 10000);
}
