#include "app/jp_website_puzzles.h"
#include "play/jp_pref_controller.h"
#include "services/zip_writer.h"
#include "support/helpers.h"
#include "support/property_list.h"
#include "support/puzzle_keys.h"

#include "app_fixtures_a.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include <gtest/gtest.h>

using tj::test::HttpTestResponse;
using tj::test::readFile;
using tj::test::waitFor;

namespace {

constexpr int64_t kLongAgo = 20000101;

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The server paths of files named in a space-separated list.
QStringList served(const QString &names)
{
    QStringList paths;
    for (const QString &name : names.split(QLatin1Char(' ')))
        paths << QStringLiteral("/puzzles/") + name;
    return paths;
}

// Stands in for the new-puzzle dialog: holds the candidates and records what it was told.
class WebsitePuzzlesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.started);
        QObject::connect(website.get(), &JPWebsitePuzzles::catalogueLoaded, [this] { identify(); });
        QObject::connect(website.get(), &JPWebsitePuzzles::reloadGrid, [this] { ++reloads; });
        QObject::connect(website.get(), &JPWebsitePuzzles::spinnerChanged, [this](bool on) { spinner = on; });
        QObject::connect(website.get(), &JPWebsitePuzzles::downloadFailed,
                         [this](const QString &title, const QString &text) {
                             EXPECT_EQ(title, QStringLiteral("Website download failed."));
                             failures << text;
                         });
        QObject::connect(website.get(), &JPWebsitePuzzles::pictureReady,
                         [this](const QString &path, const PuzzleCandidate &picked) {
                             pictures << path;
                             pickedCandidates << picked;
                         });
    }

    void identify()
    {
        candidates.clear();
        website->identifyWebsitePuzzles(candidates);
    }

    // Waits until no download runs, then for anything already posted.
    void settle()
    {
        EXPECT_TRUE(waitFor([this] { return !website->isDownloading(); }, 20000));
        tj::test::drainEvents();
    }

    // Lists the source as the dialog does, the last check of the catalogue having been on day.
    void refresh(int64_t day = 0)
    {
        if (day)
            prefs.setLastWebsiteDate(day);
        identify();
        settle();
    }

    // First use of the source: catalogue, then archive.
    void firstUse()
    {
        refresh();
        ASSERT_EQ(candidates.size(), 3);
        ASSERT_TRUE(failures.isEmpty());
        server.clearRequests();
    }

    // The server answers for the file of that name under puzzles/.
    void route(const QString &name, HttpTestResponse answer) { server.route(served(name)[0], std::move(answer)); }
    void serveCatalogue(const QVariantList &catalogue)
    {
        route(QStringLiteral("website.plist"), HttpTestResponse::ok(PropertyListToXml(catalogue).value()));
    }

    PuzzleCandidate candidate(const QString &file) const
    {
        const auto found = std::ranges::find(candidates, file, &PuzzleCandidate::file);
        return found == candidates.end() ? PuzzleCandidate() : *found;
    }

    tj::test::WebsiteServer server;
    JPPrefController prefs;
    const QString support = tj::test::freshFolder(QStringLiteral("support"));
    std::unique_ptr<JPWebsitePuzzles> website = std::make_unique<JPWebsitePuzzles>(&prefs, support);
    QList<PuzzleCandidate> candidates;
    int reloads = 0;
    bool spinner = false;
    QStringList failures;
    QStringList pictures;
    QList<PuzzleCandidate> pickedCandidates;
};

}

