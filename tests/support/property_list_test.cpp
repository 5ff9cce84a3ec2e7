#include "support/property_list.h"

#include "support_fixtures.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPoint>
#include <QTimeZone>

#include <cmath>
#include <limits>

using tj::test::readFile;

namespace {

QDateTime utc(int year, int month, int day, int hour, int minute, int second, int msec = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec), Qt::UTC);
}

// A tree using every value type, with the awkward cases of each.
QVariantMap sampleTree()
{
    QVariantMap nested;
    nested.insert(QStringLiteral("empty list"), QVariantList());
    nested.insert(QStringLiteral("empty dict"), QVariantMap());
    nested.insert(QStringLiteral("list"),
                  QVariantList{qlonglong(1), QStringLiteral("two"), 3.5, true,
                               QVariantList{QVariantMap{{QStringLiteral("deep"), false}}}});
    QVariantMap tree;
    tree.insert(QStringLiteral("title"), QStringLiteral("Füße & <Türme> \"quoted\" 'x' 🧩 \t tab\nnewline"));
    tree.insert(QStringLiteral("empty"), QString());
    tree.insert(QStringLiteral("key <&> ünï"), QStringLiteral("value"));
    tree.insert(QStringLiteral("count"), qlonglong(1234));
    tree.insert(QStringLiteral("negative"), qlonglong(-5001));
    tree.insert(QStringLiteral("large"), qlonglong(1) << 62);
    tree.insert(QStringLiteral("lowest"), std::numeric_limits<qlonglong>::min());
    tree.insert(QStringLiteral("zero"), qlonglong(0));
    tree.insert(QStringLiteral("scale"), 0.3333333333333333);
    tree.insert(QStringLiteral("tiny"), -1.5e-300);
    tree.insert(QStringLiteral("huge"), 6.02e23);
    tree.insert(QStringLiteral("yes"), true);
    tree.insert(QStringLiteral("no"), false);
    tree.insert(QStringLiteral("created"), utc(2024, 2, 29, 23, 59, 58));
    tree.insert(QStringLiteral("old"), utc(1970, 1, 1, 0, 0, 1));
    tree.insert(QStringLiteral("bytes"), QByteArray("\x00\x01\xff<&>\n", 7));
    tree.insert(QStringLiteral("no bytes"), QByteArray());
    tree.insert(QStringLiteral("nested"), nested);
    return tree;
}

void expectSameTree(const QVariant &actual, const QVariant &expected, const QString &where = QStringLiteral("root"))
{
    SCOPED_TRACE(where.toStdString());
    ASSERT_EQ(actual.typeId(), expected.typeId()) << actual.typeName() << " vs " << expected.typeName();
    if (expected.typeId() == QMetaType::QVariantMap) {
        const QVariantMap a = actual.toMap();
        const QVariantMap e = expected.toMap();
        ASSERT_EQ(a.keys(), e.keys());
        for (auto it = e.cbegin(); it != e.cend(); ++it)
            expectSameTree(a.value(it.key()), it.value(), where + QLatin1Char('/') + it.key());
    } else if (expected.typeId() == QMetaType::QVariantList) {
        const QVariantList a = actual.toList();
        const QVariantList e = expected.toList();
        ASSERT_EQ(a.size(), e.size());
        for (qsizetype i = 0; i < e.size(); ++i)
            expectSameTree(a[i], e[i], where + QLatin1Char('/') + QString::number(i));
    } else {
        EXPECT_EQ(actual, expected) << actual.toString().toStdString() << " vs " << expected.toString().toStdString();
    }
}

}

TEST(PropertyList, InputTypesAreNormalised)
{
    const QVariantMap input{
        {QStringLiteral("int"), 7},
        {QStringLiteral("uint"), 8u},
        {QStringLiteral("ulonglong"), qulonglong(9)},
        {QStringLiteral("float"), 0.5f},
        {QStringLiteral("strings"), QStringList{QStringLiteral("x"), QStringLiteral("y")}},
        {QStringLiteral("hash"), QVariantHash{{QStringLiteral("k"), QStringLiteral("v")}}},
        {QStringLiteral("local time"), QDateTime(QDate(2020, 6, 1), QTime(12, 0), QTimeZone(3600))}};
    const std::optional<QVariantMap> read =
        PropertyListDictionaryFromData(PropertyListToXml(input).value_or(QByteArray()));
    ASSERT_TRUE(read.has_value());
    const QVariantMap expected{{QStringLiteral("int"), qlonglong(7)},
                               {QStringLiteral("uint"), qlonglong(8)},
                               {QStringLiteral("ulonglong"), qlonglong(9)},
                               {QStringLiteral("float"), 0.5},
                               {QStringLiteral("strings"), QVariantList{QStringLiteral("x"), QStringLiteral("y")}},
                               {QStringLiteral("hash"), QVariantMap{{QStringLiteral("k"), QStringLiteral("v")}}},
                               {QStringLiteral("local time"), utc(2020, 6, 1, 11, 0, 0)}};
    expectSameTree(*read, expected);
}

