#pragma once

#include "imaging/png_writer.h"

#include <QImage>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

// Writes PNG files on one background thread, each atomically: a reader, or a crash midway,
// finds the old file or the whole new one. A picture queued for a path whose previous picture
// is still waiting takes its place, so a file changed several times in a row is written once,
// with the latest picture. Whoever relies on the files of a folder (saving the document that
// names them, deleting them, closing, quitting) waits for that folder first.
//
// Any thread may queue and wait. A queued picture shares its pixels with the caller until it
// is written, so changing them before then costs the caller a copy.
class CCImageWriteQueue
{
public:
    // Writes one file; false when it failed.
    using Writer = std::function<bool(const QString &path, const QImage &image, const PngTexts &texts)>;

    explicit CCImageWriteQueue(Writer writer = WritePngAtomically);
    // Finishes every queued write.
    ~CCImageWriteQueue();
    CCImageWriteQueue(const CCImageWriteQueue &) = delete;
    CCImageWriteQueue &operator=(const CCImageWriteQueue &) = delete;

    // The queue the game's pictures go through.
    static CCImageWriteQueue &sharedInstance();

    // Queues image as a PNG file at path, with texts as tEXt chunks. When the write fails,
    // failureLog goes to the application log and the file at path is removed, so that no
    // older picture stands in for this one.
    void writePng(const QString &path, const QImage &image, PngTexts texts, const QString &failureLog);
    // Drops the write waiting for path; one already under way is finished.
    void cancel(const QString &path);
    // Returns once no write of a file inside folder is waiting or under way.
    void waitForFolder(const QString &folder);
    void waitForAll();
    // How many writes have been made (failed ones included) and how many were dropped
    // because a newer picture or a cancel replaced them.
    uint64_t writesMade() const;
    uint64_t writesDropped() const;

private:
    struct Job
    {
        QImage image;
        PngTexts texts;
        QString failureLog;
    };
    void run();
    bool busyWith(const QString &prefix) const;

    Writer m_writer;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<QString> m_order;
    std::map<QString, Job> m_waiting;
    QString m_current;
    uint64_t m_made = 0;
    uint64_t m_dropped = 0;
    bool m_stopping = false;
    std::thread m_thread;
};