TEST_F(WebsitePuzzlesTest, FirstUseFetchesCatalogueThenArchiveAndLaterDaysOnlyTheCatalogue)
{
    identify();
    EXPECT_TRUE(website->loadingWebsiteInfo() && spinner);
    EXPECT_EQ(reloads, 1) << "the grid shows that the catalogue is loading";
    EXPECT_TRUE(candidates.isEmpty());
    settle();

    EXPECT_EQ(server.requestedPaths(), served(QStringLiteral("website.plist thumbs-1.zip")));
    EXPECT_FALSE(website->loadingWebsiteInfo() || spinner || !failures.isEmpty());
    ASSERT_EQ(candidates.size(), 3);
    for (const PuzzleCandidate &each : candidates)
        EXPECT_FALSE(website->thumbnailFor(each).isNull()) << each.file.toStdString();
    EXPECT_EQ(readFile(website->catalogueFile()),
              readFile(tj::test::PublishedWebsite() + served(QStringLiteral("website.plist"))[0]));
    EXPECT_EQ(prefs.websiteZipName(), QStringLiteral("thumbs-1"));
    EXPECT_EQ(prefs.lastWebsiteDate(), DayIndexForToday());
    EXPECT_TRUE(filesIn(QDir::tempPath()).filter(QStringLiteral(".zip")).isEmpty()) << "the archive is not left behind";

    // The same day downloads nothing, a new day only the catalogue.
    server.clearRequests();
    refresh();
    EXPECT_EQ(candidates.size(), 3);
    EXPECT_EQ(server.requestCount(), 0);

    refresh(kLongAgo);
    EXPECT_EQ(server.requestedPaths(), served(QStringLiteral("website.plist")));
    EXPECT_EQ(candidates.size(), 3);
    EXPECT_EQ(prefs.lastWebsiteDate(), DayIndexForToday());

    // A missing thumbnail brings the same archive again.
    server.clearRequests();
    QFile::remove(QDir(website->thumbnailFolder()).filePath(QStringLiteral("kingfisher_thumb.jpg")));
    refresh();
    EXPECT_EQ(server.requestedPaths(), served(QStringLiteral("thumbs-1.zip")));
    EXPECT_FALSE(website->thumbnailFor(candidate(QStringLiteral("kingfisher"))).isNull());
}

TEST_F(WebsitePuzzlesTest, TheLatestPictureDownloadWinsAndHandsOverACopyAsAJpgFile)
{
    firstUse();
    route(QStringLiteral("Animals/red_panda.jpg"), {.body = "late", .delayMs = 400});
    website->downloadFile(QStringLiteral("red_panda.jpg"), candidate(QStringLiteral("red_panda")));
    EXPECT_TRUE(spinner && !website->loadingWebsiteInfo());
    ASSERT_TRUE(waitFor([this] { return server.requestCount() == 1; }, 5000));
    const PuzzleCandidate dog = candidate(QStringLiteral("old_dog"));
    website->downloadFile(QStringLiteral("old_dog.jpg"), dog);
    settle();
    // The superseded request ends (dropped, or answered late) before anything is checked.
    const QString panda = served(QStringLiteral("Animals/red_panda.jpg"))[0];
    ASSERT_TRUE(waitFor([&] { return server.closedCount(panda) == 1; }, 5000));
    tj::test::drainEvents();
    EXPECT_EQ(server.requestedPaths(), served(QStringLiteral("Animals/red_panda.jpg Pets/old_dog.jpg")));
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_TRUE(pictures[0].endsWith(QStringLiteral(".jpg")));
    EXPECT_EQ(readFile(pictures[0]),
              readFile(tj::test::PublishedWebsite() + served(QStringLiteral("Pets/old_dog.jpg"))[0]));
    EXPECT_EQ(pickedCandidates[0].puzzleDict(), dog.puzzleDict());
    EXPECT_FALSE(spinner || !failures.isEmpty());
    QFile::remove(pictures[0]);

    // Cancelling works the same way.
    website->downloadFile(QStringLiteral("red_panda.jpg"), candidate(QStringLiteral("red_panda")));
    website->cancelDownload();
    EXPECT_FALSE(spinner);
    // A cancelled request may never reach the server; one that did must have ended.
    tj::test::drainEvents();
    ASSERT_TRUE(waitFor([&] { return server.closedCount(panda) == server.requestCount(panda); }, 5000));
    tj::test::drainEvents();
    EXPECT_TRUE(pictures.size() == 1 && failures.isEmpty());

    // An advanced user's local folder comes first, and only plain names are looked up there.
    pictures.clear();
    server.clearRequests();
    prefs.setAdvancedAndLocal(true);
    const QString local = JPWebsitePuzzles::localPictureFolder() + QStringLiteral("/Pets/old_dog.jpg");
    tj::test::writeFile(local, readFile(tj::test::WriteTestPicture(700, 600)));
    website->downloadFile(QStringLiteral("old_dog.jpg"), dog);
    ASSERT_EQ(pictures.size(), 1) << "handed over at once";
    EXPECT_EQ(readFile(pictures[0]), readFile(local));
    EXPECT_NE(pictures[0], local);
    EXPECT_EQ(server.requestCount(), 0);

    EXPECT_FALSE(website->downloadLocalFile(QStringLiteral("../old_dog.jpg"), {}));
    PuzzleCandidate climbing;
    climbing.cat = QStringLiteral("..");
    EXPECT_FALSE(website->downloadLocalFile(QStringLiteral("old_dog.jpg"), climbing));
    QFile::remove(pictures[0]);
}

