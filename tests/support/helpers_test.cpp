#include "support/helpers.h"
#include "support/paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <tuple>
#include <vector>

namespace {

void touch(const QString &path)
{
    tj::test::writeFile(path, QByteArray());
}

}

TEST(UniqueName, StripsSeparatorsAndDotsButKeepsAnArchivesOwnExtension)
{
    const QString folder = tj::test::freshFolder();
    // Without an extension the dots stay: only an added extension makes them ambiguous.
    const std::vector<std::tuple<const char *, const char *, const char *>> cases = {
        {"a/b:c.d", "jpg", "abcd.jpg"},        {"//::", "png", "untitled.png"},       {"v1.2", "", "v1.2"},
        {"photo.tar", "zip", "photo.tar.zip"}, {"photo.tar", "ZIP", "photo.tar.zip"}, {"photo", "zip", "photo.zip"},
    };
    for (const auto &[name, extension, unique] : cases)
        EXPECT_EQ(UniqueName(QLatin1String(name), QLatin1String(extension), folder), QLatin1String(unique)) << name;
}

TEST(UniqueName, NumbersThenFallsBackToAGuid)
{
    const QString folder = tj::test::freshFolder();
    touch(folder + QStringLiteral("/x.jpg"));
    EXPECT_EQ(UniqueName(QStringLiteral("x"), QStringLiteral("jpg"), folder), QStringLiteral("x-1.jpg"));
    for (int i = 1; i <= 98; ++i)
        touch(folder + QStringLiteral("/x-%1.jpg").arg(i));
    EXPECT_EQ(UniqueName(QStringLiteral("x"), QStringLiteral("jpg"), folder), QStringLiteral("x-99.jpg"));
    touch(folder + QStringLiteral("/x-99.jpg"));
    const QString fallback = UniqueName(QStringLiteral("x"), QStringLiteral("jpg"), folder);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.jpg$"))
                    .match(fallback)
                    .hasMatch())
        << fallback.toStdString();

    touch(folder + QStringLiteral("/bare"));
    EXPECT_EQ(UniqueName(QStringLiteral("bare"), QString(), folder), QStringLiteral("bare-1"));
}

TEST(PathHelpers, AppendReplaceStripAndCompare)
{
    const std::vector<std::pair<QString, const char *>> cases = {
        {stringByAppendingFile(QStringLiteral("/a/b"), QStringLiteral("c"), QString()), "/a/b/c"},
        {stringByAppendingFile(QStringLiteral("/a/b/"), QStringLiteral("c"), QStringLiteral("png")), "/a/b/c.png"},
        {stringByReplacingExtension(QStringLiteral("/a/b.c/d.png"), QStringLiteral("jpg")), "/a/b.c/d.jpg"},
        {stringByReplacingExtension(QStringLiteral("/a/b.c/d"), QString()), "/a/b.c/d"},
        {fileNameMinusExtension(QStringLiteral("/x/Sunny day.jpeg")), "Sunny day"},
        {fileNameMinusExtension(QStringLiteral("/x/y.WMjigsaw/")), "y"},
        {fileNameMinusExtension(QStringLiteral(".hidden")), ".hidden"},
        {pathExtension(QStringLiteral("/a.b/c")), ""},
    };
    for (const auto &[result, expected] : cases)
        EXPECT_EQ(result, QLatin1String(expected));
    EXPECT_TRUE(isFuzzyEqualToString(QStringLiteral("Ärger"), QStringLiteral("äRGER")));
    EXPECT_FALSE(isFuzzyEqualToString(QStringLiteral("a"), nullptr));
    EXPECT_TRUE(hasFuzzyPrefix(QStringLiteral("JPEG file"), QStringLiteral("jpeg")));
    EXPECT_FALSE(hasFuzzyPrefix(QStringLiteral("a jpeg"), QStringLiteral("jpeg")));
}