TEST(PropertyList, ValuesAPropertyListCannotCarryAreRefusedAndLeaveTheFileAlone)
{
    const QString path = tj::test::freshFolder(QStringLiteral("plist")) + QStringLiteral("/Cache.plist");
    ASSERT_TRUE(WritePropertyList(path, QVariantMap{{QStringLiteral("kept"), true}}));
    const QByteArray before = readFile(path);

    QVariantList tooDeep;
    for (int i = 0; i < 200; ++i)
        tooDeep = QVariantList{QVariant(tooDeep)};
    const std::vector<std::pair<const char *, QVariant>> refused = {
        {"null", QVariant()},
        {"point", QVariant(QPoint(1, 2))},
        {"unsigned above the signed range", QVariant(std::numeric_limits<qulonglong>::max())},
        {"control character", QVariant(QStringLiteral("bell \a"))},
        {"nul character", QVariant(QString(QChar(0)))},
        {"lone surrogate", QVariant(QString(QChar(0xD800)))},
        {"noncharacter", QVariant(QString(QChar(0xFFFF)))},
        {"invalid date", QVariant(QDateTime())},
        {"nesting", QVariant(tooDeep)},
    };
    for (const auto &[what, value] : refused) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(PropertyListToXml(QVariantMap{{QStringLiteral("v"), value}}).has_value());
        EXPECT_FALSE(WritePropertyList(path, QVariantList{value}));
        EXPECT_EQ(readFile(path), before);
    }
    EXPECT_FALSE(PropertyListToXml(QVariantMap{{QStringLiteral("bad \x01 key"), true}}).has_value());
}

TEST(PropertyList, DatesKeepWholeSecondsInXml)
{
    const QDateTime precise = utc(2031, 5, 6, 7, 8, 9, 750);
    const std::optional<QVariant> read =
        PropertyListFromData(PropertyListToXml(QVariantList{precise}).value_or(QByteArray()));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->toList().value(0).toDateTime(), utc(2031, 5, 6, 7, 8, 9));
    // The range is 2001-01-01 plus or minus 2^31 seconds.
    const QDateTime first = utc(1932, 12, 13, 20, 45, 52);
    const QDateTime last = utc(2069, 1, 19, 3, 14, 7);
    for (const QDateTime &edge : {first, last, utc(2001, 1, 1, 0, 0, 0)}) {
        const std::optional<QVariant> back = PropertyListFromData(PropertyListToXml(edge).value_or(QByteArray()));
        ASSERT_TRUE(back.has_value()) << edge.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(back->toDateTime(), edge);
    }
    EXPECT_FALSE(PropertyListToXml(first.addSecs(-1)).has_value());
    EXPECT_FALSE(PropertyListToXml(last.addSecs(1)).has_value());
}

TEST(PropertyList, EveryValueTypeSurvivesOurWriterAndPythonsInBothForms)
{
    const QString folder = tj::test::freshFolder(QStringLiteral("plist")) + QStringLiteral("/Ordner ü");
    const QString ours = folder + QStringLiteral("/info.plist");
    ASSERT_FALSE(WritePropertyList(ours, sampleTree())) << "the folder does not exist yet";
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(WritePropertyList(ours, sampleTree()));
    EXPECT_TRUE(readFile(ours).startsWith("<?xml"));
    ASSERT_TRUE(tj::test::runPython(folder, QStringLiteral(R"(
import datetime, plistlib
sample = plistlib.load(open('info.plist', 'rb'))
for path, form in (('xml.plist', plistlib.FMT_XML), ('binary.plist', plistlib.FMT_BINARY)):
    with open(path, 'wb') as out:
        plistlib.dump(sample, out, fmt=form, sort_keys=False)
# Repeated values are shared objects in the binary form.
shared = {'a': 'same text', 'b': 'same text', 'c': ['same text', 'same text'],
          'when': datetime.datetime(2022, 3, 4, 5, 6, 7, 250000)}
with open('shared.plist', 'wb') as out:
    plistlib.dump(shared, out, fmt=plistlib.FMT_BINARY)
)")));
    ASSERT_TRUE(readFile(folder + QStringLiteral("/binary.plist")).startsWith("bplist00"));
    for (const char *name : {"/info.plist", "/xml.plist", "/binary.plist"}) {
        SCOPED_TRACE(name);
        const std::optional<QVariantMap> read = ReadPropertyListDictionary(folder + QLatin1String(name));
        ASSERT_TRUE(read.has_value());
        expectSameTree(*read, sampleTree());
        // Writing what was read gives the same bytes.
        EXPECT_EQ(PropertyListToXml(*read), PropertyListToXml(sampleTree()));
    }
    const std::optional<QVariantMap> shared = ReadPropertyListDictionary(folder + QStringLiteral("/shared.plist"));
    ASSERT_TRUE(shared.has_value());
    const QString text = QStringLiteral("same text");
    expectSameTree(*shared,
                   QVariantMap{{QStringLiteral("a"), text},
                               {QStringLiteral("b"), text},
                               {QStringLiteral("c"), QVariantList{text, text}},
                               {QStringLiteral("when"), utc(2022, 3, 4, 5, 6, 7, 250)}});

    // Other roots are lists, but not dictionaries.
    const QVariantList list{QStringLiteral("a"), qlonglong(2)};
    const QString listPath = folder + QStringLiteral("/list.plist");
    ASSERT_TRUE(WritePropertyList(listPath, list));
    const std::optional<QVariant> readList = ReadPropertyList(listPath);
    ASSERT_TRUE(readList.has_value());
    expectSameTree(*readList, list);
    EXPECT_FALSE(ReadPropertyListDictionary(listPath).has_value());
    EXPECT_FALSE(PropertyListDictionaryFromData(readFile(listPath)).has_value());
}
