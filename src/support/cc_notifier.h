#pragma once

#include "support/notification_names.h"

#include <QObject>
#include <QSet>
#include <QString>

// Process-wide named notifications (their names are in notification_names.h). Observers
// connect to posted() and compare the name; a post from another thread reaches observers
// living on the main thread through the event loop.
class CCNotifier : public QObject
{
    Q_OBJECT

public:
    // Created on first use and never destroyed; lives on the application's main thread.
    static CCNotifier *sharedInstance();

    void post(const QString &name, QObject *sender = nullptr);
    // Posts name once the event loop is idle; posts of the same name before then are one.
    void postWhenIdle(const QString &name);

Q_SIGNALS:
    void posted(const QString &name, QObject *sender);

private:
    CCNotifier() = default;

    QSet<QString> m_queued;
};
