#include "imaging/image_write_queue.h"
#include "support/cc_logger.h"

#include "test_support.h"

#include <QFile>

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <vector>

namespace {

using namespace tj::test;

// Only the width matters: it tells the pictures apart.
QImage pictureOfWidth(int width)
{
    return QImage(width, 1, QImage::Format_ARGB32_Premultiplied);
}

}

TEST(ImageWriteQueue, OnlyTheLatestPictureOfAFileIsWrittenAndWaitsAreByFolder)
{
    // The first write is held at the door until the others are queued behind it.
    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();
    std::mutex lock;
    std::vector<std::pair<QString, int>> written;
    CCImageWriteQueue queue([&](const QString &path, const QImage &image, const PngTexts &) {
        std::unique_lock<std::mutex> hold(lock);
        if (written.empty()) {
            entered.set_value();
            hold.unlock();
            released.wait();
            hold.lock();
        }
        written.emplace_back(path, image.width());
        return true;
    });
    const auto writtenSoFar = [&] {
        std::lock_guard<std::mutex> hold(lock);
        return written;
    };
    queue.writePng(QStringLiteral("/a/Pieces/5001.png"), pictureOfWidth(1), {}, QString());
    entered.get_future().wait();
    // While the first is being written, three more pictures of it and one of another file.
    for (int width : {2, 3, 4})
        queue.writePng(QStringLiteral("/a/Pieces/5001.png"), pictureOfWidth(width), {}, QString());
    queue.writePng(QStringLiteral("/b/Pieces/5001.png"), pictureOfWidth(7), {}, QString());
    queue.writePng(QStringLiteral("/a/Pieces/5002.png"), pictureOfWidth(9), {}, QString());
    queue.cancel(QStringLiteral("/a/Pieces/5002.png"));
    EXPECT_EQ(queue.writesDropped(), 3u);
    // Folders with nothing to write don't wait, even beside busy ones.
    queue.waitForFolder(QStringLiteral("/c"));
    queue.waitForFolder(QStringLiteral("/a/Piece"));

    release.set_value();
    queue.waitForFolder(QStringLiteral("/a/Pieces"));
    const auto afterA = writtenSoFar();
    ASSERT_GE(afterA.size(), 2u);
    EXPECT_EQ(afterA[0], std::make_pair(QStringLiteral("/a/Pieces/5001.png"), 1));
    EXPECT_EQ(afterA[1], std::make_pair(QStringLiteral("/a/Pieces/5001.png"), 4));
    queue.waitForAll();
    EXPECT_EQ(writtenSoFar().size(), 3u);
    EXPECT_EQ(writtenSoFar().back(), std::make_pair(QStringLiteral("/b/Pieces/5001.png"), 7));
    EXPECT_EQ(queue.writesMade(), 3u);
}

TEST(ImageWriteQueue, AFailedWriteIsLoggedAndTakesTheOlderFileAway)
{
    const QString path = freshFolder() + QStringLiteral("/5001.png");
    writeFile(path, "older");
    {
        CCImageWriteQueue queue([](const QString &, const QImage &, const PngTexts &) { return false; });
        queue.writePng(path, pictureOfWidth(3), {}, QStringLiteral("Can't save image for assembly 5001 in Test"));
    }
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(readFile(CCLogger::defaultLogPath()).contains("Can't save image for assembly 5001 in Test"));
}
