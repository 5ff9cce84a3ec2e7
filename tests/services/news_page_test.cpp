#include "services/news_page.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QUrl>

namespace {

constexpr int32_t kToday = 20260210;

const char kPage[] = R"(<html><head><title>Wrenmoor News</title></head><body>
<h1>Wrenmoor News</h1>
<p>Welcome to the news page. Dated 1/1/2019: is not a heading here.</p>
<p>3/14/2024: Tobbin Jigsaw 2.2 is out. <a href="https://wrenmoor.example/downloads">Get it</a> now.</p>
<p>It brings <font color="#ff0000">red</font> pieces.</p>
<p>1/5/2024: New pictures for the website.</p>
<p>11/30/2023: Winter sale.</p>
<p>Older items are in the archive.</p>
<p>Write to us for more news</p>
<p>Copyright Wrenmoor</p>
</body></html>)";

std::optional<int32_t> dateAt(const QString &text, qsizetype start = 0)
{
    const std::optional<NewsHeading> heading = findNextNewsItem(text, start, kToday);
    return heading ? std::optional<int32_t>(heading->date) : std::nullopt;
}

std::unique_ptr<CCNewsDocument> document(const QByteArray &page = kPage)
{
    auto made = std::make_unique<CCNewsDocument>();
    ReadNewsPage(made.get(), page);
    return made;
}

bool hasLinkOrColour(const QTextDocument &text)
{
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor() || format.fontUnderline() || format.hasProperty(QTextFormat::ForegroundBrush))
                return true;
        }
    return false;
}

}

TEST(NewsHeading, FindsHeadingsThatStartALine)
{
    const QString text = QStringLiteral("News\n3/14/2024: first\nsee 4/1/2024: inline\n12/25/23: second");
    const auto first = findNextNewsItem(text, 0, kToday);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->date, 20240314);
    EXPECT_EQ(text.mid(first->start, first->length), QStringLiteral("3/14/2024:"));
    const auto second = findNextNewsItem(text, first->start + first->length, kToday);
    ASSERT_TRUE(second);
    EXPECT_EQ(text.mid(second->start, second->length), QStringLiteral("12/25/23:"));
    EXPECT_EQ(second->date, 20231225);
    EXPECT_FALSE(findNextNewsItem(text, second->start + second->length, kToday));
}

TEST(NewsHeading, YearsAndRanges)
{
    EXPECT_EQ(dateAt(QStringLiteral("\n3/14/24: x")), 20240314) << "two digits are this century";
    EXPECT_EQ(dateAt(QStringLiteral("\n3/14/27: x")), 20270314);
    EXPECT_EQ(dateAt(QStringLiteral("\n3/14/2018: x")), 20180314);
    EXPECT_EQ(dateAt(QStringLiteral("\n12/31/2027: x")), 20271231) << "next year is allowed";
    EXPECT_EQ(dateAt(QStringLiteral("\n01/09/2024: x")), 20240109);
    for (const char *refused :
         {"\n3/14/2017: x", "\n1/5/20240: x", "\n1/5/2028: x", "\n1/5/28: x", "\n1/5/94: x", "\n13/1/2024: x",
          "\n0/1/2024: x", "\n3/0/2024: x", "\n3/32/2024: x", "\n3/14/0: x", "\n3/14/2024:x", "\n3/14/2024 : x",
          "\n3/144/2024: x", "\n3//2024: x", "\n/3/2024: x", "\n3/14/2024:", "\n3/14/20a4: x", "x3/14/2024: x",
          " 3/14/2024: x", "\n99999999999999/1/2024: x"})
        EXPECT_FALSE(dateAt(QString::fromLatin1(refused))) << refused;
}

