#include "services/cc_app_updater_thread.h"

#include "services/wrenmoor_server.h"
#include "support/helpers.h"
#include "support/log.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kReadBufferSize = 1024 * 1024;

bool isSuccessStatus(const QVariant &status)
{
    bool ok = false;
    const int code = status.toInt(&ok);
    return ok && code >= 200 && code < 300;
}

QString statusText(QNetworkReply *reply)
{
    const QString code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toString();
    const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    return QStringLiteral("The server answered %1 %2").arg(code, reason).trimmed();
}

}

// The download thread: owns its network manager, reply and file for the whole transfer and
// reports to the owner only by posting to the owner's thread. The owner outlives it, because
// the owner's destructor stops and joins it first.
class CCAppUpdaterThread::Runner : public QThread
{
public:
    Runner(CCAppUpdaterThread *owner, QString destination)
        : m_owner(owner)
        , m_url(owner->m_address)
        , m_destination(std::move(destination))
        , m_timeout(owner->m_timeout)
        , m_maximumSize(owner->m_maximumSize)
    {
    }

    // Set by the owner before it stops the loop, so a late failure is not logged.
    std::atomic<bool> stopping{false};
    // The file is in place at the destination.
    std::atomic<bool> committed{false};

protected:
    void run() override;

private:
    void post(bool success, const QString &error);
    void addProgress(qint64 bytes);

    CCAppUpdaterThread *const m_owner;
    const QUrl m_url;
    const QString m_destination;
    const std::chrono::milliseconds m_timeout;
    const qint64 m_maximumSize;
};

void CCAppUpdaterThread::Runner::post(bool success, const QString &error)
{
    if (!success && !stopping.load())
        LogString(QStringLiteral("Download %1 failed: %2").arg(m_url.toDisplayString(), error));
    CCAppUpdaterThread *owner = m_owner;
    QMetaObject::invokeMethod(
        owner, [owner, success, error] { owner->complete(success, error); }, Qt::QueuedConnection);
    quit();
}

void CCAppUpdaterThread::Runner::addProgress(qint64 bytes)
{
    m_owner->m_doneLength += bytes;
    // One notice at a time: a fast transfer must not flood the owner's event queue.
    if (m_owner->m_progressPending.exchange(true))
        return;
    CCAppUpdaterThread *owner = m_owner;
    QMetaObject::invokeMethod(
        owner, [owner] { owner->reportProgress(); }, Qt::QueuedConnection);
}

void CCAppUpdaterThread::Runner::run()
{
    QSaveFile file(m_destination);
    if (!file.open(QIODevice::WriteOnly)) {
        post(false, QStringLiteral("Can't write \"%1\": %2").arg(m_destination, file.errorString()));
        return;
    }

    QNetworkAccessManager manager;
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaximumRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
    request.setTransferTimeout(int(std::clamp<qint64>(m_timeout.count(), 1, std::numeric_limits<int>::max())));
    // Compressed transfers would make the received byte count disagree with Content-Length.
    request.setRawHeader("Accept-Encoding", "identity");

    QNetworkReply *reply = manager.get(request);
    reply->setReadBufferSize(kReadBufferSize);
    bool done = false;
    bool headersSeen = false;

    auto finish = [&](bool success, const QString &error) {
        if (done)
            return;
        done = true;
        if (!success) {
            // The reply is aborted once the loop has stopped, not inside one of its signals.
            file.cancelWriting();
            post(false, error);
            return;
        }
        if (!file.commit()) {
            post(false, QStringLiteral("Can't write \"%1\": %2").arg(m_destination, file.errorString()));
            return;
        }
        committed = true;
        post(true, QString());
    };

    auto takeHeaders = [&]() -> bool {
        if (headersSeen)
            return true;
        if (!isSuccessStatus(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute))) {
            finish(false, statusText(reply));
            return false;
        }
        headersSeen = true;
        const qint64 declared = std::max<qint64>(0, reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
        m_owner->m_totalLength = declared;
        m_owner->m_doneLength = 0;
        if (declared > m_maximumSize) {
            finish(false, QStringLiteral("The file is larger than %1 bytes").arg(m_maximumSize));
            return false;
        }
        return true;
    };

    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        if (done || !takeHeaders())
            return;
        const QByteArray chunk = reply->readAll();
        const qint64 received = m_owner->m_doneLength.load() + chunk.size();
        if (received > m_maximumSize) {
            finish(false, QStringLiteral("The file is larger than %1 bytes").arg(m_maximumSize));
            return;
        }
        if (file.write(chunk) != chunk.size()) {
            finish(false, QStringLiteral("Can't write \"%1\": %2").arg(m_destination, file.errorString()));
            return;
        }
        addProgress(chunk.size());
    });

    QObject::connect(reply, &QNetworkReply::finished, reply, [&] {
        if (done)
            return;
        const QNetworkReply::NetworkError error = reply->error();
        if (error == QNetworkReply::OperationCanceledError) {
            finish(false, QStringLiteral("No data arrived for %1 ms").arg(m_timeout.count()));
            return;
        }
        if (error != QNetworkReply::NoError) {
            finish(false, reply->errorString());
            return;
        }
        if (!takeHeaders())
            return;
        const QByteArray rest = reply->readAll();
        if (!rest.isEmpty()) {
            if (m_owner->m_doneLength.load() + rest.size() > m_maximumSize || file.write(rest) != rest.size()) {
                finish(false, QStringLiteral("Can't take the end of the file"));
                return;
            }
            addProgress(rest.size());
        }
        const qint64 total = m_owner->m_totalLength.load();
        const qint64 received = m_owner->m_doneLength.load();
        if (total > 0 && received != total) {
            finish(false, QStringLiteral("Received %1 of %2 bytes").arg(received).arg(total));
            return;
        }
        finish(true, QString());
    });

    exec();
    // A stopped transfer leaves the loop with the file uncommitted; QSaveFile discards it.
    if (!reply->isFinished())
        reply->abort();
}