TEST(DictionaryReaders, AbsentAndDamagedValuesReadAsDefaultsInDictionariesAndSettings)
{
    const QVariantMap dict{{QStringLiteral("yes"), true},
                           {QStringLiteral("one"), 1},
                           {QStringLiteral("text"), QStringLiteral("12")},
                           {QStringLiteral("real"), 2.75},
                           {QStringLiteral("list"), QVariantList{1, 2}},
                           {QStringLiteral("huge"), 1e300},
                           {QStringLiteral("nan"), std::nan("")}};
    EXPECT_TRUE(boolForKey(dict, QStringLiteral("yes")));
    EXPECT_TRUE(boolForKey(dict, QStringLiteral("one")));
    EXPECT_FALSE(boolForKey(dict, QStringLiteral("missing")));
    EXPECT_TRUE(defaultYesBoolForKey(dict, QStringLiteral("missing")));
    EXPECT_TRUE(defaultYesBoolForKey(dict, QStringLiteral("list")));
    EXPECT_FALSE(boolForKey(dict, QStringLiteral("list")));

    EXPECT_EQ(integerForKey(dict, QStringLiteral("text")), 12);
    EXPECT_EQ(integerForKey(dict, QStringLiteral("real")), 2);
    EXPECT_EQ(integerForKey(dict, QStringLiteral("list")), 0);
    EXPECT_EQ(integerForKey(dict, QStringLiteral("huge")), 0);
    EXPECT_EQ(integerForKey(dict, QStringLiteral("nan")), 0);
    EXPECT_DOUBLE_EQ(floatForKey(dict, QStringLiteral("real")), 2.75);
    EXPECT_DOUBLE_EQ(floatForKey(dict, QStringLiteral("missing")), 0.0);
    EXPECT_EQ(stringForKey(dict, QStringLiteral("one")), QString());

    QSettings settings(tj::test::freshFolder() + QStringLiteral("/s.ini"), QSettings::IniFormat);
    EXPECT_TRUE(defaultYesBoolForKey(settings, QStringLiteral("wmjigsaw.absent")));
    settings.setValue(QStringLiteral("wmjigsaw.off"), false);
    EXPECT_FALSE(defaultYesBoolForKey(settings, QStringLiteral("wmjigsaw.off")));
}

TEST(SmallHelpers, DayIndexAndGuid)
{
    const QDate today = QDate::currentDate();
    EXPECT_EQ(DayIndexForToday(), today.year() * 10000 + today.month() * 100 + today.day());
    const QString a = guidString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")).match(a).hasMatch());
    EXPECT_NE(a, guidString());
    EXPECT_EQ(numberString(-5), QStringLiteral("-5"));
    EXPECT_EQ(longNumberString(1LL << 40), QStringLiteral("1099511627776"));
}

TEST(SmallHelpers, RemoveItemAtPathRemovesFoldersButNotThroughLinks)
{
    const QString folder = tj::test::freshFolder();
    QDir().mkpath(folder + QStringLiteral("/sub/deeper"));
    touch(folder + QStringLiteral("/sub/deeper/f"));
    const QString outside = tj::test::freshFolder();
    touch(outside + QStringLiteral("/keep"));
    QFile::link(outside, folder + QStringLiteral("/link"));

    removeItemAtPath(folder + QStringLiteral("/link"));
    EXPECT_TRUE(QFile::exists(outside + QStringLiteral("/keep")));
    EXPECT_FALSE(QFileInfo(folder + QStringLiteral("/link")).isSymLink());
    removeItemAtPath(folder + QStringLiteral("/sub"));
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/sub")));
    removeItemAtPath(folder + QStringLiteral("/never-there"));
}

TEST(Resources, FindsShippedFilesAndNeverLeavesTheResourceFolder)
{
    const QString readme = ResourcePath(QStringLiteral("README.md"));
    ASSERT_FALSE(readme.isEmpty());
    EXPECT_TRUE(QFileInfo(readme).isFile());
    EXPECT_TRUE(ResourcePath(QStringLiteral("no/such/resource.png")).isEmpty());
    EXPECT_TRUE(ResourcePath(QStringLiteral("../CMakeLists.txt")).isEmpty());
    EXPECT_TRUE(ResourcePath(QStringLiteral("pictures/../../CMakeLists.txt")).isEmpty());
    EXPECT_TRUE(ResourcePath(QStringLiteral("/etc/passwd")).isEmpty());
}
