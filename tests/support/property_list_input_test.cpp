#include "support/property_list.h"
#include "support/property_list_check.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {

// Builds binary property lists object by object, including malformed ones.
class BinaryBuilder
{
public:
    explicit BinaryBuilder(int refSize = 1)
        : m_refSize(refSize)
    {
    }

    int add(const QByteArray &object)
    {
        m_offsets.append(m_body.size());
        m_body += object;
        return int(m_offsets.size() - 1);
    }
    int integer(quint8 value) { return add(QByteArray("\x10", 1) + char(value)); }
    int string(const QByteArray &ascii) { return add(char(0x50 | ascii.size()) + ascii); }
    int array(const QList<int> &refs) { return add(char(0xA0 | refs.size()) + encodeRefs(refs)); }
    int dict(const QList<int> &keys, const QList<int> &values)
    {
        return add(char(0xD0 | keys.size()) + encodeRefs(keys) + encodeRefs(values));
    }

    QByteArray finish(int top, int offsetSize = 4) const
    {
        QByteArray data = m_body;
        const qint64 table = data.size();
        for (const qint64 offset : m_offsets)
            data += bigEndian(quint64(offset), offsetSize);
        data += QByteArray(6, '\0') + char(offsetSize) + char(m_refSize);
        data += bigEndian(quint64(m_offsets.size()), 8) + bigEndian(quint64(top), 8) + bigEndian(quint64(table), 8);
        return data;
    }

    static QByteArray bigEndian(quint64 value, int size)
    {
        QByteArray bytes(size, '\0');
        for (int i = size - 1; i >= 0; --i, value >>= 8)
            bytes[i] = char(value & 0xFF);
        return bytes;
    }

private:
    QByteArray encodeRefs(const QList<int> &refs) const
    {
        QByteArray bytes;
        for (const int ref : refs)
            bytes += bigEndian(quint64(ref), m_refSize);
        return bytes;
    }

    QByteArray m_body = "bplist00";
    QList<qint64> m_offsets;
    int m_refSize;
};

// {"name": "jigsaw", "sizes": [1, 2, 3]}
QByteArray smallBinary()
{
    BinaryBuilder builder;
    const int name = builder.string("name");
    const int value = builder.string("jigsaw");
    const int sizes = builder.string("sizes");
    const int list = builder.array({builder.integer(1), builder.integer(2), builder.integer(3)});
    return builder.finish(builder.dict({name, sizes}, {value, list}));
}

// levels arrays above one integer, each holding its successor copies times: with two copies,
// 2^levels leaves from a few bytes.
QByteArray chainBinary(int levels, int copies)
{
    BinaryBuilder builder(4);
    for (int i = 0; i < levels; ++i)
        builder.add(char(0xA0 | copies) + BinaryBuilder::bigEndian(quint64(i + 1), 4).repeated(copies));
    builder.integer(7);
    return builder.finish(0);
}

QByteArray nestedXml(int depth)
{
    return "<?xml version=\"1.0\"?><plist version=\"1.0\">" + QByteArray("<array>").repeated(depth) + "<true/>"
        + QByteArray("</array>").repeated(depth) + "</plist>";
}

// Refused by the input check itself, not only by libplist or the conversion after it.
void expectRefused(const QByteArray &data, const char *what)
{
    EXPECT_FALSE(PropertyListInputIsSafe(data.constData(), size_t(data.size()))) << what;
    EXPECT_FALSE(PropertyListFromData(data).has_value()) << what;
}

int leafCount(const QVariant &value)
{
    if (value.typeId() != QMetaType::QVariantList)
        return 1;
    int count = 0;
    for (const QVariant &item : value.toList())
        count += leafCount(item);
    return count;
}

}

