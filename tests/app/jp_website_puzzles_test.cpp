#include "app/jp_website_puzzles.h"
#include "play/jp_pref_controller.h"
#include "services/website_catalogue.h"
#include "services/website_publisher.h"
#include "services/wrenmoor_server.h"
#include "services/zip_writer.h"
#include "support/cc_logger.h"
#include "support/helpers.h"
#include "support/property_list.h"

#include "services/http_test_server.h"
#include "test_support.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using tj::test::HttpTestResponse;
using tj::test::HttpTestServer;
using tj::test::readFile;
using tj::test::waitEvents;
using tj::test::waitFor;
using namespace std::chrono_literals;

namespace {

void savePicture(const QString &path, QColor colour)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(700, 600, QImage::Format_RGB32);
    image.fill(colour);
    QPainter(&image).fillRect(100, 100, 300, 200, Qt::white);
    ASSERT_TRUE(image.save(path));
}

QByteArray jpegThumbnail()
{
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return data;
}

int logCount(const QString &text)
{
    return int(QString::fromUtf8(readFile(CCLogger::defaultLogPath())).count(text));
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A server folder made by the publishing code once for all tests: three pictures in two
// categories.
QString publishedServer()
{
    static const QString folder = [] {
        const QString source = tj::test::freshFolder(QStringLiteral("pictures"));
        const QString server = tj::test::freshFolder(QStringLiteral("server"));
        savePicture(source + QStringLiteral("/Animals/red_panda.jpg"), Qt::red);
        savePicture(source + QStringLiteral("/Animals/kingfisher.jpg"), Qt::blue);
        savePicture(source + QStringLiteral("/Pets/old_dog.png"), Qt::darkYellow);
        const WebsitePublishResult result = PublishWebsite(source, server, QStringLiteral("thumbs-1"));
        EXPECT_TRUE(result.ok) << result.error.toStdString();
        return server;
    }();
    return folder;
}

// Stands in for the new-puzzle dialog: holds the candidates and records what it was told.
class WebsitePuzzlesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        server.serveFolder(publishedServer());
        qputenv(kWrenmoorServerVariable, server.baseUrl().toUtf8());
        support = tj::test::freshFolder(QStringLiteral("support"));
        website = std::make_unique<JPWebsitePuzzles>(&prefs, support);
        QObject::connect(website.get(), &JPWebsitePuzzles::catalogueLoaded, [this] {
            EXPECT_TRUE(website->justLoadedPlist());
            identify();
        });
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

    void TearDown() override
    {
        website.reset();
        qunsetenv(kWrenmoorServerVariable);
    }

    void identify()
    {
        candidates.clear();
        website->identifyWebsitePuzzles(candidates);
    }

    // Waits until no download runs, then a little longer for anything late.
    void settle()
    {
        EXPECT_TRUE(waitFor([this] { return !website->isDownloading(); }, 20000));
        tj::test::drainEvents();
    }

    // First use of the source: catalogue, then archive.
    void firstUse()
    {
        identify();
        settle();
        ASSERT_EQ(candidates.size(), 3);
        ASSERT_TRUE(failures.isEmpty());
        server.clearRequests();
    }

    PuzzleCandidate candidate(const QString &file) const
    {
        for (const PuzzleCandidate &each : candidates) {
            if (each.file == file)
                return each;
        }
        return {};
    }

    QString thumbnails() const { return website->thumbnailFolder(); }

    HttpTestServer server;
    JPPrefController prefs;
    QString support;
    std::unique_ptr<JPWebsitePuzzles> website;
    QList<PuzzleCandidate> candidates;
    int reloads = 0;
    bool spinner = false;
    QStringList failures;
    QStringList pictures;
    QList<PuzzleCandidate> pickedCandidates;
};

const QString kCatalogueFailure = QStringLiteral(
    "I could not determine which puzzles are available on the Wrenmoor website. Please check your Internet "
    "connection, or try again later.");

}

TEST_F(WebsitePuzzlesTest, FirstUseFetchesCatalogueThenArchiveThenShowsThumbnails)
{
    identify();
    EXPECT_TRUE(website->loadingWebsiteInfo());
    EXPECT_TRUE(spinner);
    EXPECT_EQ(reloads, 1) << "the grid shows that the catalogue is loading";
    EXPECT_TRUE(candidates.isEmpty());
    settle();

    EXPECT_EQ(server.requestedPaths(),
              (QStringList{QStringLiteral("/puzzles/website.plist"), QStringLiteral("/puzzles/thumbs-1.zip")}));
    EXPECT_FALSE(website->loadingWebsiteInfo());
    EXPECT_FALSE(spinner);
    EXPECT_TRUE(failures.isEmpty());
    ASSERT_EQ(candidates.size(), 3);
    for (const PuzzleCandidate &each : candidates)
        EXPECT_FALSE(website->thumbnailFor(each).isNull()) << each.file.toStdString();
    EXPECT_EQ(readFile(website->catalogueFile()),
              readFile(publishedServer() + QStringLiteral("/puzzles/website.plist")));
    EXPECT_EQ(prefs.websiteZipName(), QStringLiteral("thumbs-1"));
    EXPECT_EQ(prefs.lastWebsiteDate(), DayIndexForToday());
    EXPECT_TRUE(filesIn(QDir::tempPath()).filter(QStringLiteral(".zip")).isEmpty()) << "the archive is not left behind";
}

