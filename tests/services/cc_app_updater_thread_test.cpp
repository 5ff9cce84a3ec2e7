#include "services/cc_app_updater_thread.h"
#include "services/jp_website_downloader.h"
#include "support/cc_logger.h"

#include "services_fixtures.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QThread>

using namespace tj::test;
using Behaviour = HttpTestResponse::Behaviour;
using namespace std::chrono_literals;

namespace {

// An update download into a file of the test's choosing; check mode hands the page to examine.
class TestDownload : public CCAppUpdaterThread
{
public:
    TestDownload(const QUrl &url, QString to, bool check = false)
        : CCAppUpdaterThread(url, check)
        , destination(std::move(to))
    {
    }

    const QString destination;
    std::function<bool(const QString &)> examine;
    using CCAppUpdaterThread::setDownloadPath;

protected:
    QString decideDestination(const QString &) override { return destination; }
    bool examineDownload(const QString &path) override { return examine(path); }
};

class DownloadThreadTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        folder = freshFolder(QStringLiteral("downloads"));
        target = folder + QStringLiteral("/file.bin");
    }

    // Runs the download to its end on this thread's event loop; the finished signals seen.
    QList<bool> runToEnd(CCAppUpdaterThread &download, int waitMs = 20000)
    {
        QList<bool> results;
        QObject::connect(&download, &CCAppUpdaterThread::finished, [&](bool success) {
            results.append(success);
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        });
        download.start();
        EXPECT_TRUE(waitFor([&] { return !results.isEmpty(); }, waitMs));
        drainEvents(); // a second report would show up here
        return results;
    }

    QStringList leftovers() const { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

    QString folder;
    QString target;
};

}

TEST_F(DownloadThreadTest, CompleteBodyIsWrittenAndCounted)
{
    const QByteArray body = randomBytes(700 * 1024 + 13);
    server.route(QStringLiteral("/with"), HttpTestResponse::ok(body));
    server.route(QStringLiteral("/without"), {.body = body, .sendContentLength = false});

    for (const auto &[path, declared] :
         {std::pair{QStringLiteral("/with"), qint64(body.size())}, std::pair{QStringLiteral("/without"), qint64(0)}}) {
        TestDownload download(server.url(path), target);
        qint64 lastDone = 0;
        bool progressOrdered = true;
        QObject::connect(&download, &CCAppUpdaterThread::progressed, [&](qint64 done, qint64 total) {
            progressOrdered = progressOrdered && done >= lastDone && total == declared && (total == 0 || done <= total);
            lastDone = done;
        });
        EXPECT_EQ(runToEnd(download), QList<bool>{true}) << path.toStdString();
        download.cancel(); // too late: changes nothing
        EXPECT_TRUE(download.isFinished() && download.wasSuccessful() && !download.isExecuting());
        EXPECT_EQ(download.downloadPath(), target);
        EXPECT_EQ(readFile(target), body);
        EXPECT_EQ(download.totalLength(), declared);
        EXPECT_EQ(download.doneLength(), body.size());
        EXPECT_TRUE(progressOrdered);
        EXPECT_EQ(leftovers(), QStringList{QStringLiteral("file.bin")}) << "no stray temporary file";
    }
}

TEST_F(DownloadThreadTest, EveryBadAnswerFailsOnceAndKeepsAnOlderFile)
{
    const struct
    {
        const char *path;
        HttpTestResponse answer;
        qint64 maximumSize = 1 << 20;
    } cases[] = {
        {"/404", HttpTestResponse::withStatus(404)},
        {"/500", HttpTestResponse::withStatus(500)},
        {"/302-nowhere", HttpTestResponse::withStatus(302, "no location")},
        {"/to-missing", HttpTestResponse::redirect("/missing", 301)},
        {"/declared-too-big", HttpTestResponse::ok(QByteArray(5000, 'a')), 4096},
        {"/undeclared-too-big", {.body = QByteArray(5000, 'b'), .sendContentLength = false}, 4096},
        {"/endless", {.behaviour = Behaviour::Endless}, 2 << 20},
        // The connection closes 1000 bytes early.
        {"/short", {.body = QByteArray(3000, 'c'), .declaredLength = 4000}},
        {"/silent", {.behaviour = Behaviour::StallBeforeHeaders}},
        {"/partial", {.body = QByteArray(1000, 'p'), .behaviour = Behaviour::StallAfterHeaders, .bodyBytesSent = 400}},
        // Redirects are followed five times at most.
        {"/hop6", HttpTestResponse::redirect("/hop5")},
    };
    server.route(QStringLiteral("/hop0"), HttpTestResponse::ok("arrived"));
    for (int i = 1; i <= 5; ++i)
        server.route(QStringLiteral("/hop%1").arg(i), HttpTestResponse::redirect("/hop" + QByteArray::number(i - 1)));
    writeFile(target, "previous version");
    for (const auto &bad : cases) {
        const QString path = QString::fromLatin1(bad.path);
        server.route(path, bad.answer);
        TestDownload download(server.url(path), target);
        download.setMaximumSize(bad.maximumSize);
        download.setTimeout(400ms);
        EXPECT_EQ(runToEnd(download, 15000), QList<bool>{false}) << bad.path;
        EXPECT_TRUE(download.isFinished() && !download.wasSuccessful() && download.downloadPath().isEmpty())
            << bad.path;
        EXPECT_FALSE(download.errorString().isEmpty()) << bad.path;
        EXPECT_LE(download.doneLength(), download.maximumSize()) << bad.path;
        EXPECT_EQ(leftovers(), QStringList{QStringLiteral("file.bin")}) << bad.path;
        EXPECT_EQ(readFile(target), QByteArray("previous version")) << bad.path;
    }
    EXPECT_TRUE(
        QString::fromUtf8(readFile(CCLogger::defaultLogPath()))
            .contains(QStringLiteral("Download %1 failed: ").arg(server.url(QStringLiteral("/500")).toString())));

    TestDownload five(server.url(QStringLiteral("/hop5")), target);
    EXPECT_EQ(runToEnd(five), QList<bool>{true});
    EXPECT_EQ(readFile(target), QByteArray("arrived"));
    // Any 2xx is a success, also an empty one, and replaces the older file.
    server.route(QStringLiteral("/204"), HttpTestResponse::withStatus(204, QByteArray()));
    TestDownload empty(server.url(QStringLiteral("/204")), target);
    EXPECT_EQ(runToEnd(empty), QList<bool>{true});
    EXPECT_TRUE(readFile(target).isEmpty());
}

