#pragma once

// Helpers for test programs with widgets.

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace tj::test {

// Answers the next modal dialog of type Dialog once it is on screen: call it before running
// what opens the dialog. The watcher goes away after answering, or unanswered after ms.
template <typename Dialog> void whenModal(std::function<void(Dialog *)> answer, int ms = 20000)
{
    auto *watcher = new QTimer(qApp);
    watcher->setInterval(5);
    const QDeadlineTimer deadline(ms);
    QObject::connect(watcher, &QTimer::timeout, watcher, [watcher, answer, deadline] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog && !deadline.hasExpired())
            return;
        watcher->stop();
        watcher->deleteLater();
        if (dialog)
            answer(dialog);
    });
    watcher->start();
}

}
