#include "support/cc_notifier.h"

#include <QCoreApplication>

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