CCAppUpdaterThread::CCAppUpdaterThread(const QUrl &address, bool checkRequest, QObject *parent)
    : QObject(parent)
    , m_address(address)
    , m_checkRequest(checkRequest)
    , m_timeout(checkRequest ? kPageTimeout : kUpdateTimeout)
    , m_maximumSize(checkRequest ? kPageSizeLimit : kFileSizeLimit)
{
}

CCAppUpdaterThread::~CCAppUpdaterThread()
{
    if (m_state == State::Executing) {
        m_cancelled = true;
        stopRunner();
    }
}

QString CCAppUpdaterThread::decideDestination(const QString &)
{
    return QDir::temp().filePath(guidString());
}

bool CCAppUpdaterThread::examineDownload(const QString &)
{
    return true;
}

void CCAppUpdaterThread::start()
{
    if (m_state != State::Ready)
        return;
    m_state = State::Executing;
    const QString scheme = m_address.scheme();
    if (!m_address.isValid() || m_address.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        m_errorString = QStringLiteral("Not a web address");
        LogString(QStringLiteral("Download %1 failed: %2").arg(m_address.toDisplayString(), m_errorString));
        finishQueued(false);
        return;
    }
    const QString destination = decideDestination(m_address.fileName());
    if (destination.isEmpty()) {
        m_errorString = QStringLiteral("No place to store the download");
        finishQueued(false);
        return;
    }
    m_downloadPath = destination;
    m_runner = std::make_unique<Runner>(this, destination);
    m_runner->start();
}

void CCAppUpdaterThread::cancel()
{
    if (m_state == State::Finished)
        return;
    m_cancelled = true;
    m_errorString = QStringLiteral("Cancelled");
    stopRunner();
    finishQueued(false);
}

void CCAppUpdaterThread::stopRunner()
{
    if (!m_runner)
        return;
    m_runner->stopping = true;
    m_runner->quit();
    m_runner->wait();
    // The transfer may have completed just before the stop; its file is not wanted now. An
    // unfinished transfer never touched the destination.
    if (m_runner->committed)
        QFile::remove(m_downloadPath);
    m_runner.reset();
}

void CCAppUpdaterThread::finishQueued(bool success)
{
    m_state = State::Finished;
    m_success = success;
    if (!success)
        m_downloadPath.clear();
    QMetaObject::invokeMethod(
        this, [this, success] { Q_EMIT finished(success); }, Qt::QueuedConnection);
}

void CCAppUpdaterThread::complete(bool success, const QString &error)
{
    // A download that was cancelled meanwhile has already reported.
    if (m_state != State::Executing)
        return;
    if (m_runner) {
        m_runner->wait();
        m_runner.reset();
    }
    m_errorString = error;
    if (success && m_checkRequest) {
        const QString page = m_downloadPath;
        m_downloadPath.clear();
        success = examineDownload(page);
        QFile::remove(page);
        if (!success && m_errorString.isEmpty())
            m_errorString = QStringLiteral("The download held nothing usable");
    }
    m_state = State::Finished;
    m_success = success;
    if (!success)
        m_downloadPath.clear();
    Q_EMIT finished(success);
}

void CCAppUpdaterThread::reportProgress()
{
    m_progressPending = false;
    if (m_state == State::Executing)
        Q_EMIT progressed(doneLength(), totalLength());
}

CCNewsUpdaterThread::CCNewsUpdaterThread(QObject *parent)
    : CCNewsUpdaterThread(WrenmoorServerUrl(QString::fromLatin1(kNewsPath)), parent)
{
}

CCNewsUpdaterThread::CCNewsUpdaterThread(const QUrl &address, QObject *parent)
    : CCAppUpdaterThread(address, false, parent)
{
    setTimeout(kPageTimeout);
    setMaximumSize(kPageSizeLimit);
}

QString CCNewsUpdaterThread::decideDestination(const QString &)
{
    return QDir::temp().filePath(guidString() + QStringLiteral(".html"));
}
