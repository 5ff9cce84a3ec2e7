#include "support/cc_xml_decoder.h"
#include "support/cc_xml_encoder.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct Node
{
    QString name;
    CCXmlAttributes attributes;
    QString text;
    std::vector<Node> children;
};

const QStringList kNames = {QStringLiteral("jigsaw"), QStringLiteral("pcs"),    QStringLiteral("pc"),
                            QStringLiteral("x"),      QStringLiteral("rect"),   QStringLiteral("coord"),
                            QStringLiteral("stray"),  QStringLiteral("Other_1"), QStringLiteral("ns:tag"),
                            QStringLiteral("dot.name"), QStringLiteral("d-ash"), QStringLiteral("_lead")};
const QStringList kAttributeNames = {QStringLiteral("id"),  QStringLiteral("bnd"),   QStringLiteral("knob"),
                                     QStringLiteral("ver"), QStringLiteral("title"), QStringLiteral("x-y"),
                                     QStringLiteral("ns:a"), QStringLiteral("u_2")};

// Only some names are in the table, so unknown names (key 0) are covered too.
CCXmlKeyTable keyTable()
{
    CCXmlKeyTable table;
    for (int i = 0; i < 6; ++i)
        table.insert(kNames.at(i), i + 1);
    return table;
}

// Samples of every kind of character a text may hold.
const QStringList kPieces = {
    QStringLiteral("a"), QStringLiteral("Z9"), QStringLiteral(" "), QStringLiteral("\t"), QStringLiteral("\n"),
    QStringLiteral("\r\n"), QStringLiteral("&"), QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("\""),
    QStringLiteral("'"), QStringLiteral("&amp;"), QStringLiteral("&#65;"), QStringLiteral("&#x41 "),
    QStringLiteral("&nbsp;"), QStringLiteral("]]>"), QStringLiteral("<![CDATA["), QStringLiteral("<!--"),
    QStringLiteral("?>"), QStringLiteral("</pc>"), QStringLiteral("é"), QStringLiteral("中文"),
    QStringLiteral("\u00a0"), QStringLiteral("\ufeff"), QStringLiteral("\u2028"), QStringLiteral("\ufffd"),
    QStringLiteral("\uffff"), QStringLiteral("\U0001F600"), QString(QChar(0xD83D)), QString(QChar(0xDE00)),
    QString(QChar(0)), QString(QChar(1)), QString(QChar(0x1F)), QString(QChar(0x7F)), QString(QChar(0x85)),
    QString(QChar(0x9F))};

QString randomText(std::mt19937 &random)
{
    QString text;
    const int pieces = std::uniform_int_distribution<int>(0, 8)(random);
    for (int i = 0; i < pieces; ++i)
        text += kPieces.at(std::uniform_int_distribution<qsizetype>(0, kPieces.size() - 1)(random));
    return text;
}

// What a text should read back as: XML has no room for control characters other
// than tab, line feed and carriage return, and UTF-8 none for unpaired surrogates.
QString survivingText(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate()) {
            out += QChar(QChar::ReplacementCharacter);
        } else if (c.category() == QChar::Other_Control && c != u'\t' && c != u'\n' && c != u'\r') {
            out += u' ';
        } else {
            out += c;
        }
    }
    return out;
}

// Writes a random element and returns what reading it back should give.
Node writeRandom(CCXmlEncoder &encoder, std::mt19937 &random, int depth)
{
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    Node node;
    node.name = kNames.at(depth == 0 ? 0 : pick(int(kNames.size())));
    QStringList names = kAttributeNames;
    std::shuffle(names.begin(), names.end(), random);
    const int attributeCount = pick(4);
    for (int i = 0; i < attributeCount; ++i) {
        if (pick(3) == 0) {
            const int number = int(random());
            encoder.addAttribute(names.at(i), number);
            node.attributes.insert(names.at(i), QString::number(number));
        } else {
            const QString text = randomText(random);
            encoder.addAttribute(names.at(i), text);
            if (!text.isEmpty())
                node.attributes.insert(names.at(i), survivingText(text));
        }
    }
    const int kind = depth == 0 ? 4 : pick(depth > 4 ? 4 : 6);
    switch (kind) {
    case 0:
    case 1: {
        const QString text = randomText(random);
        encoder.addTag(node.name, text);
        node.text = survivingText(text);
        break;
    }
    case 2: {
        const qint64 number = ((qint64(random()) << 31) ^ qint64(random())) * (pick(2) ? 1 : -1);
        encoder.addTag(node.name, number);
        node.text = QString::number(number);
        break;
    }
    case 3:
        encoder.openAndCloseTag(node.name);
        break;
    default: {
        encoder.openTag(node.name);
        const int childCount = pick(5);
        for (int i = 0; i < childCount; ++i)
            node.children.push_back(writeRandom(encoder, random, depth + 1));
        encoder.closeTag(node.name);
        break;
    }
    }
    return node;
}

// Rebuilds the element tree from the reader's steps, checking keys and levels on the way.
std::vector<Node> readTree(CCXmlDecoder &decoder, const CCXmlKeyTable &table)
{
    Node top;
    std::vector<Node *> open = {&top};
    while (decoder.getNextTag()) {
        EXPECT_EQ(decoder.key(), table.value(decoder.xmlTag(), 0)) << qPrintable(decoder.xmlTag());
        if (!decoder.startTag()) {
            EXPECT_GT(open.size(), 1u);
            if (open.size() <= 1)
                break;
            EXPECT_EQ(open.back()->name, decoder.xmlTag());
            open.pop_back();
        } else {
            Node node{decoder.xmlTag(), decoder.attributes(), QString(), {}};
            if (decoder.endTag())
                node.text = decoder.value();
            open.back()->children.push_back(node);
            if (!decoder.endTag())
                open.push_back(&open.back()->children.back());
        }
        EXPECT_EQ(decoder.level(), int(open.size()) - 1);
    }
    EXPECT_EQ(decoder.error(), QString());
    EXPECT_EQ(open.size(), 1u);
    return top.children;
}

