#include "support/paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

// Names from files and downloads are joined to a folder; only a plain name stays inside it.
TEST(PlainFileName, OnlyANameThatStaysInsideItsFolderIsPlain)
{
    const struct
    {
        QString name;
        bool plain;
    } cases[] = {
        {QStringLiteral("red_panda"), true},
        {QStringLiteral("photo.tar.zip"), true},
        {QStringLiteral("Blüte 2"), true},
        {QStringLiteral("a..b"), true},
        {QString(), false},
        {QStringLiteral("."), false},
        {QStringLiteral(".."), false},
        {QStringLiteral(".hidden"), false},
        {QStringLiteral("../escape"), false},
        {QStringLiteral("Pets/dog"), false},
        {QStringLiteral("dir/"), false},
        {QStringLiteral("/etc/passwd"), false},
        {QStringLiteral("..\\escape"), false},
        {QStringLiteral("C:dog"), false},
        {QStringLiteral("tab\there"), false},
        {QStringLiteral("bell\x7f"), false},
    };
    for (const auto &each : cases)
        EXPECT_EQ(IsPlainFileName(each.name), each.plain) << each.name.toStdString();
}
