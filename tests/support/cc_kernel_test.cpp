#include "support/cc_kernel.h"
#include "support/cc_notifier.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QRegularExpression>
#include <QThread>

#include <thread>

namespace {

QPalette paletteWithWindow(const QColor &window, const QColor &text)
{
    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    return palette;
}

// Counts kDarkModeNotification posts while alive.
class DarkModeObserver
{
public:
    DarkModeObserver()
    {
        m_connection = QObject::connect(CCNotifier::sharedInstance(), &CCNotifier::posted,
                                        [this](const QString &name, QObject *) {
                                            if (name == QLatin1String(kDarkModeNotification))
                                                ++count;
                                        });
    }
    ~DarkModeObserver() { QObject::disconnect(m_connection); }
    int count = 0;

private:
    QMetaObject::Connection m_connection;
};

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

}

TEST(CCKernel, DescribesSystemAndApplication)
{
    const CCKernel *kernel = CCKernel::sharedInstance();
    EXPECT_EQ(kernel, CCKernel::sharedInstance());
    // Every "10.12 or later" and "10.14 or later" branch must apply.
    EXPECT_GT(kernel->systemVersion(), 658431u);
    EXPECT_GE(kernel->systemVersion(), 10u * 65536 + 14 * 256);
    EXPECT_FALSE(kernel->systemVersionString().isEmpty());
    EXPECT_FALSE(kernel->systemName().isEmpty());
    EXPECT_EQ(kernel->appName(), QStringLiteral("Tobbin Jigsaw"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+")).match(kernel->appVersionString()).hasMatch());
    EXPECT_FALSE(kernel->bootVolumeName().isEmpty());
    EXPECT_LT(kernel->smallSystemFont().pointSizeF(), kernel->systemFont().pointSizeF());
    EXPECT_TRUE(kernel->calendar().isGregorian());
    EXPECT_TRUE(kernel->colorSpace().isValid());
}

TEST(CCKernel, AdvancedUserFollowsMarkerFile)
{
    const CCKernel *kernel = CCKernel::sharedInstance();
    const QString marker = CCKernel::advancedUserMarkerPath();
    EXPECT_EQ(marker, qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Wrenmoor/Wrenmoor Advanced User"));
    EXPECT_FALSE(kernel->isAdvancedUser());
    ASSERT_TRUE(QDir().mkpath(QFileInfo(marker).absolutePath()));
    QFile file(marker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(kernel->isAdvancedUser());
    ASSERT_TRUE(QFile::remove(marker));
    EXPECT_FALSE(kernel->isAdvancedUser());
}

TEST(CCKernel, PaletteChangesSwitchAppearanceAndNotifyOncePerChange)
{
    CCKernel *kernel = CCKernel::sharedInstance();
    const QPalette original = QGuiApplication::palette();
    QGuiApplication::setPalette(paletteWithWindow(QColor(240, 240, 240), Qt::black));
    settle();
    ASSERT_FALSE(kernel->isDarkMode());
    EXPECT_EQ(kernel->panelBackgroundColor(), QColor(230, 230, 230));
    EXPECT_EQ(kernel->outlineViewBackgroundColor(), QColor(229, 236, 248));

    DarkModeObserver observer;
    // Two changes before the event loop runs make one update.
    QGuiApplication::setPalette(paletteWithWindow(QColor(50, 50, 50), Qt::white));
    QGuiApplication::setPalette(paletteWithWindow(QColor(30, 30, 30), Qt::white));
    settle();
    EXPECT_EQ(observer.count, 1);
    EXPECT_TRUE(kernel->isDarkMode());
    EXPECT_EQ(kernel->panelBackgroundColor(), QColor(0x26, 0x26, 0x26));
    EXPECT_EQ(kernel->outlineViewBackgroundColor(), QColor(0x26, 0x26, 0x26));

    QGuiApplication::setPalette(paletteWithWindow(QColor(236, 236, 236), Qt::black));
    settle();
    EXPECT_EQ(observer.count, 2);
    EXPECT_FALSE(kernel->isDarkMode());
    EXPECT_EQ(kernel->panelBackgroundColor(), QColor(230, 230, 230));
    EXPECT_EQ(kernel->outlineViewBackgroundColor(), QColor(229, 236, 248));

    QGuiApplication::setPalette(original);
    settle();
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
    settle();
    EXPECT_EQ(observedName, QStringLiteral("wmjigsaw.switch"));
    EXPECT_EQ(observedOn, QCoreApplication::instance()->thread());
}
