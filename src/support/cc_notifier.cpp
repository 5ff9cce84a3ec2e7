#include "support/cc_notifier.h"

#include <QCoreApplication>
#include <QTimer>

CCNotifier *CCNotifier::sharedInstance()
{
    static CCNotifier *const notifier = [] {
        auto *created = new CCNotifier;
        if (QCoreApplication *app = QCoreApplication::instance())
            created->moveToThread(app->thread());
        return created;
    }();
    return notifier;
}

void CCNotifier::post(const QString &name, QObject *sender)
{
    Q_EMIT posted(name, sender);
}

void CCNotifier::postWhenIdle(const QString &name)
{
    if (m_queued.contains(name))
        return;
    m_queued.insert(name);
    QTimer::singleShot(0, this, [this, name] {
        m_queued.remove(name);
        post(name);
    });
}