TEST_F(WebsitePuzzlesTest, SameDayDownloadsNothingAndANewDayOnlyTheCatalogue)
{
    firstUse();
    identify();
    settle();
    EXPECT_EQ(candidates.size(), 3);
    EXPECT_EQ(server.requestCount(), 0);

    prefs.setLastWebsiteDate(20000101);
    identify();
    settle();
    EXPECT_EQ(server.requestedPaths(), QStringList{QStringLiteral("/puzzles/website.plist")});
    EXPECT_EQ(candidates.size(), 3);
    EXPECT_EQ(prefs.lastWebsiteDate(), DayIndexForToday());

    // A missing thumbnail brings the same archive again.
    server.clearRequests();
    QFile::remove(QDir(thumbnails()).filePath(QStringLiteral("kingfisher_thumb.jpg")));
    identify();
    settle();
    EXPECT_EQ(server.requestedPaths(), QStringList{QStringLiteral("/puzzles/thumbs-1.zip")});
    EXPECT_FALSE(website->thumbnailFor(candidate(QStringLiteral("kingfisher"))).isNull());
}

TEST_F(WebsitePuzzlesTest, ACatalogueNamingANewArchiveReplacesTheThumbnails)
{
    firstUse();
    const QVariantList catalogue = {
        QVariantMap{{kFileKey, QStringLiteral("heron")},
                    {kNameKey, QStringLiteral("Heron")},
                    {kCatKey, QStringLiteral("Animals")},
                    {kSizeKey, QStringLiteral("{700, 600}")}},
        QStringLiteral("thumbs-2"),
    };
    server.route(QStringLiteral("/puzzles/website.plist"), HttpTestResponse::ok(PropertyListToXml(catalogue).value()));
    server.route(QStringLiteral("/puzzles/thumbs-2.zip"),
                 HttpTestResponse::ok(MakeZipArchive({{QStringLiteral("heron_thumb.jpg"), jpegThumbnail()}}).value()));
    prefs.setLastWebsiteDate(20000101);
    identify();
    settle();
    EXPECT_EQ(server.requestedPaths(),
              (QStringList{QStringLiteral("/puzzles/website.plist"), QStringLiteral("/puzzles/thumbs-2.zip")}));
    ASSERT_EQ(candidates.size(), 1);
    EXPECT_EQ(filesIn(thumbnails()), QStringList{QStringLiteral("heron_thumb.jpg")});
    EXPECT_EQ(prefs.websiteZipName(), QStringLiteral("thumbs-2"));
}

TEST_F(WebsitePuzzlesTest, TheLatestPictureDownloadWinsAndHandsOverAJpgFile)
{
    firstUse();
    HttpTestResponse slow = HttpTestResponse::ok("late");
    slow.delayMs = 400;
    server.route(QStringLiteral("/puzzles/Animals/red_panda.jpg"), slow);
    website->downloadFile(QStringLiteral("red_panda.jpg"), candidate(QStringLiteral("red_panda")));
    EXPECT_TRUE(spinner);
    EXPECT_FALSE(website->loadingWebsiteInfo());
    ASSERT_TRUE(waitFor([this] { return server.requestCount() == 1; }, 5000));
    const PuzzleCandidate dog = candidate(QStringLiteral("old_dog"));
    website->downloadFile(QStringLiteral("old_dog.jpg"), dog);
    settle();
    waitEvents(600); // past the moment the first answer arrives
    EXPECT_EQ(
        server.requestedPaths(),
        (QStringList{QStringLiteral("/puzzles/Animals/red_panda.jpg"), QStringLiteral("/puzzles/Pets/old_dog.jpg")}));
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_TRUE(pictures[0].endsWith(QStringLiteral(".jpg")));
    EXPECT_EQ(readFile(pictures[0]), readFile(publishedServer() + QStringLiteral("/puzzles/Pets/old_dog.jpg")));
    EXPECT_EQ(pickedCandidates[0].puzzleDict(), dog.puzzleDict());
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_FALSE(spinner);
    QFile::remove(pictures[0]);

    // Cancelling works the same way.
    website->downloadFile(QStringLiteral("red_panda.jpg"), candidate(QStringLiteral("red_panda")));
    website->cancelDownload();
    EXPECT_FALSE(spinner);
    waitEvents(600);
    EXPECT_EQ(pictures.size(), 1);
    EXPECT_TRUE(failures.isEmpty());
}