TEST_F(WebsitePuzzlesTest, FailedDownloadsKeepWhatIsInPlaceAndSayWhy)
{
    firstUse();
    const QByteArray catalogue = readFile(website->catalogueFile());
    const QStringList thumbnailFiles = filesIn(website->thumbnailFolder());
    const PuzzleCandidate dog = candidate(QStringLiteral("old_dog"));
    website->setDownloadTimeout(std::chrono::milliseconds(300));
    for (const HttpTestResponse &answer : {HttpTestResponse::withStatus(500), HttpTestResponse::withStatus(404),
                                           HttpTestResponse::behaving(HttpTestResponse::Behaviour::Endless),
                                           HttpTestResponse::behaving(HttpTestResponse::Behaviour::StallBeforeHeaders),
                                           HttpTestResponse::ok("not a property list"),
                                           HttpTestResponse::ok(PropertyListToXml(QVariantMap()).value())}) {
        route(QStringLiteral("website.plist"), answer);
        failures.clear();
        refresh(kLongAgo);
        EXPECT_EQ(readFile(website->catalogueFile()), catalogue);
        EXPECT_EQ(filesIn(website->thumbnailFolder()), thumbnailFiles);
        EXPECT_EQ(prefs.lastWebsiteDate(), kLongAgo);
        if (answer.status == 200 && answer.behaviour == HttpTestResponse::Behaviour::Normal)
            EXPECT_TRUE(failures.isEmpty()) << "a damaged catalogue is logged, not shown";
        else
            EXPECT_EQ(failures,
                      QStringList{QStringLiteral("I could not determine which puzzles are available on the "
                                                 "Wrenmoor website. Please check your Internet connection, "
                                                 "or try again later.")});
    }

    failures.clear();
    route(QStringLiteral("Pets/old_dog.jpg"), HttpTestResponse::withStatus(404));
    website->downloadFile(QStringLiteral("old_dog.jpg"), dog);
    settle();
    EXPECT_EQ(failures,
              QStringList{QStringLiteral("The puzzle \"Old Dog\" could not be downloaded from the Wrenmoor "
                                         "website. Please check your Internet connection, or try another "
                                         "puzzle.")});
    EXPECT_TRUE(pictures.isEmpty());
}

