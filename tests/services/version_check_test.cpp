#include "services/version_check.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>

namespace {

QByteArray pageLinking(const QStringList &links)
{
    QByteArray page = "<html><body><h1>Downloads</h1>\n";
    for (const QString &link : links)
        page += "<p><a href=\"" + link.toUtf8() + "\">" + link.toUtf8() + "</a></p>\n";
    return page + "</body></html>\n";
}

std::optional<VersionCheckResult> check(const QStringList &links, const QString &running = QStringLiteral("2.1.5"))
{
    return checkForNewVersion(pageLinking(links), QString::fromLatin1(kAppExecutableName), running);
}

}

TEST(VersionCheck, OffersOnlyANewerFile)
{
    const auto offered = check({QStringLiteral("jigsaw_216.dmg"), QStringLiteral("jigsaw_220.zip")});
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->updateLink, QStringLiteral("jigsaw_220.zip"));
    EXPECT_EQ(offered->version, (AppVersion{2, 2, 0}));
    EXPECT_EQ(offered->version.displayString(), QStringLiteral("2.2"));

    const auto same = check({QStringLiteral("jigsaw_215.dmg")});
    ASSERT_TRUE(same) << "a page naming the running version is a successful check";
    EXPECT_TRUE(same->updateLink.isEmpty());
    EXPECT_EQ(same->version, (AppVersion{2, 1, 5}));
}

TEST(VersionCheck, LinkVersions)
{
    const QString name = QStringLiteral("jigsaw");
    EXPECT_EQ(VersionFromLink(QStringLiteral("jigsaw_2103.dmg"), name), (AppVersion{2, 1, 3}));
    EXPECT_EQ(VersionFromLink(QStringLiteral("Jigsaw_219999.zip"), name), (AppVersion{2, 1, 9999}));
    EXPECT_EQ(VersionFromLink(QStringLiteral("jigsaw_300.dmg"), name)->displayString(), QStringLiteral("3.0"));
    EXPECT_EQ(VersionFromLink(QStringLiteral("jigsaw_301.dmg"), name)->displayString(), QStringLiteral("3.0.1"));

    for (const char *refused : {"write_300.dmg", "jigsaw_ab1.dmg", "jigsaw_2a1.dmg", "jigsaw_21x.zip",
                                "jigsaw_2112345.dmg", "jigsaw_21.dmg", "jigsaw_300.dmg.sh", "jigsaw_300.DMG",
                                "jigsaw300.dmg", "x/jigsaw_300.dmg", "jigsaw_300.tar", "jigsaw_3 00.zip"})
        EXPECT_FALSE(VersionFromLink(QString::fromLatin1(refused), name)) << refused;
    EXPECT_FALSE(VersionFromLink(QStringLiteral("_300.dmg"), QString()));
}

TEST(VersionCheck, RunningVersionText)
{
    EXPECT_EQ(ParseRunningVersion(QStringLiteral("2.1b2")), (AppVersion{2, 1, 0}));
    EXPECT_EQ(ParseRunningVersion(QStringLiteral("2.1.b2")), (AppVersion{2, 1, 0}));
    EXPECT_EQ(ParseRunningVersion(QStringLiteral("3")), (AppVersion{3, 0, 0}));
    EXPECT_EQ(ParseRunningVersion(QStringLiteral("1.0.7")), (AppVersion{1, 0, 7}));
    EXPECT_FALSE(ParseRunningVersion(QStringLiteral("1.2.3.4")));

    // Four components make every check fail, however new the page.
    EXPECT_FALSE(check({QStringLiteral("jigsaw_999.dmg")}, QStringLiteral("1.2.3.4")));
    // A pre-release of 2.1 is older than 2.1.1.
    EXPECT_EQ(check({QStringLiteral("jigsaw_211.dmg")}, QStringLiteral("2.1b2"))->updateLink,
              QStringLiteral("jigsaw_211.dmg"));
    // An absurd running version stays comparable instead of overflowing.
    EXPECT_TRUE(check({QStringLiteral("jigsaw_999.dmg")}, QStringLiteral("99999999999.9.9"))->updateLink.isEmpty());
}

TEST(VersionCheck, PageThatOffersNothing)
{
    EXPECT_FALSE(check({}));
    EXPECT_FALSE(check({QStringLiteral("write_300.dmg"), QStringLiteral("jigsaw_ab1.dmg")}));
    EXPECT_FALSE(checkForNewVersion("<a href=\"jigsaw_300.dmg\">\xff\xfe</a>", QStringLiteral("Tobbin Jigsaw"),
                                    QStringLiteral("2.1.5")))
        << "a page that is not UTF-8";
    EXPECT_FALSE(checkForNewVersion(pageLinking({QStringLiteral("jigsaw_300.dmg")}), QStringLiteral("Jigsaw"),
                                    QStringLiteral("2.1.5")))
        << "a program outside the family has no short name";
    EXPECT_FALSE(checkForNewVersion("<a href=\"jigsaw_300.dmg", QStringLiteral("Tobbin Jigsaw"), QStringLiteral("1")))
        << "an unterminated link";
}

TEST(VersionCheck, AnchorsInAnyCase)
{
    const QByteArray page = "<A HREF=\"jigsaw_230.zip\">a</A> <a hReF=\"JIGSAW_240.dmg\">b</a>"
                            "<a class=\"x\" href=\"jigsaw_990.dmg\">not scanned</a>";
    const auto result = checkForNewVersion(page, QStringLiteral("Tobbin Jigsaw Deluxe"), QStringLiteral("2.2"));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->updateLink, QStringLiteral("JIGSAW_240.dmg"));
}

TEST(VersionCheck, NewestCandidateWinsWhateverTheOrder)
{
    QRandomGenerator random(20240314);
    for (int round = 0; round < 200; ++round) {
        QStringList links;
        AppVersion newest{-1, 0, 0};
        const int count = 1 + int(random.bounded(6));
        for (int i = 0; i < count; ++i) {
            const AppVersion v{int(random.bounded(10)), int(random.bounded(10)), int(random.bounded(10000))};
            links << QStringLiteral("jigsaw_%1%2%3.%4")
                         .arg(v.major)
                         .arg(v.minor)
                         .arg(v.patch)
                         .arg(random.bounded(2) ? QStringLiteral("dmg") : QStringLiteral("zip"));
            if (v.ordinal() > newest.ordinal())
                newest = v;
            if (random.bounded(3) == 0)
                links << QStringLiteral("other_%1.dmg").arg(random.bounded(1000, 9999));
        }
        std::shuffle(links.begin(), links.end(), random);
        const auto result = check(links, QStringLiteral("4.5.6"));
        ASSERT_TRUE(result) << links.join(u' ').toStdString();
        EXPECT_EQ(result->version, newest) << links.join(u' ').toStdString();
        EXPECT_EQ(result->updateLink.isEmpty(), newest.ordinal() <= (AppVersion{4, 5, 6}).ordinal());
        if (!result->updateLink.isEmpty()) {
            EXPECT_EQ(VersionFromLink(result->updateLink, QStringLiteral("jigsaw")), newest);
        }
    }
}

TEST(VersionCheck, EqualVersionsKeepTheFirstLink)
{
    const auto result = check({QStringLiteral("jigsaw_300.zip"), QStringLiteral("jigsaw_300.dmg")});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->updateLink, QStringLiteral("jigsaw_300.zip"));
}