TEST(PropertyListInput, EveryTruncationOrSingleByteChangeIsHandled)
{
    const QByteArray binary = smallBinary();
    for (qsizetype length = 0; length < binary.size(); ++length)
        EXPECT_FALSE(PropertyListFromData(binary.left(length)).has_value()) << length;
    for (qsizetype i = 0; i < binary.size(); ++i) {
        for (const char replacement : {'\0', '\x0F', '\x7F', '\xFF', '\xD5', '\xAF'}) {
            QByteArray changed = binary;
            changed[i] = replacement;
            PropertyListFromData(changed);
        }
    }

    QVariantMap tree{{QStringLiteral("title"), QStringLiteral("Türme")},
                     {QStringLiteral("list"), QVariantList{qlonglong(1), 2.5, QByteArray("abc")}}};
    const QByteArray xml = PropertyListToXml(tree).value_or(QByteArray());
    ASSERT_FALSE(xml.isEmpty());
    for (qsizetype length = 0; length < xml.size(); ++length) {
        const std::optional<QVariant> read = PropertyListFromData(xml.left(length));
        // A cut inside the document can never give back the whole tree.
        if (read && length < xml.indexOf("</dict>")) {
            EXPECT_NE(*read, QVariant(tree)) << length;
        }
    }
}

TEST(PropertyListInput, SharedObjectsExpandOnlyWithinLimits)
{
    const std::optional<QVariant> small = PropertyListFromData(chainBinary(10, 2));
    ASSERT_TRUE(small.has_value());
    EXPECT_EQ(leafCount(*small), 1024);
    // 2^40 leaves from 400 bytes: refused before anything is expanded.
    EXPECT_FALSE(PropertyListFromData(chainBinary(40, 2)).has_value());
    // 18 levels expand to 2^19 - 1 nodes, 19 levels to 2^20 - 1: just past the limit.
    const QByteArray within = chainBinary(18, 2);
    const QByteArray beyond = chainBinary(19, 2);
    EXPECT_TRUE(PropertyListInputIsSafe(within.constData(), size_t(within.size())));
    EXPECT_FALSE(PropertyListInputIsSafe(beyond.constData(), size_t(beyond.size())));

    // One megabyte of data listed 100 times would take 100 MB once expanded.
    for (const int copies : {50, 100}) {
        BinaryBuilder builder(2);
        const int blob =
            builder.add(QByteArray("\x4F\x12", 2) + BinaryBuilder::bigEndian(1 << 20, 4) + QByteArray(1 << 20, 'z'));
        builder.add(QByteArray("\xAF\x11", 2) + BinaryBuilder::bigEndian(quint64(copies), 2)
                    + BinaryBuilder::bigEndian(quint64(blob), 2).repeated(copies));
        const std::optional<QVariant> read = PropertyListFromData(builder.finish(1));
        EXPECT_EQ(read.has_value(), copies == 50) << copies;
    }
}

TEST(PropertyListInput, NestingIsBounded)
{
    EXPECT_TRUE(PropertyListFromData(chainBinary(kMaxPropertyListDepth, 1)).has_value());
    expectRefused(chainBinary(kMaxPropertyListDepth + 1, 1), "binary one level too deep");
    expectRefused(chainBinary(100000, 1), "binary far too deep");
    EXPECT_TRUE(PropertyListFromData(nestedXml(kMaxPropertyListDepth)).has_value());
    expectRefused(nestedXml(kMaxPropertyListDepth + 1), "XML one level too deep");
    expectRefused(nestedXml(200000), "XML far too deep");

    // Nesting hidden in comments and quoted attributes doesn't count; unfinished markup fails.
    const QByteArray commented = "<plist version=\"1.0\"><!--" + QByteArray("<array>").repeated(500)
        + "--><dict a=\"<array><array>\"><key>k</key><string>v</string></dict></plist>";
    EXPECT_TRUE(PropertyListInputIsSafe(commented.constData(), size_t(commented.size())));
    EXPECT_FALSE(PropertyListFromData("<plist><!-- never closed <array>").has_value());
    EXPECT_FALSE(PropertyListFromData("<plist><array").has_value());

    QByteArray crowded = "<plist><array>" + QByteArray("<true/>").repeated(kMaxPropertyListNodes) + "</array></plist>";
    EXPECT_FALSE(PropertyListInputIsSafe(crowded.constData(), size_t(crowded.size())));
}