// A catalogue naming a new archive replaces the thumbnails with the archive's, and only with
// those of its entries that are plain thumbnail names.
TEST_F(WebsitePuzzlesTest, HostileArchiveEntriesLandInTheThumbnailFolderOnly)
{
    firstUse();
    const QByteArray jpeg = readFile(tj::test::WriteTestPicture(20, 10));
    // Absolute, but inside the test's own home, so a faulty reader can't touch the real system.
    const QString absolute = tj::test::freshFolder(QStringLiteral("outside")) + QStringLiteral("/y_thumb.jpg");
    const QVariantMap x{{kFileKey, QStringLiteral("x")}};
    serveCatalogue({x, QVariantMap{{kFileKey, QStringLiteral("y")}}, QVariantMap{{kFileKey, QStringLiteral("z")}},
                    QStringLiteral("hostile")});
    QList<std::pair<QString, QByteArray>> entries{{QStringLiteral("note.txt"), "text"}, {QStringLiteral("dir/"), {}}};
    for (const QString &name : {QStringLiteral("../x_thumb.jpg"), absolute, QStringLiteral("deep/../../z_thumb.jpg"),
                                QStringLiteral(".."), QStringLiteral("shout_thumb.JPG")})
        entries.append({name, jpeg});
    route(QStringLiteral("hostile.zip"), HttpTestResponse::ok(MakeZipArchive(entries).value()));
    refresh(kLongAgo);
    EXPECT_EQ(server.requestedPaths(), served(QStringLiteral("website.plist hostile.zip")));
    EXPECT_EQ(candidates.size(), 3);
    EXPECT_EQ(filesIn(website->thumbnailFolder()),
              QStringLiteral("x_thumb.jpg y_thumb.jpg z_thumb.jpg").split(QLatin1Char(' ')));
    EXPECT_EQ(prefs.websiteZipName(), QStringLiteral("hostile"));
    EXPECT_FALSE(QFile::exists(absolute));
    const QStringList supportFiles{QStringLiteral("!Website Thumbnails"), QStringLiteral("website.plist")};
    EXPECT_EQ(QDir(support).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), supportFiles);

    // An archive that doesn't open, or yields no picture, leaves the thumbnails and the stored
    // name as they were.
    serveCatalogue({x, QStringLiteral("damaged")});
    for (const QByteArray &archive :
         {QByteArray("PK but no archive"),
          MakeZipArchive({{QStringLiteral("note.txt"), "text"}, {QStringLiteral("dir/"), QByteArray()}}).value(),
          MakeZipArchive({{QStringLiteral("x_thumb.jpg"), "not a picture"},
                          {QStringLiteral("y_thumb.jpg"), jpeg.left(jpeg.size() / 2)}})
              .value()}) {
        route(QStringLiteral("damaged.zip"), HttpTestResponse::ok(archive));
        refresh(kLongAgo);
        EXPECT_EQ(filesIn(website->thumbnailFolder()).size(), 3);
        EXPECT_FALSE(website->thumbnailFor(candidate(QStringLiteral("x"))).isNull());
        EXPECT_EQ(prefs.websiteZipName(), QStringLiteral("hostile"));
    }
    EXPECT_EQ(QDir(support).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), supportFiles);
}

TEST_F(WebsitePuzzlesTest, DamagedCataloguesAreRefusedWithoutLooping)
{
    route(QStringLiteral("website.plist"), HttpTestResponse::ok("<plist><dict><key>a"));
    refresh();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_FALSE(QFile::exists(website->catalogueFile()));

    // Only unusable entries: stored, but listed as nothing and never fetched again at once.
    serveCatalogue({QVariantMap{{kFileKey, QStringLiteral("../../escape")}},
                    QVariantMap{{kFileKey, QVariantList{1, 2}}},
                    QVariantMap{{kFileKey, QStringLiteral("ok")}, {kCatKey, QStringLiteral("../Pets")}},
                    QVariantMap{{kFileKey, QStringLiteral("ok")}, {kSizeKey, 12}}, 42, QStringLiteral("thumbs-9")});
    server.clearRequests();
    refresh();
    EXPECT_EQ(server.requestedPaths(), served(QStringLiteral("website.plist")));
    EXPECT_TRUE(candidates.isEmpty());
}

TEST_F(WebsitePuzzlesTest, DestroyingTheSourceMidDownloadIsQuiet)
{
    route(QStringLiteral("website.plist"), HttpTestResponse::behaving(HttpTestResponse::Behaviour::Endless));
    identify();
    ASSERT_TRUE(waitFor([this] { return server.requestCount() == 1; }, 5000));
    const int reloadsBefore = reloads;
    website.reset();
    tj::test::drainEvents();
    EXPECT_EQ(reloads, reloadsBefore);
    EXPECT_TRUE(failures.isEmpty());
}
