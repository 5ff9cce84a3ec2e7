#include "services/website_catalogue.h"
#include "services/website_publisher.h"
#include "services/zip_writer.h"
#include "support/cc_unzipper.h"

#include "services_fixtures.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>

using namespace tj::test;

namespace {

// A picture of the given size at path; PNG pictures keep an alpha channel.
void savePicture(const QString &path, int width, int height)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(MakeTestPicture(width, height).save(path));
}

// An independent reader's verdict: Python's zip module checks every entry's CRC.
void expectPythonAccepts(const QString &archive)
{
    const QString script =
        QStringLiteral("import sys, zipfile\nsys.exit(1 if zipfile.ZipFile(sys.argv[1]).testzip() else 0)");
    EXPECT_EQ(QProcess::execute(QStringLiteral("python3"), {QStringLiteral("-c"), script, archive}), 0);
}

}

TEST(ZipWriter, ArchivesReadBackEntryForEntry)
{
    EXPECT_EQ(ZipCrc32("123456789"), 0xCBF43926u) << "the standard CRC-32 check value";
    EXPECT_EQ(ZipCrc32("6789", ZipCrc32("12345")), ZipCrc32("123456789"));

    const QByteArray noise = randomBytes(50000);
    QByteArray text;
    for (int i = 0; text.size() < 60000; ++i)
        text += "Line " + QByteArray::number(i) + " of a catalogue-like text, " + QByteArray::number(i * 7919 % 1000)
            + "\n";
    const QList<std::pair<QString, QByteArray>> entries = {
        {QStringLiteral("text_thumb.jpg"), text},    {QStringLiteral("dense"), QByteArray(70000, 'a') + "tail"},
        {QStringLiteral("noise.bin"), noise},        {QStringLiteral("sub/ünïcode name.jpg"), QByteArray("short")},
        {QStringLiteral("empty.jpg"), QByteArray()},
    };
    const std::optional<QByteArray> archive = MakeZipArchive(entries);
    ASSERT_TRUE(archive);
    EXPECT_LT(archive->size(), text.size() / 2 + 70004 + 50000 + 1000) << "the text is deflated";

    const QString path = freshFolder() + QStringLiteral("/written.zip");
    writeFile(path, *archive);
    std::unique_ptr<CCUnzipper> reader = CCUnzipper::initWithFile(path);
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->numberOfFiles(), uint64_t(entries.size()));
    for (uint64_t i = 0; i < uint64_t(entries.size()); ++i) {
        const auto &[name, bytes] = entries[qsizetype(i)];
        EXPECT_EQ(reader->filePathAtIndex(i), name);
        // The reader yields nothing for empty entries.
        EXPECT_EQ(reader->copyDataOfFileAtIndex(i), bytes.isEmpty() ? std::nullopt : std::optional(bytes))
            << name.toStdString();
    }
    expectPythonAccepts(path);

    EXPECT_FALSE(MakeZipArchive({{QString(), QByteArray("x")}}));
}

class PublisherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        source = freshFolder(QStringLiteral("pictures"));
        server = freshFolder(QStringLiteral("server"));
        savePicture(source + QStringLiteral("/Animals/red_panda.jpg"), 2400, 1600);
        writeFile(source + QStringLiteral("/Animals/red_panda.txt"), "A red panda\n  in a tree.\n");
        savePicture(source + QStringLiteral("/Flowers/red_panda.png"), 900, 1400);
        savePicture(source + QStringLiteral("/Pets/cat-on mat.png"), 800, 600);
        savePicture(source + QStringLiteral("/Pets/tiny.jpg"), 448, 448);
        savePicture(source + QStringLiteral("/Pets/.hidden.jpg"), 800, 600);
        savePicture(source + QStringLiteral("/Cars/racer.jpg"), 800, 600);
        writeFile(source + QStringLiteral("/Pets/broken.jpg"), "not a picture");
        writeFile(source + QStringLiteral("/Pets/notes.txt"), "not a picture either");
    }

    QString source;
    QString server;
};

