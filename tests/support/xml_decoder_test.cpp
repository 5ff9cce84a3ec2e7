#include "support/cc_xml_decoder.h"

#include "support_fixtures.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

const QString kHead = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");

std::unique_ptr<CCXmlDecoder> reader(const QString &bodyText)
{
    auto decoder = CCXmlDecoder::initWithString(kHead + bodyText);
    EXPECT_TRUE(decoder);
    return decoder;
}

QString offsetError(const QString &document, const QString &at)
{
    const qsizetype offset = document.indexOf(at);
    EXPECT_GE(offset, 0);
    return QStringLiteral("this is not a valid XML file (offset 0x%1)").arg(offset, 0, 16);
}

// Reads to the end and returns the error, if any.
QString finalError(CCXmlDecoder &decoder)
{
    int guard = 0;
    while (decoder.getNextTag() && ++guard < 10000) {
    }
    return decoder.error();
}

// Reads to the end: each step as its stepText, '=' and its value, separated by '|'.
QString stepsAndValues(CCXmlDecoder &decoder)
{
    QStringList steps;
    while (decoder.getNextTag() && steps.size() < 10000)
        steps << tj::test::stepText(decoder) + QLatin1Char('=') + decoder.value();
    return steps.join(QLatin1Char('|'));
}

class XmlDecoder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CCXmlDecoder::setGlobalKeyDecoder({{QStringLiteral("jigsaw"), 23},
                                           {QStringLiteral("size"), 27},
                                           {QStringLiteral("pc"), 17},
                                           {QStringLiteral("x"), 5}});
    }
    void TearDown() override { CCXmlDecoder::setGlobalKeyDecoder({}); }
};

}

TEST_F(XmlDecoder, LeafIsOneStepAndLevelsFollowNesting)
{
    auto decoder =
        reader(QStringLiteral("<jigsaw>\n\t<size>5</size>\n\t<pc id=\"3\">\n\t\t<x/>\n\t</pc>\n</jigsaw>\n"));
    EXPECT_TRUE(decoder->isDone());
    // Key, opening tag, closed, level and value of each step: an open element's value is the
    // blank space before its first child.
    const std::vector<std::tuple<int, bool, bool, int, QString>> expected = {
        {23, true, false, 1, QStringLiteral("\n\t")},
        {27, true, true, 1, QStringLiteral("5")},
        {17, true, false, 2, QStringLiteral("\n\t\t")},
        {5, true, true, 2, QString()},
        {17, false, true, 1, QString()},
        {23, false, true, 0, QString()},
    };
    for (const auto &step : expected) {
        ASSERT_TRUE(decoder->getNextTag());
        EXPECT_EQ(
            std::tuple(decoder->key(), decoder->startTag(), decoder->endTag(), decoder->level(), decoder->value()),
            step)
            << qPrintable(decoder->xmlTag());
        EXPECT_EQ(decoder->tagHasAttributes(), decoder->key() == 17 && decoder->startTag());
    }
    EXPECT_FALSE(decoder->getNextTag());
    EXPECT_TRUE(decoder->isDone());
    EXPECT_TRUE(decoder->error().isEmpty());
}

TEST_F(XmlDecoder, EmptyElementsHaveNoValue)
{
    auto decoder = reader(QStringLiteral("<r><a/><b></b><c  /><d>  </d></r>"));
    EXPECT_EQ(stepsAndValues(*decoder), QStringLiteral("r<1=|a</1=|b</1=|c</1=|d</1=  |r/0="));
}

TEST_F(XmlDecoder, KeyTablesClassWideAndPerReader)
{
    auto decoder = reader(QStringLiteral("<jigsaw><Size>1</Size><size>2</size></jigsaw>"));
    CCXmlDecoder::addDecoderKey(99, QStringLiteral("extra"));
    EXPECT_EQ(CCXmlDecoder::globalKeyDecoder().value(QStringLiteral("extra")), 99);
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->key(), 23);
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->key(), 0); // lookups are case-sensitive

    decoder->setKeyDecoder({{QStringLiteral("size"), 4}});
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->key(), 4);
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->key(), 0);
}