TEST_F(WebsitePuzzlesTest, FailedDownloadsKeepWhatIsInPlaceAndSayWhy)
{
    firstUse();
    const QByteArray catalogue = readFile(website->catalogueFile());
    const QStringList thumbnailFiles = filesIn(thumbnails());
    const PuzzleCandidate dog = candidate(QStringLiteral("old_dog"));
    const int64_t date = 20000101;

    HttpTestResponse endless = HttpTestResponse::behaving(HttpTestResponse::Behaviour::Endless);
    HttpTestResponse stall = HttpTestResponse::behaving(HttpTestResponse::Behaviour::StallBeforeHeaders);
    website->setDownloadTimeout(300ms);
    for (const HttpTestResponse &answer : {HttpTestResponse::withStatus(500), HttpTestResponse::withStatus(404),
                                           endless, stall, HttpTestResponse::ok("not a property list"),
                                           HttpTestResponse::ok(PropertyListToXml(QVariantMap()).value())}) {
        server.route(QStringLiteral("/puzzles/website.plist"), answer);
        failures.clear();
        prefs.setLastWebsiteDate(date);
        identify();
        settle();
        EXPECT_EQ(readFile(website->catalogueFile()), catalogue);
        EXPECT_EQ(filesIn(thumbnails()), thumbnailFiles);
        EXPECT_EQ(prefs.lastWebsiteDate(), date);
        if (answer.status == 200 && answer.behaviour == HttpTestResponse::Behaviour::Normal)
            EXPECT_TRUE(failures.isEmpty()) << "a damaged catalogue is logged, not shown";
        else
            EXPECT_EQ(failures, QStringList{kCatalogueFailure});
    }

    failures.clear();
    server.route(QStringLiteral("/puzzles/Pets/old_dog.jpg"), HttpTestResponse::withStatus(404));
    website->downloadFile(QStringLiteral("old_dog.jpg"), dog);
    settle();
    EXPECT_EQ(failures,
              QStringList{QStringLiteral(
                  "The puzzle \"Old Dog\" could not be downloaded from the Wrenmoor website. Please check "
                  "your Internet connection, or try another puzzle.")});
    EXPECT_TRUE(pictures.isEmpty());
}

TEST_F(WebsitePuzzlesTest, HostileArchiveEntriesLandInTheThumbnailFolderOnly)
{
    firstUse();
    const QByteArray jpeg = jpegThumbnail();
    // Absolute, but inside the test's own home, so a faulty reader can't touch the real system.
    const QString absolute = tj::test::freshFolder(QStringLiteral("outside")) + QStringLiteral("/y_thumb.jpg");
    const QVariantList catalogue = {
        QVariantMap{{kFileKey, QStringLiteral("x")}},
        QVariantMap{{kFileKey, QStringLiteral("y")}},
        QVariantMap{{kFileKey, QStringLiteral("z")}},
        QStringLiteral("hostile"),
    };
    server.route(QStringLiteral("/puzzles/website.plist"), HttpTestResponse::ok(PropertyListToXml(catalogue).value()));
    server.route(QStringLiteral("/puzzles/hostile.zip"),
                 HttpTestResponse::ok(MakeZipArchive({{QStringLiteral("../x_thumb.jpg"), jpeg},
                                                      {absolute, jpeg},
                                                      {QStringLiteral("deep/../../z_thumb.jpg"), jpeg},
                                                      {QStringLiteral(".."), jpeg},
                                                      {QStringLiteral("shout_thumb.JPG"), jpeg},
                                                      {QStringLiteral("note.txt"), "text"},
                                                      {QStringLiteral("dir/"), QByteArray()}})
                                          .value()));
    prefs.setLastWebsiteDate(20000101);
    identify();
    settle();
    EXPECT_EQ(
        filesIn(thumbnails()),
        (QStringList{QStringLiteral("x_thumb.jpg"), QStringLiteral("y_thumb.jpg"), QStringLiteral("z_thumb.jpg")}));
    EXPECT_EQ(filesIn(support), QStringList{QStringLiteral("website.plist")});
    EXPECT_EQ(QDir(support).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("!Website Thumbnails")});
    EXPECT_FALSE(QFile::exists(absolute));
    EXPECT_FALSE(QFile::exists(QDir(support).filePath(QStringLiteral("../x_thumb.jpg"))));

    // An archive that doesn't open, or yields no picture, leaves the thumbnails and the stored
    // name as they were.
    const QByteArray cutJpeg = jpeg.left(jpeg.size() / 2);
    const QList<QByteArray> useless = {
        "PK but no archive",
        MakeZipArchive({{QStringLiteral("note.txt"), "text"}, {QStringLiteral("dir/"), QByteArray()}}).value(),
        MakeZipArchive({{QStringLiteral("x_thumb.jpg"), "not a picture"}, {QStringLiteral("y_thumb.jpg"), cutJpeg}})
            .value(),
    };
    server.route(
        QStringLiteral("/puzzles/website.plist"),
        HttpTestResponse::ok(PropertyListToXml(QVariantList{catalogue[0], QStringLiteral("damaged")}).value()));
    for (const QByteArray &archive : useless) {
        server.route(QStringLiteral("/puzzles/damaged.zip"), HttpTestResponse::ok(archive));
        prefs.setLastWebsiteDate(20000101);
        identify();
        settle();
        EXPECT_EQ(filesIn(thumbnails()).size(), 3);
        EXPECT_FALSE(website->thumbnailFor(candidate(QStringLiteral("x"))).isNull());
        EXPECT_EQ(prefs.websiteZipName(), QStringLiteral("hostile"));
    }
    EXPECT_EQ(QDir(support).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("!Website Thumbnails"), QStringLiteral("website.plist")}));
}

