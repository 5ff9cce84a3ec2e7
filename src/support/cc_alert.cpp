#include "support/cc_alert.h"

#include "support/log.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <cstdio>

namespace {

bool onMainThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// The headless form of an alert: a log record and a line on standard error.
void writeAlert(const CCAlertRequest &request)
{
    QString text = request.message;
    if (!request.moreInfo.isEmpty())
        text += QLatin1Char(' ') + request.moreInfo;
    LogString(text);
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

}

CCAlert *CCAlert::sharedInstance()
{
    static CCAlert alert;
    return &alert;
}

int CCAlert::giveAlertMessage(const QString &message, const QString &moreInfo, const QStringList &buttonStrings,
                              bool *suppressFutureAlerts)
{
    CCAlertRequest request{message, moreInfo, buttonStrings, suppressFutureAlerts != nullptr};
    return showModal(request, suppressFutureAlerts, false);
}

int CCAlert::showModal(const CCAlertRequest &request, bool *suppress, bool isRetry)
{
    if (suppress)
        *suppress = false;
    CCAlertPresenter *shower = presenter();
    if (!shower) {
        writeAlert(request);
        return kAlertFirstButton;
    }
    if (onMainThread()) {
        if (const std::optional<int> tag = shower->runModal(request, suppress))
            return *tag;
    }
    // A retry that fails again is not posted a third time.
    if (request.buttonStrings.isEmpty() && !isRetry && QCoreApplication::instance()) {
        postRetry(request);
        return 0;
    }
    writeAlert(request);
    return kAlertFirstButton;
}

void CCAlert::postRetry(const CCAlertRequest &request)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, request] {
            CCAlertRequest retry = request;
            retry.showSuppressButton = false;
            showModal(retry, nullptr, true);
        },
        Qt::QueuedConnection);
}

void CCAlert::giveAlertWithStrings(const QStringList &strings)
{
    CCAlertRequest request;
    request.message = strings.value(0);
    request.moreInfo = strings.value(1);
    if (!QCoreApplication::instance()) {
        writeAlert(request);
        return;
    }
    postRetry(request);
}

void CCAlert::startAlertMessage(const QString &message, const QString &moreInfo, const QStringList &buttonStrings,
                                bool showSuppressButton, QObject *hostWindow, Completion completion)
{
    CCAlertRequest request{message, moreInfo, buttonStrings, showSuppressButton};
    QCoreApplication *app = QCoreApplication::instance();
    if (app && !onMainThread()) {
        QMetaObject::invokeMethod(
            app,
            [this, request, hostWindow = QPointer<QObject>(hostWindow), completion] {
                startAlertMessage(request.message, request.moreInfo, request.buttonStrings, request.showSuppressButton,
                                  hostWindow, completion);
            },
            Qt::QueuedConnection);
        return;
    }
    auto done = [completion](int tag, bool suppress) {
        if (completion)
            completion(tag, suppress);
    };
    CCAlertPresenter *shower = presenter();
    if (shower && shower->beginSheet(request, hostWindow, done))
        return;
    writeAlert(request);
    // The caller expects the answer after this call returns, as with a real sheet.
    if (app)
        QMetaObject::invokeMethod(
            app, [done] { done(kAlertFirstButton, false); }, Qt::QueuedConnection);
    else
        done(kAlertFirstButton, false);
}
