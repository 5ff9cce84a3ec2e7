// Feeds arbitrary bytes to the XML reader and checks that it always ends, that every
// step moves forward, and that every leaf element it reads survives being written by
// the XML writer and read again.
#include "support/cc_xml_decoder.h"
#include "support/cc_xml_encoder.h"

#include "fuzz_support.h"

#include <vector>

namespace {

// Larger inputs only slow the search down without reaching new code.
constexpr size_t kMaxInput = 1 << 16;
// skipTag and extractTag scan ahead, so they are tried on the first steps only.
constexpr int kScanningCalls = 16;

struct Leaf
{
    QString tag;
    CCXmlAttributes attributes;
    QString value;
};

QString surviving(const QString &text)
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

void checkRoundTrip(const std::vector<Leaf> &leaves, bool numericTags)
{
    // Without children the root would itself read back as a leaf.
    if (leaves.empty())
        return;
    CCXmlEncoder encoder;
    encoder.openTag(QStringLiteral("r"));
    std::vector<Leaf> expected;
    for (const Leaf &leaf : leaves) {
        Leaf written{leaf.tag, {}, surviving(leaf.value)};
        for (auto it = leaf.attributes.cbegin(); it != leaf.attributes.cend(); ++it) {
            // The first attribute of a tag must start with a letter, so only such names are reused.
            if (it.key().isEmpty() || !it.key().front().isLetter() || it.value().isEmpty())
                continue;
            encoder.addAttribute(it.key(), it.value());
            written.attributes.insert(it.key(), surviving(it.value()));
        }
        encoder.addTag(leaf.tag, leaf.value);
        expected.push_back(written);
    }
    encoder.closeTag(QStringLiteral("r"));

    auto reread = CCXmlDecoder::initWithStringOrData(encoder.xml().toUtf8());
    if (!reread)
        FuzzFail("written document not readable", encoder.xml());
    reread->setAllowNumericTags(numericTags);
    if (!reread->getNextTag())
        FuzzFail("no root", encoder.xml());
    for (const Leaf &leaf : expected) {
        if (!reread->getNextTag() || !reread->startTag() || !reread->endTag())
            FuzzFail("leaf lost", encoder.xml() + reread->error());
        if (reread->xmlTag() != leaf.tag || reread->value() != leaf.value || reread->attributes() != leaf.attributes)
            FuzzFail("leaf changed", encoder.xml());
    }
    if (!reread->getNextTag() || reread->startTag() || reread->getNextTag() || !reread->error().isEmpty())
        FuzzFail("bad ending", encoder.xml() + reread->error());
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    const QByteArray bytes = FuzzBytes(data, size);
    CCXmlDecoder::decodeEscapes(QString::fromUtf8(bytes));

    auto decoder = CCXmlDecoder::initWithStringOrData(bytes);
    if (!decoder)
        return 0;
    // The length picks the options, so the text itself stays a plain document.
    const bool numericTags = size % 2;
    const bool spacedAttributes = (size / 2) % 2;
    const bool navigate = (size / 4) % 2;
    decoder->setAllowNumericTags(numericTags);
    decoder->setAllowSpaceInAttr(spacedAttributes);
    if ((size / 8) % 2)
        decoder->setKeyDecoder({{QStringLiteral("a"), 1}, {QStringLiteral("pc"), 17}, {QStringLiteral("x"), 5}});

    std::vector<Leaf> leaves;
    qsizetype steps = 0;
    int scanningCalls = 0;
    while (decoder->getNextTag()) {
        if (++steps > qsizetype(size))
            FuzzFail("more steps than characters", QString::fromUtf8(bytes));
        if (decoder->startTag() && decoder->endTag())
            leaves.push_back({decoder->xmlTag(), decoder->attributes(), decoder->value()});
        decoder->integerValue();
        decoder->longValue();
        if (!navigate)
            continue;
        const int pick = int(steps % 5);
        if (pick == 0)
            decoder->followingTagWithAttributes();
        else if (pick == 1 && scanningCalls++ < kScanningCalls)
            decoder->unskipTag(decoder->skipTag());
        else if (pick == 2 && scanningCalls++ < kScanningCalls)
            decoder->extractTag();
        else if (pick == 3)
            decoder->coalesceMixedContent();
    }
    if (!decoder->isDone())
        FuzzFail("stopped without being done", QString::fromUtf8(bytes));
    if (!spacedAttributes && !navigate)
        checkRoundTrip(leaves, numericTags);
    return 0;
}
