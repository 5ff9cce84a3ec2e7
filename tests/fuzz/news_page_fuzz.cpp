// A news page as served: read as HTML, then cut down to the items worth showing. The first
// four bytes choose the date of the news shown before.
#include "services/news_page.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t kToday = 20260210;
// Qt's HTML reader is not what is under test here; long inputs only slow the search.
constexpr size_t kMaxInput = 64 * 1024;

void checkHeading(const QString &text, qsizetype from, const NewsHeading &heading)
{
    if (heading.start < from || heading.length < 6 || heading.start + heading.length >= text.size())
        std::abort();
    if (text.at(heading.start + heading.length - 1) != QLatin1Char(':')
        || text.at(heading.start + heading.length) != QLatin1Char(' '))
        std::abort();
    if (heading.start > 0 && text.at(heading.start - 1) != QLatin1Char('\n'))
        std::abort();
    const int32_t month = heading.date / 100 % 100;
    const int32_t day = heading.date % 100;
    const int32_t year = heading.date / 10000;
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1 || year > kToday / 10000 + 1)
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "news_page_fuzz";
    static char *argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication *const app = new QGuiApplication(argc, argv);
    (void)app;

    if (size < 4 || size > kMaxInput)
        return 0;
    int32_t previous = 0;
    std::memcpy(&previous, data, 4);
    previous = previous < 0 ? 0 : previous % 30000000;
    const QByteArray page(reinterpret_cast<const char *>(data) + 4, qsizetype(size - 4));

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
    if (newest) {
        const int32_t month = *newest / 100 % 100;
        if (month < 1 || month > 12)
            std::abort();
    }
    return 0;
}