void expectSameTree(const Node &expected, const Node &actual, const QString &path)
{
    const QString here = path + QLatin1Char('/') + expected.name;
    EXPECT_EQ(actual.name, expected.name) << qPrintable(here);
    EXPECT_EQ(actual.attributes, expected.attributes) << qPrintable(here);
    EXPECT_EQ(actual.text, expected.text) << qPrintable(here);
    ASSERT_EQ(actual.children.size(), expected.children.size()) << qPrintable(here);
    for (size_t i = 0; i < expected.children.size(); ++i)
        expectSameTree(expected.children[i], actual.children[i], here);
}

struct Step
{
    QString tag;
    bool start;
    bool end;
    int level;
    QString value;
    CCXmlAttributes attributes;
    bool operator==(const Step &) const = default;
};

std::vector<Step> allSteps(const QString &text, QString *error = nullptr)
{
    std::vector<Step> steps;
    auto decoder = CCXmlDecoder::initWithString(text);
    if (!decoder)
        return steps;
    while (decoder->getNextTag()) {
        steps.push_back({decoder->xmlTag(), decoder->startTag(), decoder->endTag(), decoder->level(),
                         decoder->value(), decoder->attributes()});
        // Each step consumes at least one character.
        EXPECT_LE(qsizetype(steps.size()), text.size());
        if (qsizetype(steps.size()) > text.size())
            break;
    }
    if (error)
        *error = decoder->error();
    return steps;
}

}

TEST(XmlRoundTrip, GeneratedTreesReadBackThroughUtf8Files)
{
    const CCXmlKeyTable table = keyTable();
    const QString folder = tj::test::freshFolder();
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        CCXmlEncoder encoder;
        const Node written = writeRandom(encoder, random, 0);
        EXPECT_EQ(encoder.level(), 0);
        const QString path = folder + QStringLiteral("/tree %1 ✓.xml").arg(seed);
        tj::test::writeFile(path, encoder.xml().toUtf8());
        QString error;
        auto decoder = CCXmlDecoder::initWithFile(path, &error);
        ASSERT_TRUE(decoder) << qPrintable(error);
        decoder->setKeyDecoder(table);
        const std::vector<Node> read = readTree(*decoder, table);
        ASSERT_EQ(read.size(), 1u) << "seed " << seed;
        expectSameTree(written, read.front(), QStringLiteral("seed %1").arg(seed));
        EXPECT_TRUE(decoder->isDone());
        if (HasFailure()) {
            ADD_FAILURE() << "document:\n" << encoder.xml().toStdString();
            break;
        }
    }
}

TEST(XmlRoundTrip, TruncatedDocumentsAgreeUpToTheCut)
{
    int documents = 0;
    for (unsigned seed = 1; documents < 4; ++seed) {
        std::mt19937 random(seed);
        CCXmlEncoder encoder;
        writeRandom(encoder, random, 0);
        const QString full = encoder.xml();
        const std::vector<Step> complete = allSteps(full);
        if (complete.size() < 20)
            continue;
        ++documents;
        for (qsizetype cut = 0; cut < full.size(); ++cut) {
            const std::vector<Step> partial = allSteps(full.left(cut));
            // Only the last step may have seen the missing text.
            ASSERT_LE(partial.size(), complete.size()) << "seed " << seed << " cut " << cut;
            for (size_t i = 0; i + 1 < partial.size(); ++i)
                ASSERT_TRUE(partial[i] == complete[i]) << "seed " << seed << " cut " << cut << " step " << i;
        }
    }
}

TEST(XmlRoundTrip, MangledDocumentsFailCleanly)
{
    std::mt19937 random(23);
    CCXmlEncoder encoder;
    writeRandom(encoder, random, 0);
    const QString original = encoder.xml();
    const QString noise = QStringLiteral("<>/=\"'&;!-[]?x \n");
    for (int round = 0; round < 3000; ++round) {
        QString text = original;
        const int edits = 1 + round % 4;
        for (int e = 0; e < edits && !text.isEmpty(); ++e) {
            const qsizetype at = std::uniform_int_distribution<qsizetype>(0, text.size() - 1)(random);
            const QChar c = noise.at(std::uniform_int_distribution<qsizetype>(0, noise.size() - 1)(random));
            if (round % 3 == 0)
                text.insert(at, c);
            else if (round % 3 == 1)
                text[at] = c;
            else
                text.remove(at, 1 + at % 5);
        }
        auto decoder = CCXmlDecoder::initWithString(text);
        if (!decoder)
            continue;
        qsizetype steps = 0;
        while (decoder->getNextTag()) {
            ASSERT_LE(++steps, text.size());
            switch (steps % 7) {
            case 1:
                decoder->followingTagWithAttributes();
                break;
            case 2:
                decoder->unskipTag(decoder->skipTag());
                break;
            case 3:
                decoder->extractTag();
                break;
            case 4:
                decoder->coalesceMixedContent();
                break;
            default:
                break;
            }
        }
        EXPECT_TRUE(decoder->isDone());
    }
}
