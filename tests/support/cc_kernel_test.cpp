#include "support/cc_kernel.h"
#include "support/cc_notifier.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QThread>

#include <thread>

using tj::test::drainEvents;

namespace {

void setPalette(const QColor &window, const QColor &text)
{
    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    QGuiApplication::setPalette(palette);
}

}

TEST(CCKernel, AdvancedUserFollowsMarkerFile)
{
    const CCKernel *kernel = CCKernel::sharedInstance();
    const QString marker = CCKernel::advancedUserMarkerPath();
    EXPECT_EQ(marker, qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Wrenmoor/Wrenmoor Advanced User"));
    EXPECT_FALSE(kernel->isAdvancedUser());
    tj::test::writeFile(marker, QByteArray());
    EXPECT_TRUE(kernel->isAdvancedUser());
    ASSERT_TRUE(QFile::remove(marker));
    EXPECT_FALSE(kernel->isAdvancedUser());
}

TEST(CCKernel, PaletteChangesSwitchAppearanceAndNotifyOncePerChange)
{
    CCKernel *kernel = CCKernel::sharedInstance();
    setPalette(QColor(240, 240, 240), Qt::black);
    drainEvents();
    ASSERT_FALSE(kernel->isDarkMode());

    int notified = 0;
    QObject context;
    QObject::connect(CCNotifier::sharedInstance(), &CCNotifier::posted, &context,
                     [&](const QString &name, QObject *) { notified += name == QLatin1String(kDarkModeNotification); });
    // Two changes before the event loop runs make one update.
    setPalette(QColor(50, 50, 50), Qt::white);
    setPalette(QColor(30, 30, 30), Qt::white);
    drainEvents();
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(kernel->isDarkMode());
    const QColor darkPanel = kernel->panelBackgroundColor();

    setPalette(QColor(236, 236, 236), Qt::black);
    drainEvents();
    EXPECT_EQ(notified, 2);
    EXPECT_FALSE(kernel->isDarkMode());
    EXPECT_GT(kernel->panelBackgroundColor().lightness(), darkPanel.lightness());
}

TEST(CCNotifier, PostsFromOtherThreadsArriveOnTheMainThread)
{
    CCNotifier *notifier = CCNotifier::sharedInstance();
    QThread *observedOn = nullptr;
    QString observedName;
    QObject context;
    QObject::connect(notifier, &CCNotifier::posted, &context, [&](const QString &name, QObject *) {
        observedName = name;
        observedOn = QThread::currentThread();
    });
    std::thread poster([notifier] { notifier->post(QStringLiteral("wmjigsaw.switch")); });
    poster.join();
    drainEvents();
    EXPECT_EQ(observedName, QStringLiteral("wmjigsaw.switch"));
    EXPECT_EQ(observedOn, QCoreApplication::instance()->thread());
}