TEST_F(XmlDecoder, CommentsAndDeclarationsAreSkipped)
{
    const QString document = QStringLiteral("  <!-- made by hand -->\n<!DOCTYPE r [<!ENTITY e \"v\">]>") + kHead
        + QStringLiteral("<!-- a -->\n<r>\n<!-- b --><a>1</a><!-- c -->\n</r>");
    auto decoder = CCXmlDecoder::initWithString(document);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(stepsAndValues(*decoder), QStringLiteral("r<1=\n|a</1=1|r/0="));
    EXPECT_TRUE(decoder->error().isEmpty());
}

TEST_F(XmlDecoder, StrayTextAndBadSyntaxFailAtTheirOffset)
{
    // Each document fails where its marker text begins.
    const std::vector<std::pair<const char *, const char *>> cases = {
        {"<r>\n\t<a>1</a>\n\tjunk\n\t<b>2</b>\n</r>", "junk"},
        {"<r><a id = \"1\"/></r>", " = "},
        {"<r><a id=1 k=\"2\"/></r>", "1 k"},
        {"<r><a id=\"1/></r>", "\"1/"},
        {"<r><1a/></r>", "1a"},
        {"<r><a #/></r>", "#"},
        {"<r><a b=\"1\" / ></r>", "/ >"},
        {"<r><!-- open </r>", "<!-- open"},
        {"<r><!DOCTYPE <unclosed> </r>", "<!DOCTYPE"},
        {"<r><>x</></r>", ">x"},
    };
    for (const auto &[bodyText, marker] : cases) {
        const QString document = kHead + QLatin1String(bodyText);
        auto decoder = CCXmlDecoder::initWithString(document);
        ASSERT_TRUE(decoder);
        EXPECT_EQ(finalError(*decoder), offsetError(document, QLatin1String(marker))) << bodyText;
        EXPECT_TRUE(decoder->isDone());
        EXPECT_FALSE(decoder->getNextTag());
        EXPECT_EQ(decoder->error(), offsetError(document, QLatin1String(marker))) << "the first error stays";
    }
    // A declaration without its end fails at the start.
    auto decoder = CCXmlDecoder::initWithString(QStringLiteral("<?xml version=\"1.0\" <r/>"));
    ASSERT_TRUE(decoder);
    EXPECT_FALSE(decoder->getNextTag());
    EXPECT_EQ(decoder->error(), QStringLiteral("this is not a valid XML file (offset 0x0)"));
}

TEST_F(XmlDecoder, TooDeepNestingIsRefused)
{
    QString deep;
    for (int i = 0; i <= CCXmlDecoder::kMaxLevel; ++i)
        deep += QStringLiteral("<a>");
    auto decoder = reader(deep + QStringLiteral("x"));
    int steps = 0;
    while (decoder->getNextTag())
        ++steps;
    EXPECT_EQ(steps, CCXmlDecoder::kMaxLevel);
    EXPECT_TRUE(decoder->error().startsWith(QStringLiteral("this is not a valid XML file")));
}

TEST_F(XmlDecoder, CdataIsLiteral)
{
    auto decoder = reader(QStringLiteral("<r><a>x<![CDATA[<b>&amp;</b>]]>y&amp;</a><c><![CDATA[]]></c></r>"));
    EXPECT_EQ(stepsAndValues(*decoder), QStringLiteral("r<1=|a</1=x<b>&amp;</b>y&|c</1=|r/0="));

    const QString broken = kHead + QStringLiteral("<r><a><![CDATA[never closed</a></r>");
    decoder = CCXmlDecoder::initWithString(broken);
    EXPECT_EQ(finalError(*decoder),
              QStringLiteral("malformed CDATA at offset 0x%1").arg(broken.indexOf(QStringLiteral("<![CDATA[")), 0, 16));
}

