#include "imaging/image_write_queue.h"

#include "support/log.h"

#include <QFile>

#include <algorithm>

CCImageWriteQueue::CCImageWriteQueue(Writer writer)
    : m_writer(std::move(writer))
    , m_thread([this] { run(); })
{
}

CCImageWriteQueue::~CCImageWriteQueue()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

CCImageWriteQueue &CCImageWriteQueue::sharedInstance()
{
    static CCImageWriteQueue queue;
    return queue;
}

void CCImageWriteQueue::writePng(const QString &path, const QImage &image, PngTexts texts, const QString &failureLog)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        auto [at, added] = m_waiting.insert_or_assign(path, Job{image, std::move(texts), failureLog});
        if (added)
            m_order.push_back(path);
        else
            ++m_dropped;
    }
    m_wake.notify_one();
}

void CCImageWriteQueue::cancel(const QString &path)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_waiting.erase(path) == 0)
        return;
    m_order.erase(std::find(m_order.begin(), m_order.end(), path));
    ++m_dropped;
    m_done.notify_all();
}

bool CCImageWriteQueue::busyWith(const QString &prefix) const
{
    if (!m_current.isEmpty() && m_current.startsWith(prefix))
        return true;
    // Paths sharing a prefix sort together, right after the prefix itself.
    const auto next = m_waiting.lower_bound(prefix);
    return next != m_waiting.end() && next->first.startsWith(prefix);
}

void CCImageWriteQueue::waitForFolder(const QString &folder)
{
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    std::unique_lock<std::mutex> hold(m_lock);
    m_done.wait(hold, [&] { return !busyWith(prefix); });
}

void CCImageWriteQueue::waitForAll()
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_done.wait(hold, [&] { return m_waiting.empty() && m_current.isEmpty(); });
}

uint64_t CCImageWriteQueue::writesMade() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_made;
}

uint64_t CCImageWriteQueue::writesDropped() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_dropped;
}

void CCImageWriteQueue::run()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_wake.wait(hold, [&] { return m_stopping || !m_order.empty(); });
        if (m_order.empty())
            return; // stopping, with nothing left to write
        const QString path = m_order.front();
        m_order.pop_front();
        auto found = m_waiting.find(path);
        Job job = std::move(found->second);
        m_waiting.erase(found);
        m_current = path;
        hold.unlock();

        const bool written = m_writer(path, job.image, job.texts);
        if (!written) {
            QFile::remove(path);
            LogString(job.failureLog);
        }
        // The pixels go before anyone waiting is told, so a caller that waited never pays
        // for a copy of a picture already written.
        job = Job();

        hold.lock();
        m_current.clear();
        ++m_made;
        m_done.notify_all();
    }
}
