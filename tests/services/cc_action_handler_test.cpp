#include "services/cc_about_controller.h"
#include "services/cc_action_handler.h"
#include "services/cc_log_collector.h"
#include "support/cc_kernel.h"

#include "alert_recorder.h"
#include "services_fixtures.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMenu>

using namespace tj::test;
using Command = CCActionHandler::Command;

namespace {

class ActionHandlerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("WRENMOOR_SERVER", "http://127.0.0.1:9");
        QCoreApplication::setApplicationVersion(QStringLiteral("2.1.5"));
        QFile::remove(CCLogSources::standard().appLogPath);
    }

    void TearDown() override { qunsetenv("WRENMOOR_SERVER"); }

    CCActionHandler *handler = CCActionHandler::sharedInstance();
    UrlRecorder opened;
    AlertRecorder alerts;
};

}

TEST_F(ActionHandlerTest, ModalWindowDisablesAllButTheWebsite)
{
    QMenu help;
    QMenu windows;
    handler->installMenuItems(&help, &windows);

    const auto enabledAfterValidation = [&] {
        Q_EMIT help.aboutToShow();
        Q_EMIT windows.aboutToShow();
        QStringList enabled;
        for (QAction *action : help.actions() + windows.actions())
            if (!action->isSeparator() && action->isEnabled())
                enabled << action->text();
        return enabled;
    };
    // Validation also closes popovers.
    auto *popover = new QFrame(nullptr, Qt::Popup);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<QFrame> watch = popover;
    popover->show();
    EXPECT_EQ(enabledAfterValidation().size(), 10) << "the nine help commands and the next window";
    EXPECT_TRUE(!watch || !watch->isVisible());

    QDialog modal;
    modal.setWindowModality(Qt::ApplicationModal);
    modal.show();
    ASSERT_TRUE(waitFor([] { return QApplication::activeModalWidget() != nullptr; }, 2000));
    EXPECT_EQ(enabledAfterValidation(), QStringList{QStringLiteral("Wrenmoor Website")});
    // A shortcut can't get past it either.
    handler->perform(Command::ContactWrenmoor);
    EXPECT_TRUE(opened.urls.isEmpty());
    handler->perform(Command::VisitWebsite);
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:9"))});
    modal.hide();
    EXPECT_EQ(enabledAfterValidation().size(), 10);
}

TEST_F(ActionHandlerTest, ContactMail)
{
    handler->contactWrenmoor(true);
    handler->contactWrenmoor(false);
    ASSERT_EQ(opened.urls.size(), 2);
    EXPECT_EQ(opened.urls[0].scheme(), QStringLiteral("mailto"));
    const QMap<QString, QString> problem = mailFields(opened.urls[0]);
    EXPECT_EQ(problem.value(QStringLiteral("address")), QStringLiteral("support@wrenmoor.example"));
    EXPECT_EQ(problem.value(QStringLiteral("subject")), QStringLiteral("Problem report (Tobbin Jigsaw 2.1.5)"));
    EXPECT_EQ(problem.value(QStringLiteral("body")),
              QStringLiteral("--- Please do not delete this line: Tobbin Jigsaw 2.1.5, %1 ---\n\n")
                  .arg(CCKernel::sharedInstance()->systemName()));
    EXPECT_EQ(mailFields(opened.urls[1]).value(QStringLiteral("subject")),
              QStringLiteral("Question or comment (Tobbin Jigsaw 2.1.5)"));
    EXPECT_TRUE(alerts.shown.isEmpty());

    opened.refuse(QStringLiteral("mailto"));
    handler->contactWrenmoor(false);
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message, QStringLiteral("Contact failed."));
    EXPECT_EQ(alerts.shown[0].moreInfo,
              QStringLiteral("I can't send email to Wrenmoor. Please visit our website, "
                             "http://127.0.0.1:9, or send email to support@wrenmoor.example."));
}

TEST_F(ActionHandlerTest, LogsToClipboardAndMail)
{
    handler->copyLogs();
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message, QStringLiteral("No log information."));

    writeFile(CCLogSources::standard().appLogPath, "2026-02-01 10:00:00 com.wrenmoor.tobbin-jigsaw Tom & Jerry\n");
    QGuiApplication::clipboard()->clear();
    handler->copyLogs();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("2026-02-01 10:00:00 com.wrenmoor.tobbin-jigsaw Tom & Jerry\n"));

    handler->emailLogs();
    ASSERT_EQ(opened.urls.size(), 1);
    const QMap<QString, QString> mail = mailFields(opened.urls[0]);
    EXPECT_EQ(mail.value(QStringLiteral("subject")), QStringLiteral("Logs for Tobbin Jigsaw 2.1.5"));
    EXPECT_EQ(mail.value(QStringLiteral("body")), QGuiApplication::clipboard()->text());
}

TEST_F(ActionHandlerTest, AboutBoxIsOneWindowShowingVersionAndBuild)
{
    handler->setAboutString(QStringLiteral("Jigsaw puzzle maker."));
    qApp->setProperty("WMBuild", QStringLiteral("417"));
    handler->showAbout();
    CCAboutController *about = CCAboutController::current();
    ASSERT_TRUE(about && about->isVisible());
    EXPECT_EQ(about->versionField()->text() + u'|' + about->descriptionField()->text(),
              QStringLiteral("Version 2.1.5 (417)|Jigsaw puzzle maker."));
    EXPECT_TRUE(about->licenseLinkView()->text().contains(QStringLiteral("http://127.0.0.1:9/license/\">License<")));
    handler->showAbout();
    EXPECT_EQ(CCAboutController::current(), about) << "one about box at a time";
    about->close();
    ASSERT_TRUE(waitFor([] { return CCAboutController::current() == nullptr; }, 2000));

    qApp->setProperty("WMBuild", QVariant());
    handler->setAboutString(QString());
    handler->showAbout();
    ASSERT_TRUE(CCAboutController::current());
    EXPECT_EQ(CCAboutController::current()->versionField()->text() + u'|'
                  + CCAboutController::current()->descriptionField()->text(),
              QStringLiteral("Version 2.1.5 (2.1.5)|A Wrenmoor app."));
    CCAboutController::current()->close();
}

TEST_F(ActionHandlerTest, NextWindowCyclesFromTheBack)
{
    QWidget first, second, third;
    const auto activate = [](QWidget &window) {
        window.show();
        window.activateWindow();
        return waitFor([&] { return QApplication::activeWindow() == &window; }, 2000);
    };
    ASSERT_TRUE(activate(first));
    handler->nextWindow();
    EXPECT_EQ(QApplication::activeWindow(), &first) << "one window: nothing to bring forward";

    ASSERT_TRUE(activate(second));
    ASSERT_TRUE(activate(third));
    handler->nextWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &first; }, 2000));
    handler->nextWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &second; }, 2000));

    third.setProperty("excludedFromWindowsMenu", true);
    handler->nextWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &first; }, 2000));
}
