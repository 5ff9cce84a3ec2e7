#include "services/news_page.h"

#include "services_fixtures.h"
#include "test_support.h"

#include <QRegularExpression>

using namespace tj::test;

namespace {

constexpr int32_t kToday = 20260210;

std::optional<int32_t> dateAt(const QString &text, qsizetype start = 0)
{
    const std::optional<NewsHeading> heading = findNextNewsItem(text, start, kToday);
    return heading ? std::optional<int32_t>(heading->date) : std::nullopt;
}

std::unique_ptr<CCNewsDocument> document(const QByteArray &page)
{
    auto made = std::make_unique<CCNewsDocument>();
    ReadNewsPage(made.get(), page);
    return made;
}

}

TEST(NewsHeading, YearsAndRanges)
{
    // Two digits are this century, next year is allowed, the text's first line is a line too, and a
    // refused heading does not hide a later one.
    const std::pair<const char *, int32_t> accepted[] = {
        {"\n3/14/24: x", 20240314},
        {"\n3/14/27: x", 20270314},
        {"\n3/14/2018: x", 20180314},
        {"\n12/31/2027: x", 20271231},
        {"\n01/09/2024: x", 20240109},
        {"3/14/2024: x", 20240314},
        {"\n13/1/2024: no\n2/1/2024: yes", 20240201},
    };
    for (const auto &[text, date] : accepted)
        EXPECT_EQ(dateAt(QString::fromLatin1(text)), date) << text;
    for (const char *refused :
         {"\n3/14/2017: x", "\n1/5/20240: x",  "\n1/5/2028: x",   "\n1/5/28: x",    "\n1/5/94: x",
          "\n13/1/2024: x", "\n0/1/2024: x",   "\n3/0/2024: x",   "\n3/32/2024: x", "\n3/14/0: x",
          "\n3/14/2024:x",  "\n3/14/2024 : x", "\n3/144/2024: x", "\n3//2024: x",   "\n/3/2024: x",
          "\n3/14/2024:",   "\n3/14/20a4: x",  "x3/14/2024: x",   " 3/14/2024: x",  "\n99999999999999/1/2024: x"})
        EXPECT_FALSE(dateAt(QString::fromLatin1(refused))) << refused;
}

TEST(NewsHeading, SpansItsLineStartToTheColonAndTheScanStaysInsideTheText)
{
    const QString text = QStringLiteral("News\n12/25/23: second");
    const std::optional<NewsHeading> heading = findNextNewsItem(text, 0, kToday);
    ASSERT_TRUE(heading);
    EXPECT_EQ(text.mid(heading->start, heading->length), QStringLiteral("12/25/23:"));
    EXPECT_FALSE(findNextNewsItem(text, heading->start + heading->length, kToday));
    // The scan never looks back before its start, not even for the line feed.
    for (const qsizetype start : {qsizetype(5), qsizetype(6), text.size(), text.size() + 5})
        EXPECT_FALSE(dateAt(text, start)) << start;
}

TEST(NewsText, KeepsTheItemsNewerThanTheLastShownWithoutHeaderFooterOrLinks)
{
    const QString newest = QStringLiteral("3/14/2024: Tobbin Jigsaw 2.2 is out. Get it now.\nIt brings red pieces.");
    const QString all = newest
        + QStringLiteral("\n1/5/2024: New pictures for the website.\n11/30/2023: Winter sale.\n"
                         "Older items are in the archive.");
    // The page, the newest date shown before, the newest date found, and the text left.
    const std::tuple<const char *, int32_t, std::optional<int32_t>, QString> cases[] = {
        {kNewsPage, 20240105, 20240314, newest},
        // Nothing newer than the newest item shown before cuts nothing but the footer either.
        {kNewsPage, 0, 20240314, all},
        {kNewsPage, 20240314, 20240314, all},
        {"<p>2/1/2026: Big news</p>\n<p>\n</p>", 0, 20260201, QStringLiteral("2/1/2026: Big news")},
        // A page without headings is left as it is.
        {"<html><body><p>Nothing yet.</p><p>Come back for news</p></body></html>", 0, std::nullopt,
         QStringLiteral("Nothing yet.\nCome back for news")},
    };
    for (const auto &[page, previous, newestDate, left] : cases) {
        auto text = document(page);
        EXPECT_EQ(handleNewsText(text.get(), previous, kToday), newestDate) << page;
        EXPECT_EQ(text->toPlainText(), left) << previous;
        // No link, underline or colour is left.
        EXPECT_FALSE(text->toHtml().contains(QRegularExpression(QStringLiteral("href|underline|color:")))) << page;
    }
}

TEST(NewsDocument, NeverLoadsFilesThePageNames)
{
    const QUrl picture = QUrl::fromLocalFile(WriteTestPicture(4, 4, QStringLiteral("secret.png")));
    const QByteArray page = "<p>1/2/2024: look <img src=\"" + picture.toEncoded() + "\"></p>";

    QTextDocument plain;
    plain.setHtml(QString::fromUtf8(page));
    plain.size();
    ASSERT_TRUE(plain.resource(QTextDocument::ImageResource, picture).isValid())
        << "an ordinary document reads the file, so this test can tell";

    auto news = document(page);
    news->size();
    EXPECT_FALSE(news->resource(QTextDocument::ImageResource, picture).isValid());
}

TEST(NewsDate, Text)
{
    const std::pair<int32_t, const char *> dates[] = {
        {20240105, "January 5, 2024"}, {0, ""}, {20241301, " 1, 2024"}, {20240001, " 1, 2024"}};
    for (const auto &[date, text] : dates)
        EXPECT_EQ(NewsDateText(date), QLatin1String(text)) << date;
}
