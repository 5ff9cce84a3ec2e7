// A news page as served: read as HTML, then cut down to the items worth showing. The first
// four bytes choose the date of the news shown before.
#include "services/news_page.h"

#include "fuzz_support.h"

#include <cstring>

namespace {

constexpr int32_t kToday = 20260210;
// Qt's HTML reader is not what is under test here; long inputs only slow the search.
constexpr size_t kMaxInput = 64 * 1024;

void checkHeading(const QString &text, qsizetype from, const NewsHeading &heading)
{
    const qsizetype end = heading.start + heading.length;
    FUZZ_CHECK(heading.start >= from && heading.length >= 6 && end < text.size());
    FUZZ_CHECK(text.at(end - 1) == QLatin1Char(':') && text.at(end) == QLatin1Char(' '));
    FUZZ_CHECK(heading.start == 0 || text.at(heading.start - 1) == QLatin1Char('\n'));
    const int32_t month = heading.date / 100 % 100;
    const int32_t day = heading.date % 100;
    const int32_t year = heading.date / 10000;
    FUZZ_CHECK(month >= 1 && month <= 12 && day >= 1 && day <= 31 && year >= 1 && year <= kToday / 10000 + 1);
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzApplication();
    if (size < 4 || size > kMaxInput)
        return 0;
    int32_t previous = 0;
    std::memcpy(&previous, data, 4);
    previous = previous < 0 ? 0 : previous % 30000000;
    const QByteArray page = FuzzBytes(data + 4, size - 4);

    // The heading search straight over the text, every heading checked.
    const QString text = QString::fromUtf8(page);
    qsizetype from = 0;
    while (std::optional<NewsHeading> heading = findNextNewsItem(text, from, kToday)) {
        checkHeading(text, from, *heading);
        from = heading->start + heading->length;
    }

    CCNewsDocument document;
    ReadNewsPage(&document, page);
    const std::optional<int32_t> newest = handleNewsText(&document, previous, kToday);
    FUZZ_CHECK(!newest || (*newest / 100 % 100 >= 1 && *newest / 100 % 100 <= 12));
    return 0;
}
