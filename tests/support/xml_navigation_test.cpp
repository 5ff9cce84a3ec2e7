#include "support/cc_xml_decoder.h"

#include "support_fixtures.h"

#include <gtest/gtest.h>

using tj::test::stepText;

namespace {

const QString kHead = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");

const QString kPieces = kHead
    + QStringLiteral("<jigsaw>\n"
                     "\t<pcs>\n"
                     "\t\t<pc id=\"0\">\n"
                     "\t\t\t<xs>\n"
                     "\t\t\t\t<x id=\"-1\" bnd=\"3\" knob=\"0\"/>\n"
                     "\t\t\t</xs>\n"
                     "\t\t\t<pc>nested</pc>\n"
                     "\t\t</pc>\n"
                     "\t\t<pc id=\"1\">\n"
                     "\t\t\t<coord>{1, 0}</coord>\n"
                     "\t\t</pc>\n"
                     "\t</pcs>\n"
                     "</jigsaw>\n");

std::unique_ptr<CCXmlDecoder> readUntil(const QString &document, const QString &tag)
{
    auto decoder = CCXmlDecoder::initWithString(document);
    EXPECT_TRUE(decoder);
    while (decoder->getNextTag()) {
        if (decoder->xmlTag() == tag && decoder->startTag())
            return decoder;
    }
    ADD_FAILURE() << "no " << qPrintable(tag);
    return decoder;
}

// The next step as text, or "end" when there is none.
QString nextStep(CCXmlDecoder &decoder)
{
    return decoder.getNextTag() ? stepText(decoder) : QStringLiteral("end");
}

}

TEST(XmlNavigation, SkipTagLandsOnItsOwnClosingTagAndUnskipReturns)
{
    auto decoder = readUntil(kPieces, QStringLiteral("pc"));
    ASSERT_EQ(stepText(*decoder), QStringLiteral("pc<3"));
    const CCXmlBookmark bookmark = decoder->skipTag();
    EXPECT_EQ(stepText(*decoder), QStringLiteral("pc/2"));
    EXPECT_EQ(nextStep(*decoder), QStringLiteral("pc<3")) << "the sibling is not skipped";
    EXPECT_EQ(decoder->integerAttributeForTag(QStringLiteral("id")), 1);

    decoder->unskipTag(bookmark);
    EXPECT_EQ(decoder->level(), 3);
    EXPECT_EQ(nextStep(*decoder), QStringLiteral("xs<4"));

    // On a leaf skipping does nothing.
    auto leaf = readUntil(kPieces, QStringLiteral("x"));
    const qsizetype at = leaf->charIndex();
    leaf->skipTag();
    EXPECT_EQ(leaf->charIndex(), at);
    EXPECT_EQ(nextStep(*leaf), QStringLiteral("xs/3"));

    // Without a closing tag skipping ends the document, without an error.
    auto unclosed = readUntil(kHead + QStringLiteral("<r>\n<a>\n<b>1</b>\n"), QStringLiteral("a"));
    unclosed->skipTag();
    EXPECT_TRUE(unclosed->isDone());
    EXPECT_EQ(nextStep(*unclosed), QStringLiteral("end"));
    EXPECT_TRUE(unclosed->error().isEmpty());
}

TEST(XmlNavigation, SkipToTagJumpsToAPlainOpeningTag)
{
    auto decoder = CCXmlDecoder::initWithString(kPieces);
    ASSERT_TRUE(decoder->skipToTag(QStringLiteral("xs")));
    EXPECT_EQ(stepText(*decoder), QStringLiteral("xs<2"));
    EXPECT_EQ(nextStep(*decoder), QStringLiteral("x</2"));
    EXPECT_EQ(decoder->integerAttributeForTag(QStringLiteral("bnd")), 3);

    const qsizetype at = decoder->charIndex();
    EXPECT_FALSE(decoder->skipToTag(QStringLiteral("xs"))) << "only after the read position";
    EXPECT_FALSE(decoder->skipToTag(QStringLiteral("absent")));
    EXPECT_EQ(decoder->charIndex(), at);
    EXPECT_EQ(decoder->xmlTag(), QStringLiteral("x"));
}