TEST(PropertyListInput, MalformedBinaryStructureIsRefused)
{
    // Objects as stored with one-byte references: 0xA1 is an array of one, 0xD1 a dictionary of
    // one (key reference, value reference), 0x10 a small integer, 0x5n and 0x6n strings.
    const auto list = [](std::initializer_list<QByteArray> objects, int top) {
        BinaryBuilder builder;
        for (const QByteArray &object : objects)
            builder.add(object);
        return builder.finish(top);
    };
    const QByteArray dictionaryOfFirst("\xD1\x00\x00", 3);
    const QByteArray hugeCount = BinaryBuilder::bigEndian(0xFFFFFFFFFFFFull, 8);
    const std::vector<std::pair<const char *, QByteArray>> refused = {
        {"cycle", list({QByteArray("\xA1\x00", 2)}, 0)},
        {"indirect cycle", list({QByteArray("\xA1\x01", 2), QByteArray("\xA1\x00", 2)}, 0)},
        {"dangling", list({QByteArray("\xA1\x05", 2)}, 0)},
        {"numeric key", list({QByteArray("\x10\x01", 2), dictionaryOfFirst}, 1)},
        // libplist aborts on a key holding a NUL character.
        {"NUL in key",
         list({QByteArray("\x53"
                          "a\0b",
                          4),
               dictionaryOfFirst},
              1)},
        {"NUL in wide key", list({QByteArray("\x62\0a\0\0", 5), dictionaryOfFirst}, 1)},
        {"NUL in XML key", QByteArray("<plist><dict><key>a\0b</key><true/></dict></plist>", 50)},
        {"overlong string", list({QByteArray("\x5F\x13", 2) + hugeCount + "abc"}, 0)},
        {"overlong array", list({QByteArray("\xAF\x12", 2) + BinaryBuilder::bigEndian(0x7FFFFFFF, 4)}, 0)},
    };
    for (const auto &[what, data] : refused)
        expectRefused(data, what);
    // A value may hold a NUL character (libplist ends it there).
    BinaryBuilder nulValue;
    const int name = nulValue.string("k");
    nulValue.dict({name}, {nulValue.string(QByteArray("a\0b", 3))});
    const std::optional<QVariantMap> read = PropertyListDictionaryFromData(nulValue.finish(2));
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->value(QStringLiteral("k")).toString().startsWith(QLatin1Char('a')));

    // Each change below breaks a list that is read whole without it.
    const QByteArray good = smallBinary();
    const std::optional<QVariantMap> whole = PropertyListDictionaryFromData(good);
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->value(QStringLiteral("name")), QVariant(QStringLiteral("jigsaw")));
    EXPECT_EQ(whole->value(QStringLiteral("sizes")), QVariant(QVariantList{qlonglong(1), qlonglong(2), qlonglong(3)}));
    const qsizetype trailer = good.size() - 32;
    auto withTrailerField = [&](int at, const QByteArray &bytes) {
        QByteArray changed = good;
        changed.replace(trailer + at, bytes.size(), bytes);
        return changed;
    };
    expectRefused(withTrailerField(6, QByteArray(1, '\x03')), "offset size 3");
    expectRefused(withTrailerField(7, QByteArray(1, '\0')), "reference size 0");
    expectRefused(withTrailerField(8, BinaryBuilder::bigEndian(~0ull / 2, 8)), "object count past the end");
    expectRefused(withTrailerField(16, BinaryBuilder::bigEndian(99, 8)), "top object out of range");
    expectRefused(withTrailerField(24, BinaryBuilder::bigEndian(~0ull, 8)), "offset table past the end");
    expectRefused(withTrailerField(24, BinaryBuilder::bigEndian(2, 8)), "offset table inside the header");
}

TEST(PropertyListInput, OnlyRegularFilesOfSaneSizeAreRead)
{
    const QString folder = tj::test::freshFolder(QStringLiteral("plist"));
    EXPECT_FALSE(ReadPropertyList(folder + QStringLiteral("/missing.plist")).has_value());
    EXPECT_FALSE(ReadPropertyList(folder).has_value());
    EXPECT_FALSE(ReadPropertyList(QString()).has_value());

    const QString fifo = folder + QStringLiteral("/pipe.plist");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(ReadPropertyList(fifo).has_value());

    const QString empty = folder + QStringLiteral("/empty.plist");
    tj::test::writeFile(empty, QByteArray());
    EXPECT_FALSE(ReadPropertyList(empty).has_value());

    // A valid list padded past the limit is still refused.
    const QString huge = folder + QStringLiteral("/huge.plist");
    tj::test::writeFile(huge, PropertyListToXml(QVariantMap{{QStringLiteral("a"), true}}).value_or(QByteArray()));
    ASSERT_TRUE(QFile::resize(huge, kMaxPropertyListSize + 1));
    EXPECT_FALSE(ReadPropertyList(huge).has_value());
}
