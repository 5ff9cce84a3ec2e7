#include "support/cc_xml_encoder.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

const QString kDeclaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");

QString body(const CCXmlEncoder &encoder)
{
    EXPECT_TRUE(encoder.xml().startsWith(kDeclaration));
    return encoder.xml().mid(kDeclaration.size());
}

}

TEST(XmlEncoder, IndentsChildrenJoinsChildlessElementsAndWritesAttributes)
{
    CCXmlEncoder encoder;
    EXPECT_TRUE(encoder.isEmpty());
    encoder.addAttribute(QStringLiteral("ver"), 1);
    encoder.openTag(QStringLiteral("a"));
    EXPECT_FALSE(encoder.isEmpty());
    encoder.addTag(QStringLiteral("size"), 5);
    encoder.openTag(QStringLiteral("b"));
    encoder.openTag(QStringLiteral("c"));
    encoder.closeTag(QStringLiteral("c"));
    encoder.addTag(QStringLiteral("d"), QStringLiteral("x"));
    encoder.closeTag(QStringLiteral("b"));
    encoder.addAttribute(QStringLiteral("id"), -1);
    encoder.addAttribute(QStringLiteral("note"), QString());
    encoder.addAttribute(QStringLiteral("bnd"), 3);
    encoder.addAttribute(QString(), QStringLiteral("ignored"));
    encoder.addAttribute(QStringLiteral("knob"), 1);
    encoder.openAndCloseTag(QStringLiteral("x"));
    encoder.openTag(QStringLiteral("e"));
    encoder.closeTag(QStringLiteral("e"));
    encoder.addTag(QStringLiteral("empty"), QString());
    encoder.addTag(QStringLiteral("blank"), QStringLiteral(""));
    encoder.addTag(QString(), QStringLiteral("nameless"));
    encoder.closeTag(QStringLiteral("a"));
    EXPECT_EQ(body(encoder),
              QStringLiteral("<a ver=\"1\">\n"
                             "\t<size>5</size>\n"
                             "\t<b>\n"
                             "\t\t<c></c>\n"
                             "\t\t<d>x</d>\n"
                             "\t</b>\n"
                             "\t<x id=\"-1\" bnd=\"3\" knob=\"1\"/>\n"
                             "\t<e></e>\n"
                             "\t<empty/>\n"
                             "\t<blank/>\n"
                             "</a>\n"));
    EXPECT_EQ(encoder.level(), 0);
}

TEST(XmlEncoder, EscapesMarkupAndBlanksControlCharacters)
{
    CCXmlEncoder encoder;
    encoder.addAttribute(QStringLiteral("t"), QStringLiteral("\"q\" & <a>"));
    encoder.addTag(QStringLiteral("s"), QStringLiteral("a<b & \"c\" 'd'> \u0001x\ty\nz\rw\u007f\u0085"));
    EXPECT_EQ(body(encoder),
              QStringLiteral("<s t=\"&quot;q&quot; &amp; &lt;a&gt;\">"
                             "a&lt;b &amp; &quot;c&quot; 'd'&gt;  x\ty\nz\rw  </s>\n"));
}

TEST(XmlEncoder, SvgModeHasNoDeclarationAndOneNamespace)
{
    auto encoder = CCXmlEncoder::initForSvg();
    EXPECT_TRUE(encoder->xml().isEmpty());
    encoder->addAttribute(QStringLiteral("width"), 10);
    encoder->openTag(QStringLiteral("svg"));
    encoder->openTag(QStringLiteral("g"));
    encoder->addAttribute(QStringLiteral("d"), QStringLiteral("M0 0"));
    encoder->openAndCloseTag(QStringLiteral("path"));
    encoder->closeTag(QStringLiteral("g"));
    encoder->closeTag(QStringLiteral("svg"));
    EXPECT_EQ(encoder->xml(),
              QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\">\n"
                             "\t<g>\n"
                             "\t\t<path d=\"M0 0\"/>\n"
                             "\t</g>\n"
                             "</svg>\n"));
    EXPECT_EQ(encoder->xml().count(QStringLiteral("xmlns")), 1);
}

TEST(XmlEncoder, InsertionGoesToTheSavedPointAtItsLevel)
{
    CCXmlEncoder encoder;
    encoder.openTag(QStringLiteral("root"));
    encoder.addTag(QStringLiteral("first"), 1);
    encoder.saveInsertionPoint();
    encoder.openTag(QStringLiteral("list"));
    // Right after an opening tag, which closing joins onto its line.
    encoder.saveInsertionPoint();
    encoder.closeTag(QStringLiteral("list"));
    encoder.beginInsertion();
    EXPECT_EQ(encoder.level(), 2);
    encoder.addTag(QStringLiteral("item"), 2);
    encoder.endInsertion();
    EXPECT_EQ(encoder.level(), 1);
    encoder.beginInsertion();
    EXPECT_EQ(encoder.level(), 1);
    encoder.addTag(QStringLiteral("count"), 1);
    encoder.endInsertion();
    encoder.closeTag(QStringLiteral("root"));
    EXPECT_EQ(body(encoder),
              QStringLiteral("<root>\n"
                             "\t<first>1</first>\n"
                             "\t<count>1</count>\n"
                             "\t<list>\n"
                             "\t\t<item>2</item>\n"
                             "\t</list>\n"
                             "</root>\n"));
}

TEST(XmlEncoder, InsertionPointsNestAndCancel)
{
    CCXmlEncoder encoder;
    encoder.openTag(QStringLiteral("r"));
    encoder.saveInsertionPoint();
    encoder.addTag(QStringLiteral("b"), 2);
    encoder.saveInsertionPoint();
    encoder.addTag(QStringLiteral("d"), 4);
    encoder.saveInsertionPoint();
    encoder.cancelInsertion();
    encoder.beginInsertion();
    encoder.beginInsertion(); // already inserting: ignored
    encoder.addTag(QStringLiteral("c"), 3);
    encoder.endInsertion();
    encoder.endInsertion(); // nothing active: ignored
    encoder.beginInsertion();
    encoder.addTag(QStringLiteral("a"), 1);
    encoder.endInsertion();
    encoder.cancelInsertion(); // empty stack: ignored
    encoder.closeTag(QStringLiteral("r"));
    EXPECT_EQ(body(encoder),
              QStringLiteral("<r>\n"
                             "\t<a>1</a>\n"
                             "\t<b>2</b>\n"
                             "\t<c>3</c>\n"
                             "\t<d>4</d>\n"
                             "</r>\n"));
}