TEST_F(WebsitePuzzlesTest, DamagedCataloguesAreRefusedWithoutLooping)
{
    const int logged = logCount(QStringLiteral("Couldn't load website.plist"));
    server.route(QStringLiteral("/puzzles/website.plist"), HttpTestResponse::ok("<plist><dict><key>a"));
    identify();
    settle();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_FALSE(QFile::exists(website->catalogueFile()));
    EXPECT_EQ(logCount(QStringLiteral("Couldn't load website.plist")), logged + 1);

    // Only unusable entries: stored, but listed as nothing and never fetched again at once.
    const QVariantList hostile = {
        QVariantMap{{kFileKey, QStringLiteral("../../escape")}},
        QVariantMap{{kFileKey, QVariantList{1, 2}}},
        QVariantMap{{kFileKey, QStringLiteral("ok")}, {kCatKey, QStringLiteral("../Pets")}},
        QVariantMap{{kFileKey, QStringLiteral("ok")}, {kSizeKey, 12}},
        42,
        QStringLiteral("thumbs-9"),
    };
    server.route(QStringLiteral("/puzzles/website.plist"), HttpTestResponse::ok(PropertyListToXml(hostile).value()));
    server.clearRequests();
    identify();
    settle();
    EXPECT_EQ(server.requestedPaths(), QStringList{QStringLiteral("/puzzles/website.plist")});
    EXPECT_TRUE(candidates.isEmpty());
    EXPECT_EQ(logCount(QStringLiteral("Couldn't load website.plist")), logged + 2);
}

TEST_F(WebsitePuzzlesTest, TheAdvancedUsersLocalFolderComesFirst)
{
    firstUse();
    prefs.setAdvancedAndLocal(true);
    const QString local = JPWebsitePuzzles::localPictureFolder() + QStringLiteral("/Pets/old_dog.jpg");
    EXPECT_TRUE(local.startsWith(QDir::homePath() + QStringLiteral("/!Midden/Jigsaw Photos/")));
    savePicture(local, Qt::gray);
    website->downloadFile(QStringLiteral("old_dog.jpg"), candidate(QStringLiteral("old_dog")));
    ASSERT_EQ(pictures.size(), 1) << "handed over at once";
    EXPECT_EQ(readFile(pictures[0]), readFile(local));
    EXPECT_NE(pictures[0], local);
    EXPECT_EQ(server.requestCount(), 0);
    QFile::remove(pictures[0]);

    EXPECT_FALSE(website->downloadLocalFile(QStringLiteral("../old_dog.jpg"), {}));
    PuzzleCandidate climbing;
    climbing.cat = QStringLiteral("..");
    EXPECT_FALSE(website->downloadLocalFile(QStringLiteral("old_dog.jpg"), climbing));
    // Not in the local folder: downloaded as usual.
    website->downloadFile(QStringLiteral("red_panda.jpg"), candidate(QStringLiteral("red_panda")));
    settle();
    EXPECT_EQ(server.requestedPaths(), QStringList{QStringLiteral("/puzzles/Animals/red_panda.jpg")});
    ASSERT_EQ(pictures.size(), 2);
    QFile::remove(pictures[1]);
}

TEST_F(WebsitePuzzlesTest, DestroyingTheSourceMidDownloadIsQuiet)
{
    server.route(QStringLiteral("/puzzles/website.plist"),
                 HttpTestResponse::behaving(HttpTestResponse::Behaviour::Endless));
    identify();
    ASSERT_TRUE(waitFor([this] { return server.requestCount() == 1; }, 5000));
    const int reloadsBefore = reloads;
    website.reset();
    waitEvents(100);
    EXPECT_EQ(reloads, reloadsBefore);
    EXPECT_TRUE(failures.isEmpty());
}
