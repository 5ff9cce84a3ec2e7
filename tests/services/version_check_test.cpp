#include "services/version_check.h"

#include "services_fixtures.h"

#include <algorithm>

using namespace tj::test;

namespace {

std::optional<VersionCheckResult> check(const QStringList &links, const QString &running = QStringLiteral("2.1.5"))
{
    return checkForNewVersion(downloadsPage(links), QString::fromLatin1(kAppExecutableName), running);
}

}

TEST(VersionCheck, LinkVersions)
{
    const std::pair<const char *, const char *> links[] = {
        {"jigsaw_2103.dmg", "2.1.3"},
        {"Jigsaw_219999.zip", "2.1.9999"},
        {"jigsaw_300.dmg", "3.0"},
        {"jigsaw_301.dmg", "3.0.1"},
    };
    for (const auto &[link, version] : links) {
        const std::optional<AppVersion> read = VersionFromLink(QString::fromLatin1(link), QStringLiteral("jigsaw"));
        EXPECT_EQ(read ? read->displayString() : QString(), QString::fromLatin1(version)) << link;
    }
    for (const char *refused : {"write_300.dmg", "jigsaw_ab1.dmg", "jigsaw_2a1.dmg", "jigsaw_21x.zip",
                                "jigsaw_2112345.dmg", "jigsaw_21.dmg", "jigsaw_300.dmg.sh", "jigsaw_300.DMG",
                                "jigsaw300.dmg", "x/jigsaw_300.dmg", "jigsaw_300.tar", "jigsaw_3 00.zip"})
        EXPECT_FALSE(VersionFromLink(QString::fromLatin1(refused), QStringLiteral("jigsaw"))) << refused;
    EXPECT_FALSE(VersionFromLink(QStringLiteral("_300.dmg"), QString()));
}

TEST(VersionCheck, RunningVersionText)
{
    const std::pair<const char *, AppVersion> texts[] = {
        {"2.1b2", {2, 1, 0}}, {"2.1.b2", {2, 1, 0}}, {"3", {3, 0, 0}}, {"1.0.7", {1, 0, 7}}, {" 2.\t+1", {2, 1, 0}}};
    for (const auto &[text, version] : texts)
        EXPECT_EQ(ParseRunningVersion(QString::fromLatin1(text)), version) << text;
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
    EXPECT_FALSE(checkForNewVersion(downloadsPage({QStringLiteral("jigsaw_300.dmg")}), QStringLiteral("Jigsaw"),
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
            const QString extension = random.bounded(2) ? QStringLiteral("dmg") : QStringLiteral("zip");
            links << QStringLiteral("jigsaw_%1%2%3.%4").arg(v.major).arg(v.minor).arg(v.patch).arg(extension);
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
    // Equal versions keep the first link.
    EXPECT_EQ(check({QStringLiteral("jigsaw_300.zip"), QStringLiteral("jigsaw_300.dmg")})->updateLink,
              QStringLiteral("jigsaw_300.zip"));
}
