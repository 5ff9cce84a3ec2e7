#include "support/cc_xml_decoder.h"
#include "support/cc_xml_encoder.h"

#include "support_fixtures.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

const QStringList kNames =
    QStringLiteral("jigsaw pcs pc x rect coord stray Other_1 ns:tag dot.name d-ash _lead").split(QLatin1Char(' '));
const QStringList kAttributeNames = QStringLiteral("id bnd knob ver title x-y ns:a u_2").split(QLatin1Char(' '));

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
    QStringLiteral("a"),         QStringLiteral("Z9"),     QStringLiteral(" "),      QStringLiteral("\t"),
    QStringLiteral("\n"),        QStringLiteral("\r\n"),   QStringLiteral("&"),      QStringLiteral("<"),
    QStringLiteral(">"),         QStringLiteral("\""),     QStringLiteral("'"),      QStringLiteral("&amp;"),
    QStringLiteral("&#65;"),     QStringLiteral("&#x41 "), QStringLiteral("&nbsp;"), QStringLiteral("]]>"),
    QStringLiteral("<![CDATA["), QStringLiteral("<!--"),   QStringLiteral("?>"),     QStringLiteral("</pc>"),
    QStringLiteral("é"),         QStringLiteral("中文"),   QStringLiteral("\u00a0"), QStringLiteral("\ufeff"),
    QStringLiteral("\u2028"),    QStringLiteral("\ufffd"), QStringLiteral("\uffff"), QStringLiteral("\U0001F600"),
    QString(QChar(0xD83D)),      QString(QChar(0xDE00)),   QString(QChar(0)),        QString(QChar(1)),
    QString(QChar(0x1F)),        QString(QChar(0x7F)),     QString(QChar(0x85)),     QString(QChar(0x9F))};

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

// Attributes sorted by name; each value carries its length, so no value can pass for another.
QString attributeText(const CCXmlAttributes &attributes)
{
    QStringList names = attributes.keys();
    names.sort();
    QString text;
    for (const QString &name : names) {
        const QString value = attributes.value(name);
        text += QStringLiteral(" %1=%2:%3").arg(name).arg(value.size()).arg(value);
    }
    return text;
}

// One line per reader step: opening tags add their attributes and leaves their value; with
// everything set, every step adds both.
QString stepLine(const CCXmlDecoder &decoder, bool everything = false)
{
    QString line = tj::test::stepText(decoder);
    if (decoder.startTag() || everything)
        line += attributeText(decoder.attributes());
    if ((decoder.startTag() && decoder.endTag()) || everything)
        line += QStringLiteral(" =") + decoder.value();
    return line;
}

// Writes a random element at depth and adds the lines reading it back should give.
void writeRandom(CCXmlEncoder &encoder, std::mt19937 &random, int depth, QStringList &expected)
{
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const QString name = kNames.at(depth == 0 ? 0 : pick(int(kNames.size())));
    QStringList names = kAttributeNames;
    std::shuffle(names.begin(), names.end(), random);
    CCXmlAttributes attributes;
    const int attributeCount = pick(4);
    for (int i = 0; i < attributeCount; ++i) {
        if (pick(3) == 0) {
            const int number = int(random());
            encoder.addAttribute(names.at(i), number);
            attributes.insert(names.at(i), QString::number(number));
        } else {
            const QString text = randomText(random);
            encoder.addAttribute(names.at(i), text);
            if (!text.isEmpty())
                attributes.insert(names.at(i), survivingText(text));
        }
    }
    const QString leaf = QStringLiteral("%1</%2%3 =").arg(name).arg(depth).arg(attributeText(attributes));
    const int kind = depth == 0 ? 4 : pick(depth > 4 ? 4 : 6);
    if (kind < 2) {
        const QString text = randomText(random);
        encoder.addTag(name, text);
        expected << leaf + survivingText(text);
    } else if (kind == 2) {
        const qint64 number = ((qint64(random()) << 31) ^ qint64(random())) * (pick(2) ? 1 : -1);
        encoder.addTag(name, number);
        expected << leaf + QString::number(number);
    } else if (kind == 3) {
        encoder.openAndCloseTag(name);
        expected << leaf;
    } else {
        // Without children the element reads back as an empty leaf.
        const int childCount = pick(5);
        encoder.openTag(name);
        expected << (childCount ? QStringLiteral("%1<%2%3").arg(name).arg(depth + 1).arg(attributeText(attributes))
                                : leaf);
        for (int i = 0; i < childCount; ++i)
            writeRandom(encoder, random, depth + 1, expected);
        encoder.closeTag(name);
        if (childCount)
            expected << QStringLiteral("%1/%2").arg(name).arg(depth);
    }
}

QStringList allSteps(const QString &text)
{
    QStringList steps;
    auto decoder = CCXmlDecoder::initWithString(text);
    if (!decoder)
        return steps;
    while (decoder->getNextTag()) {
        steps << stepLine(*decoder, true);
        // Each step consumes at least one character.
        EXPECT_LE(steps.size(), text.size());
        if (steps.size() > text.size())
            break;
    }
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
        QStringList expected;
        writeRandom(encoder, random, 0, expected);
        EXPECT_EQ(encoder.level(), 0);
        const QString path = folder + QStringLiteral("/tree %1 ✓.xml").arg(seed);
        tj::test::writeFile(path, encoder.xml().toUtf8());
        QString error;
        auto decoder = CCXmlDecoder::initWithFile(path, &error);
        ASSERT_TRUE(decoder) << qPrintable(error);
        decoder->setKeyDecoder(table);
        QStringList read;
        while (decoder->getNextTag() && read.size() <= expected.size()) {
            EXPECT_EQ(decoder->key(), table.value(decoder->xmlTag(), 0)) << qPrintable(decoder->xmlTag());
            read << stepLine(*decoder);
        }
        EXPECT_EQ(read, expected) << "seed " << seed;
        EXPECT_EQ(decoder->error(), QString());
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
        QStringList written;
        writeRandom(encoder, random, 0, written);
        const QString full = encoder.xml();
        const QStringList complete = allSteps(full);
        if (complete.size() < 20)
            continue;
        ++documents;
        for (qsizetype cut = 0; cut < full.size(); ++cut) {
            const QStringList partial = allSteps(full.left(cut));
            // Only the last step may have seen the missing text.
            ASSERT_LE(partial.size(), complete.size()) << "seed " << seed << " cut " << cut;
            const qsizetype agreed = std::max<qsizetype>(partial.size() - 1, 0);
            ASSERT_EQ(partial.mid(0, agreed), complete.mid(0, agreed)) << "seed " << seed << " cut " << cut;
        }
    }
}

TEST(XmlRoundTrip, MangledDocumentsFailCleanly)
{
    std::mt19937 random(23);
    CCXmlEncoder encoder;
    QStringList written;
    writeRandom(encoder, random, 0, written);
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