TEST_F(XmlDecoder, AttributesDecodedAndLooked)
{
    auto decoder = reader(QStringLiteral("<a one='1' two=\"&lt;&#65;&quot;\" empty=\"\" n=\"-12x\" one=\"7\" "
                                         "word=\"PLAIN\"/>"));
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_TRUE(decoder->tagHasAttributes());
    EXPECT_EQ(decoder->integerAttributeForTag(QStringLiteral("one")), 7) << "a repeated name keeps the last";
    EXPECT_EQ(decoder->stringAttributeForTag(QStringLiteral("two")), QStringLiteral("<A\""));
    EXPECT_EQ(decoder->stringAttributeForTag(QStringLiteral("empty")), QString());
    EXPECT_EQ(decoder->stringAttributeForTag(QStringLiteral("missing")), std::nullopt);
    EXPECT_EQ(decoder->integerAttributeForTag(QStringLiteral("missing")), 0);
    EXPECT_EQ(decoder->integerAttributeForTag(QStringLiteral("n")), -12);
    EXPECT_TRUE(decoder->orderedAttributes().isEmpty()) << "only kept in SVG mode";
    const QStringList words = {QStringLiteral("none"), QStringLiteral("plain"), QStringLiteral("plain")};
    EXPECT_EQ(decoder->decodeAttribute(QStringLiteral("word"), words), 1);
    EXPECT_EQ(decoder->decodeAttribute(QStringLiteral("missing"), words), 0);
    EXPECT_EQ(decoder->decodeAttribute(QStringLiteral("word"), {}), 0);
}

TEST_F(XmlDecoder, SpacedAttributeNamesAndNumericTagsOnlyWhenAllowed)
{
    const QString document = kHead + QStringLiteral("<r><a my name=\"v\"/><1a>4</1a></r>");
    auto strict = CCXmlDecoder::initWithString(document);
    EXPECT_FALSE(finalError(*strict).isEmpty());
    auto loose = CCXmlDecoder::initWithString(document);
    loose->setAllowSpaceInAttr(true);
    loose->setAllowNumericTags(true);
    ASSERT_TRUE(loose->getNextTag());
    ASSERT_TRUE(loose->getNextTag());
    EXPECT_EQ(loose->stringAttributeForTag(QStringLiteral("my name")), QStringLiteral("v"));
    ASSERT_TRUE(loose->getNextTag());
    EXPECT_EQ(loose->xmlTag(), QStringLiteral("1a"));
    EXPECT_EQ(loose->integerValue(), 4);
    EXPECT_TRUE(loose->endTag());
}

TEST_F(XmlDecoder, IntegerValuesAreLenientAndSaturate)
{
    const std::vector<std::tuple<const char *, int, qint64>> cases = {
        {"  42", 42, 42},
        {"\n\t-17 apples", -17, -17},
        {"abc", 0, 0},
        {"- 3", 0, 0},
        {"2147483648", 2147483647, 2147483648LL},
        {"500000000000", 2147483647, 500000000000LL},
        {"99999999999999999999999", 2147483647, std::numeric_limits<qint64>::max()},
        {"-9223372036854775808", -2147483647 - 1, std::numeric_limits<qint64>::min()},
    };
    for (const auto &[text, asInt, asLong] : cases) {
        auto decoder = reader(QStringLiteral("<v>%1</v>").arg(QLatin1String(text)));
        ASSERT_TRUE(decoder->getNextTag());
        EXPECT_EQ(decoder->integerValue(), asInt) << text;
        EXPECT_EQ(decoder->longValue(), asLong) << text;
    }
}

TEST_F(XmlDecoder, ValueLookups)
{
    auto decoder = reader(QStringLiteral("<r><v>size</v><w>Medium</w><e></e></r>"));
    const QStringList sizes = {QStringLiteral("small"), QStringLiteral("medium"), QStringLiteral("large")};
    ASSERT_TRUE(decoder->getNextTag());
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->decodeValue(), 27);
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->decodeValue(), 0);
    EXPECT_EQ(decoder->decodeValueFromValues(sizes), 1);
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->decodeValueFromValues(sizes), 0);
    EXPECT_EQ(CCXmlDecoder::decodeValue(QStringLiteral("LARGE"), sizes), 2);
    EXPECT_EQ(CCXmlDecoder::decodeValue(QStringLiteral("huge"), sizes), 0);
}