TEST(XmlNavigation, FollowingTagLooksAheadWithoutMoving)
{
    auto decoder = readUntil(kPieces, QStringLiteral("xs"));
    const qsizetype at = decoder->charIndex();
    const auto following = decoder->followingTagWithAttributes();
    ASSERT_TRUE(following);
    EXPECT_EQ(following->tag, QStringLiteral("x"));
    EXPECT_EQ(following->attributes.value(QStringLiteral("knob")), QStringLiteral("0"));
    EXPECT_EQ(stepText(*decoder), QStringLiteral("xs<4"));
    EXPECT_EQ(decoder->charIndex(), at);
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->xmlTag(), following->tag);
    EXPECT_EQ(decoder->attributes(), following->attributes);

    auto broken = readUntil(kHead + QStringLiteral("<r>\n<a>1</a>\n?bad\n</r>"), QStringLiteral("a"));
    EXPECT_FALSE(broken->followingTagWithAttributes());
    EXPECT_TRUE(broken->error().isEmpty()) << "a failed look-ahead leaves no error behind";
    EXPECT_EQ(broken->xmlTag(), QStringLiteral("a"));

    auto ended = readUntil(kHead + QStringLiteral("<r/>"), QStringLiteral("r"));
    EXPECT_FALSE(ended->followingTagWithAttributes());
}

TEST(XmlNavigation, ExtractTagReturnsTheRawElement)
{
    auto decoder = readUntil(kPieces, QStringLiteral("pc"));
    const QString raw = decoder->extractTag();
    EXPECT_TRUE(raw.startsWith(QStringLiteral("<pc id=\"0\">"))) << qPrintable(raw);
    EXPECT_TRUE(raw.endsWith(QStringLiteral("<pc>nested</pc>\n\t\t</pc>"))) << qPrintable(raw);
    EXPECT_EQ(decoder->level(), 2);
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->integerAttributeForTag(QStringLiteral("id")), 1);

    auto leaf = readUntil(kPieces, QStringLiteral("coord"));
    EXPECT_EQ(leaf->extractTag(), QStringLiteral("<coord>{1, 0}</coord>"));
    EXPECT_EQ(leaf->level(), 3);

    auto open = readUntil(kHead + QStringLiteral("<r><a>text<b/>"), QStringLiteral("a"));
    EXPECT_TRUE(open->extractTag().isEmpty());
    EXPECT_EQ(open->level(), 2);
}

TEST(XmlNavigation, CoalesceJoinsMixedContent)
{
    auto decoder = readUntil(kHead
                                 + QStringLiteral("<doc><p class=\"x\">Hello <b>world</b>again &amp; "
                                                  "<i>more<u>!</u></i><![CDATA[<raw>]]></p><next/></doc>"),
                             QStringLiteral("p"));
    ASSERT_TRUE(decoder->coalesceMixedContent());
    EXPECT_EQ(decoder->value(), QStringLiteral("Hello world again & more ! <raw>"));
    EXPECT_EQ(stepText(*decoder), QStringLiteral("p</1"));
    EXPECT_EQ(decoder->stringAttributeForTag(QStringLiteral("class")), QStringLiteral("x"));
    EXPECT_EQ(nextStep(*decoder), QStringLiteral("next</1"));
    EXPECT_EQ(nextStep(*decoder), QStringLiteral("doc/0"));

    auto stray = CCXmlDecoder::initWithString(kHead + QStringLiteral("<doc>a<b/>loose text</doc>"));
    ASSERT_TRUE(stray->getNextTag());
    ASSERT_TRUE(stray->getNextTag());
    EXPECT_FALSE(stray->getNextTag()) << "text between tags is only read while coalescing";
    EXPECT_FALSE(stray->error().isEmpty());
}

TEST(XmlNavigation, SvgModeKeepsAttributeOrderAndDropsLeadingSpace)
{
    auto decoder = CCXmlDecoder::initWithString(QStringLiteral(
        "<!-- drawing -->\n<svg width=\"20\" height=\"10\">\n\t<text z=\"1\" a=\"2\">  hi</text>\n</svg>"));
    ASSERT_TRUE(decoder);
    EXPECT_TRUE(decoder->isSvg());
    EXPECT_EQ(decoder->xmlTag(), QStringLiteral("svg"));
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->xmlTag(), QStringLiteral("svg"));
    EXPECT_EQ(decoder->orderedAttributes().join(QLatin1Char(' ')), QStringLiteral("width 20 height 10"));
    ASSERT_TRUE(decoder->getNextTag());
    EXPECT_EQ(decoder->value(), QStringLiteral("hi"));
    EXPECT_EQ(decoder->orderedAttributes().join(QLatin1Char(' ')), QStringLiteral("z 1 a 2"));

    auto declared = CCXmlDecoder::initWithString(kHead + QStringLiteral("<svg><t> x</t></svg>"));
    ASSERT_FALSE(declared->isSvg());
    ASSERT_TRUE(declared->getNextTag());
    EXPECT_TRUE(declared->isSvg()) << "an svg root switches the mode on";
    ASSERT_TRUE(declared->getNextTag());
    EXPECT_EQ(declared->value(), QStringLiteral("x"));
}