TEST_F(DownloadThreadTest, CancellingOrDestroyingStopsTheTransferAndRemovesTheFile)
{
    server.route(QStringLiteral("/slow"), {.body = QByteArray(2000, 's'), .delayMs = 300});
    server.route(QStringLiteral("/endless"), {.behaviour = Behaviour::Endless});
    server.route(QStringLiteral("/silent"), {.behaviour = Behaviour::StallBeforeHeaders});
    for (const bool destroy : {false, true})
        for (const QString &path : {QStringLiteral("/slow"), QStringLiteral("/endless"), QStringLiteral("/silent")}) {
            SCOPED_TRACE(path.toStdString() + (destroy ? " destroyed" : " cancelled"));
            server.clearRequests();
            const int closed = server.closedCount(path);
            auto download = std::make_unique<TestDownload>(server.url(path), target);
            QList<bool> results;
            QObject::connect(download.get(), &CCAppUpdaterThread::finished, [&](bool ok) { results.append(ok); });
            download->start();
            ASSERT_TRUE(waitFor([&] { return server.requestCount(path) == 1; }, 5000));
            if (path == QLatin1String("/endless")) {
                ASSERT_TRUE(waitFor([&] { return download->doneLength() > 0; }, 5000));
            }
            if (destroy) {
                download.reset();
            } else {
                download->cancel();
                EXPECT_TRUE(download->isFinished() && download->isCancelled() && !download->wasSuccessful());
            }
            // Nothing can arrive once the server has seen the connection close.
            ASSERT_TRUE(waitFor([&] { return server.closedCount(path) == closed + 1; }));
            drainEvents();
            EXPECT_EQ(results, destroy ? QList<bool>{} : QList<bool>{false});
            EXPECT_TRUE(leftovers().isEmpty());
        }
}

TEST_F(DownloadThreadTest, CheckModeExaminesThePageOnTheMainThreadThenRemovesIt)
{
    const QByteArray page = "<a href=\"jigsaw_220.zip\">";
    server.route(QStringLiteral("/downloads"), HttpTestResponse::ok(page));
    for (const bool accepted : {true, false}) {
        TestDownload check(server.url(QStringLiteral("/downloads")), target, true);
        QByteArray seen;
        QThread *examinedOn = nullptr;
        check.examine = [&](const QString &path) {
            seen = readFile(path);
            examinedOn = QThread::currentThread();
            check.setDownloadPath(QStringLiteral("http://example.invalid/jigsaw_220.zip"));
            return accepted;
        };
        EXPECT_EQ(runToEnd(check), QList<bool>{accepted});
        EXPECT_EQ(examinedOn, QCoreApplication::instance()->thread());
        EXPECT_EQ(seen, page);
        const QString offered = accepted ? QStringLiteral("http://example.invalid/jigsaw_220.zip") : QString();
        EXPECT_EQ(check.downloadPath(), offered);
        EXPECT_FALSE(QFile::exists(target));
    }
}

TEST_F(DownloadThreadTest, ServerAddressComesFromTheEnvironment)
{
    qunsetenv(kWrenmoorServerVariable);
    EXPECT_EQ(WrenmoorServerBase(), QUrl(QStringLiteral("https://wrenmoor.example")));
    for (const char *bad : {"ftp://host/", "not a url", "http://", "http://host/?q=1"}) {
        qputenv(kWrenmoorServerVariable, bad);
        EXPECT_EQ(WrenmoorServerBase(), QUrl(QStringLiteral("https://wrenmoor.example"))) << bad;
    }
    qputenv(kWrenmoorServerVariable, "http://127.0.0.1:8123/mirror/");
    EXPECT_EQ(WrenmoorServerUrl(QStringLiteral("/puzzles/Pets/a b#1?.jpg")).toString(QUrl::FullyEncoded),
              QStringLiteral("http://127.0.0.1:8123/mirror/puzzles/Pets/a%20b%231%3F.jpg"));

    qputenv(kWrenmoorServerVariable, server.baseUrl().toUtf8());
    EXPECT_EQ(JPWebsiteDownloader::addressForFileName(QStringLiteral("Pets/cat.jpg")),
              server.url(QStringLiteral("/puzzles/Pets/cat.jpg")));
    for (const QString &bad : {QString(), QStringLiteral("../x.jpg"), QStringLiteral("Pets/../../x.jpg"),
                               QStringLiteral("Pets//x.jpg"), QStringLiteral("/etc/x.jpg"), QStringLiteral("a\\b.jpg")})
        EXPECT_FALSE(JPWebsiteDownloader::addressForFileName(bad).isValid()) << bad.toStdString();

    JPWebsiteDownloader refused(QStringLiteral("../x.jpg"), {}, 1);
    EXPECT_EQ(runToEnd(refused), QList<bool>{false});
    EXPECT_EQ(server.requestCount(), 0);
}