TEST(XmlDecoderEscapes, References)
{
    const std::vector<std::pair<const char *, const char *>> cases = {
        {"&#65;", "A"},
        {"&#x41;", "A"},
        {"&#x41 b", "Ab"},
        {"&#65 b", "Ab"},
        {"a&nbsp;b", "a b"},
        {"&quot;&lt;&gt;&apos;&amp;", "\"<>'&"},
        {"x&unknown;y", "xy"},
        {"&#38;lt;", "<"},
        {"&amp;lt;", "&lt;"},
        {"&#x41", "41"},
        {"&#", ""},
        {"&#xZZ;", ""},
        {"&#xZZ", "&#xZZ"},
        {"&#;", ""},
        {"AT&T", "AT&T"},
        {"a & b; c", "a & b; c"},
        {"&averyveryverylong;", "&averyveryverylong;"},
        {"&abcdefghijkl;", ""},
        {"&#x1F600;", "\U0001F600"},
        {"&#x110000;", "\uFFFD"},
        {"&#99999999999999999999;", "\uFFFD"},
        {"plain text", "plain text"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(CCXmlDecoder::decodeEscapes(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}

TEST(XmlDecoderInit, AcceptsOnlyDocuments)
{
    for (const QString &text :
         {QString(), QStringLiteral("   \n"), QStringLiteral("hello"), QStringLiteral("<html></html>"),
          QStringLiteral("<!-- only a comment -->"), QStringLiteral("<!-- unclosed <?xml?>")})
        EXPECT_FALSE(CCXmlDecoder::initWithString(text)) << qPrintable(text);
    EXPECT_TRUE(CCXmlDecoder::initWithString(QStringLiteral("\uFEFF <?xml?><r/>")));
    EXPECT_TRUE(CCXmlDecoder::initWithStringOrData(QStringLiteral("<svg/>")));
    EXPECT_TRUE(CCXmlDecoder::initWithStringOrData(QByteArray("<?xml?><r>\xc3\xa9</r>")));
    EXPECT_FALSE(CCXmlDecoder::initWithStringOrData(QByteArray("<?xml?><r>\xc3</r>")));
    EXPECT_FALSE(CCXmlDecoder::initWithStringOrData(QByteArray("<?xml?><r/>\xe2\x82")));
}

TEST(XmlDecoderInit, DoneBeforeTheFirstStepAndAfterForceDone)
{
    auto decoder = CCXmlDecoder::initWithString(kHead + QStringLiteral("<r><a/><b/></r>"));
    EXPECT_TRUE(decoder->isDone());
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_FALSE(decoder->isDone());
    decoder->forceDone();
    EXPECT_TRUE(decoder->isDone());
    EXPECT_FALSE(decoder->getNextTag());
    EXPECT_TRUE(decoder->error().isEmpty());

    auto unread = CCXmlDecoder::initWithString(kHead + QStringLiteral("<r/>"));
    unread->forceDone();
    EXPECT_FALSE(unread->getNextTag());
}

TEST(XmlDecoderFile, ReadsUtf8FilesAndReportsFailures)
{
    const QString folder = tj::test::freshFolder() + QLatin1Char('/');
    tj::test::writeFile(folder + QStringLiteral("pièce ✓.xml"), "\xef\xbb\xbf<?xml?>\n<r>d\xc3\xa9j\xc3\xa0</r>\n");
    tj::test::writeFile(folder + QStringLiteral("latin1.xml"), "<?xml?><r>\xe9</r>");
    tj::test::writeFile(folder + QStringLiteral("notes.txt"), "just words");
    tj::test::writeFile(folder + QStringLiteral("empty.xml"), QByteArray());
    QString error;
    auto decoder = CCXmlDecoder::initWithFile(folder + QStringLiteral("pièce ✓.xml"), &error);
    ASSERT_TRUE(decoder);
    EXPECT_TRUE(error.isEmpty());
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->value(), QStringLiteral("déjà"));

    // Only a readable file that isn't XML gets the format message; the others say what went wrong.
    const QString formatMessage = QStringLiteral("I don't understand the file format");
    for (const char *name : {"missing.xml", "", "latin1.xml", "notes.txt"}) {
        error.clear();
        EXPECT_FALSE(CCXmlDecoder::initWithFile(folder + QLatin1String(name), &error)) << name;
        EXPECT_FALSE(error.isEmpty()) << name;
        EXPECT_EQ(error == formatMessage, name == std::string("notes.txt")) << name;
    }
    error = QStringLiteral("earlier problem");
    EXPECT_FALSE(CCXmlDecoder::initWithFile(folder + QStringLiteral("notes.txt"), &error));
    EXPECT_EQ(error, QStringLiteral("earlier problem"));
    EXPECT_FALSE(CCXmlDecoder::initWithFile(folder + QStringLiteral("notes.txt")));
    EXPECT_FALSE(CCXmlDecoder::initWithFile(folder + QStringLiteral("empty.xml")));
}