TEST(NewsHeading, ScanStaysInsideTheText)
{
    // The first line of the text is a line too; before it there is nothing to read.
    EXPECT_EQ(dateAt(QStringLiteral("3/14/2024: x")), 20240314);
    // The scan never looks back before its start, not even for the line feed.
    const QString text = QStringLiteral("\n12/1/2024: x");
    EXPECT_TRUE(dateAt(text, 0));
    EXPECT_FALSE(dateAt(text, 1));
    EXPECT_FALSE(dateAt(text, 2));
    EXPECT_FALSE(dateAt(text, text.size()));
    EXPECT_FALSE(dateAt(text, text.size() + 5));
    // A rejected heading does not hide a later one.
    EXPECT_EQ(dateAt(QStringLiteral("\n13/1/2024: no\n2/1/2024: yes")), 20240201);
}

TEST(NewsText, ShowsOnlyItemsNewerThanTheLastShown)
{
    auto text = document();
    EXPECT_EQ(handleNewsText(text.get(), 20240105, kToday), 20240314);
    EXPECT_EQ(text->toPlainText(), QStringLiteral("3/14/2024: Tobbin Jigsaw 2.2 is out. Get it now.\n"
                                                  "It brings red pieces."));
    EXPECT_FALSE(hasLinkOrColour(*text));
}

TEST(NewsText, FirstVisitShowsEverythingBeforeTheFooter)
{
    // Nothing newer than the newest item shown before cuts nothing but the footer either.
    for (const int32_t previous : {0, 20240314}) {
        auto text = document();
        EXPECT_EQ(handleNewsText(text.get(), previous, kToday), 20240314);
        EXPECT_EQ(text->toPlainText(), QStringLiteral("3/14/2024: Tobbin Jigsaw 2.2 is out. Get it now.\n"
                                                      "It brings red pieces.\n"
                                                      "1/5/2024: New pictures for the website.\n"
                                                      "11/30/2023: Winter sale.\n"
                                                      "Older items are in the archive."))
            << previous;
        EXPECT_FALSE(hasLinkOrColour(*text));
    }
}

TEST(NewsText, PageWithoutHeadingsIsLeftAlone)
{
    auto text = document("<html><body><p>Nothing yet.</p><p>Come back for news</p></body></html>");
    const QString before = text->toPlainText();
    EXPECT_FALSE(handleNewsText(text.get(), 0, kToday));
    EXPECT_EQ(text->toPlainText(), before);
}

TEST(NewsText, FooterWordInsideTheOnlyLineKeepsIt)
{
    auto text = document("<p>2/1/2026: Big news</p>\n<p>\n</p>");
    EXPECT_EQ(handleNewsText(text.get(), 0, kToday), 20260201);
    EXPECT_EQ(text->toPlainText(), QStringLiteral("2/1/2026: Big news"));
}

TEST(NewsDocument, NeverLoadsFilesThePageNames)
{
    const QString picture = tj::test::freshFolder() + QStringLiteral("/secret.png");
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(picture));
    const QByteArray page = "<p>1/2/2024: look <img src=\"" + QUrl::fromLocalFile(picture).toEncoded() + "\"></p>";

    QTextDocument plain;
    plain.setHtml(QString::fromUtf8(page));
    plain.size();
    ASSERT_TRUE(plain.resource(QTextDocument::ImageResource, QUrl::fromLocalFile(picture)).isValid())
        << "an ordinary document reads the file, so this test can tell";

    auto news = document(page);
    news->size();
    EXPECT_FALSE(news->resource(QTextDocument::ImageResource, QUrl::fromLocalFile(picture)).isValid());
}

TEST(NewsDate, Text)
{
    const std::pair<int32_t, const char *> dates[] = {
        {20240314, "March 14, 2024"}, {20240105, "January 5, 2024"}, {20231231, "December 31, 2023"},
        {0, ""}, {20241301, " 1, 2024"}, {20240001, " 1, 2024"}};
    for (const auto &[date, text] : dates)
        EXPECT_EQ(NewsDateText(date), QLatin1String(text)) << date;
}
