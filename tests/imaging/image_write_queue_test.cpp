#include "imaging/image_write_queue.h"
#include "support/cc_logger.h"

#include "test_support.h"

#include <QFile>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

using namespace tj::test;

QImage pictureOfWidth(int width)
{
    QImage image(width, 1, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    return image;
}

// A writer that notes what it is asked to write and can be held at the door.
class HeldWriter
{
public:
    bool write(const QString &path, const QImage &image)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(hold, [this] { return !m_held; });
        m_written.emplace_back(path, image.width());
        return true;
    }
    void hold()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_held = true;
        m_entered = false;
    }
    void waitUntilEntered()
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [this] { return m_entered; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_held = false;
        m_changed.notify_all();
    }
    std::vector<std::pair<QString, int>> written()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_written;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_entered = false;
    std::vector<std::pair<QString, int>> m_written;
};

}

TEST(ImageWriteQueue, OnlyTheLatestPictureOfAFileIsWrittenAndWaitsAreByFolder)
{
    HeldWriter writer;
    CCImageWriteQueue queue([&](const QString &path, const QImage &image, const PngTexts &) { return writer.write(path, image); });
    writer.hold();
    queue.writePng(QStringLiteral("/a/Pieces/5001.png"), pictureOfWidth(1), {}, QString());
    writer.waitUntilEntered();
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

    writer.release();
    queue.waitForFolder(QStringLiteral("/a/Pieces"));
    const auto afterA = writer.written();
    ASSERT_GE(afterA.size(), 2u);
    EXPECT_EQ(afterA[0], std::make_pair(QStringLiteral("/a/Pieces/5001.png"), 1));
    EXPECT_EQ(afterA[1], std::make_pair(QStringLiteral("/a/Pieces/5001.png"), 4));
    queue.waitForAll();
    EXPECT_EQ(writer.written().size(), 3u);
    EXPECT_EQ(writer.written().back(), std::make_pair(QStringLiteral("/b/Pieces/5001.png"), 7));
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
