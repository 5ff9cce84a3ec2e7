#pragma once

// Helpers the test programs share: waiting on a condition instead of a fixed pause, standing
// in for the programs that open links, and reading and writing small files.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QUrl>

namespace tj::test {

// Runs this thread's events until done() holds or ms milliseconds have passed; done()'s answer.
template <typename Predicate> bool waitFor(Predicate done, int ms = 10000)
{
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// Delivers every event already posted to this thread, deferred deletions included, so that a
// report that must not come would have come by now.
inline void drainEvents()
{
    QCoreApplication::sendPostedEvents(nullptr, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// While it lives, the links the program opens (browser, mail program, file browser) are
// recorded here instead of being opened.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    explicit UrlRecorder(const QStringList &schemes = {QStringLiteral("file"), QStringLiteral("http"),
                                                       QStringLiteral("https"), QStringLiteral("mailto")});
    ~UrlRecorder() override;

    // Opening links of scheme fails from now on, as when no program takes them.
    void refuse(const QString &scheme);

    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }

private:
    QStringList m_schemes;
};

// Writes bytes to path, making its folder first; a failure fails the test.
void writeFile(const QString &path, const QByteArray &bytes);
// The file's bytes; empty when it can't be read.
QByteArray readFile(const QString &path);

}