TEST_F(PublisherTest, ServerFolderHoldsCatalogueArchiveAndPictures)
{
    const WebsitePublishResult result = PublishWebsite(source, server);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.pictures, 3);
    EXPECT_EQ(result.warnings.size(), 2) << "tiny.jpg and broken.jpg";

    const std::optional<WebsiteCatalogue> catalogue =
        ReadWebsiteCatalogue(server + QStringLiteral("/puzzles/website.plist"));
    ASSERT_TRUE(catalogue);
    EXPECT_EQ(catalogue->archiveName, result.archiveName);
    ASSERT_EQ(catalogue->pictures.size(), 3);
    QStringList files;
    QList<QSize> sizes;
    for (const QVariantMap &entry : catalogue->pictures) {
        EXPECT_TRUE(IsUsableWebsitePicture(entry));
        files << entry.value(kCatKey).toString() + QLatin1Char('/') + entry.value(kFileKey).toString();
        QImageReader picture(server + QStringLiteral("/puzzles/") + files.last() + QStringLiteral(".jpg"));
        EXPECT_EQ(picture.format(), QByteArray("jpeg"));
        sizes << picture.size();
        EXPECT_EQ(entry.value(kSizeKey),
                  QStringLiteral("{%1, %2}").arg(sizes.last().width()).arg(sizes.last().height()));
        EXPECT_LE(std::max(sizes.last().width(), sizes.last().height()), 2000);
    }
    EXPECT_EQ(files,
              (QStringList{QStringLiteral("Animals/red_panda"), QStringLiteral("Flowers/red_panda-2"),
                           QStringLiteral("Pets/cat-on mat")}));
    const QVariantMap &panda = catalogue->pictures[0];
    EXPECT_EQ(panda.value(kNameKey), QStringLiteral("Red Panda"));
    EXPECT_EQ(panda.value(kDescKey), QStringLiteral("A red panda in a tree."));
    EXPECT_EQ(panda.value(kSizeKey), QStringLiteral("{2000, 1333}"));
    EXPECT_EQ(catalogue->pictures[2].value(kNameKey), QStringLiteral("Cat On Mat"));

    const QString archivePath = server + QStringLiteral("/puzzles/") + result.archiveName + QStringLiteral(".zip");
    std::unique_ptr<CCUnzipper> archive = CCUnzipper::initWithFile(archivePath);
    ASSERT_TRUE(archive);
    ASSERT_EQ(archive->numberOfFiles(), 3u);
    for (uint64_t i = 0; i < 3; ++i) {
        const QVariantMap &entry = catalogue->pictures[qsizetype(i)];
        EXPECT_EQ(archive->filePathAtIndex(i), WebsiteThumbnailName(entry.value(kFileKey).toString()));
        QImage thumbnail;
        ASSERT_TRUE(thumbnail.loadFromData(archive->copyDataOfFileAtIndex(i).value_or(QByteArray()), "JPEG"));
        const QSize full = sizes[qsizetype(i)];
        EXPECT_EQ(std::max(thumbnail.width(), thumbnail.height()), 200);
        EXPECT_NEAR(double(thumbnail.width()) / thumbnail.height(), double(full.width()) / full.height(), 0.02);
    }
    expectPythonAccepts(archivePath);

    EXPECT_FALSE(readFile(server + QStringLiteral("/downloads/index.html")).toLower().contains("href"));
    EXPECT_TRUE(QFile::exists(server + QStringLiteral("/news/index.html")));
}

TEST_F(PublisherTest, ArchiveNameFollowsTheThumbnails)
{
    writeFile(server + QStringLiteral("/news/index.html"), "<p>3/14/2024: the maker's own news</p>");
    const WebsitePublishResult first = PublishWebsite(source, server);
    const WebsitePublishResult again = PublishWebsite(source, server);
    ASSERT_TRUE(first.ok && again.ok);
    EXPECT_EQ(first.archiveName, again.archiveName);

    savePicture(source + QStringLiteral("/Pets/cat-on mat.png"), 1200, 600);
    const WebsitePublishResult changed = PublishWebsite(source, server);
    ASSERT_TRUE(changed.ok);
    EXPECT_NE(changed.archiveName, first.archiveName);
    const WebsitePublishResult named = PublishWebsite(source, server, QStringLiteral("spring"));
    ASSERT_TRUE(named.ok);
    EXPECT_EQ(named.archiveName, QStringLiteral("spring"));
    EXPECT_EQ(QDir(server + QStringLiteral("/puzzles")).entryList({QStringLiteral("*.zip")}),
              QStringList{QStringLiteral("spring.zip")})
        << "older archives are removed";

    EXPECT_TRUE(readFile(server + QStringLiteral("/news/index.html")).contains("the maker's own news"));
}

TEST_F(PublisherTest, RefusesWhatCanNotBeServed)
{
    for (const QString &bad : {QStringLiteral("../up"), QStringLiteral("a/b"), QStringLiteral("thumbs.zip")})
        EXPECT_FALSE(PublishWebsite(source, server, bad).ok) << bad.toStdString();
    const QString empty = freshFolder(QStringLiteral("empty"));
    const WebsitePublishResult nothing = PublishWebsite(empty, server);
    EXPECT_FALSE(nothing.ok);
    EXPECT_FALSE(nothing.error.isEmpty());
    EXPECT_FALSE(QFile::exists(server + QStringLiteral("/puzzles/website.plist")));
    EXPECT_FALSE(PublishWebsite(source + QStringLiteral("/missing"), server).ok);
}
