#include "services/cc_action_handler.h"

#include "services/cc_about_controller.h"
#include "services/cc_app_updater.h"
#include "services/cc_log_collector.h"
#include "services/cc_news_updater.h"
#include "services/mail_link.h"
#include "services/wrenmoor_server.h"
#include "support/cc_alert.h"
#include "support/cc_kernel.h"
#include "support/log.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QEvent>
#include <QMenu>
#include <QWidget>

namespace {

const char kCommandProperty[] = "ccCommand";
const char kProblemProperty[] = "isWMProblem";

QString productText()
{
    CCKernel *kernel = CCKernel::sharedInstance();
    return QStringLiteral("%1 %2").arg(kernel->appName(), kernel->appVersionString());
}

// Popovers are popup frames; menus are popups too but must stay open while they validate.
void closePopovers()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->windowType() == Qt::Popup && !qobject_cast<QMenu *>(widget))
            widget->close();
}

bool isOrdinaryWindow(const QWidget *widget)
{
    if (!widget->isWindow() || !widget->isVisible())
        return false;
    const Qt::WindowType type = widget->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

}

CCActionHandler *CCActionHandler::sharedInstance()
{
    static CCActionHandler *const handler = new CCActionHandler;
    return handler;
}

CCActionHandler::CCActionHandler()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

QString CCActionHandler::aboutString() const
{
    if (!m_aboutString.isEmpty())
        return m_aboutString;
    if (QObject *delegate = CCKernel::sharedInstance()->appDelegate()) {
        const QString text = delegate->property("aboutString").toString();
        if (!text.isEmpty())
            return text;
    }
    return QStringLiteral("A Wrenmoor app.");
}

QAction *CCActionHandler::makeAction(Command command, QObject *parent)
{
    static const struct
    {
        Command command;
        const char *title;
    } kTitles[] = {
        {Command::ShowAbout, "About Tobbin Jigsaw"},
        {Command::VisitWebsite, "Wrenmoor Website"},
        {Command::Donations, "Donate\u2026"},
        {Command::CheckUpdates, "Check for Updates\u2026"},
        {Command::CheckNewsUpdates, "Check for Wrenmoor News\u2026"},
        {Command::ContactWrenmoor, "Contact Wrenmoor\u2026"},
        {Command::ReportProblem, "Report a Problem\u2026"},
        {Command::CopyLogs, "Copy Logs"},
        {Command::EmailLogs, "Email Logs\u2026"},
        {Command::NextWindow, "Next Window"},
    };
    QString title;
    for (const auto &entry : kTitles)
        if (entry.command == command)
            title = QString::fromUtf8(entry.title);
    auto *action = new QAction(title, parent);
    action->setProperty(kCommandProperty, int(command));
    if (command == Command::ReportProblem)
        action->setProperty(kProblemProperty, true);
    if (command == Command::NextWindow)
        action->setShortcut(QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::Key_QuoteLeft));
    connect(action, &QAction::triggered, this, [this, command] { perform(command); });
    return action;
}

void CCActionHandler::installMenuItems(QMenu *helpMenu, QMenu *windowMenu)
{
    const auto add = [this](QMenu *menu, Command command) { menu->addAction(makeAction(command, menu)); };
    if (helpMenu) {
        add(helpMenu, Command::ShowAbout);
        helpMenu->addSeparator();
        add(helpMenu, Command::VisitWebsite);
        add(helpMenu, Command::Donations);
        helpMenu->addSeparator();
        add(helpMenu, Command::CheckUpdates);
        add(helpMenu, Command::CheckNewsUpdates);
        helpMenu->addSeparator();
        add(helpMenu, Command::ContactWrenmoor);
        add(helpMenu, Command::ReportProblem);
        add(helpMenu, Command::CopyLogs);
        add(helpMenu, Command::EmailLogs);
        connect(helpMenu, &QMenu::aboutToShow, this, [this, helpMenu] { validateMenu(helpMenu); });
    }
    if (windowMenu) {
        add(windowMenu, Command::NextWindow);
        connect(windowMenu, &QMenu::aboutToShow, this, [this, windowMenu] { validateMenu(windowMenu); });
    }
}

bool CCActionHandler::validate(Command command) const
{
    closePopovers();
    if (command == Command::VisitWebsite)
        return true;
    return !QApplication::activeModalWidget() && !CCAlert::sharedInstance()->isAlertActive();
}

void CCActionHandler::validateMenu(QMenu *menu) const
{
    for (QAction *action : menu->actions()) {
        const QVariant command = action->property(kCommandProperty);
        if (command.isValid())
            action->setEnabled(validate(Command(command.toInt())));
    }
}

void CCActionHandler::perform(Command command)
{
    // A shortcut can fire without its menu opening first.
    if (!validate(command))
        return;
    switch (command) {
    case Command::ShowAbout:
        showAbout();
        break;
    case Command::VisitWebsite:
        visitWebsite();
        break;
    case Command::Donations:
        donations();
        break;
    case Command::CheckUpdates:
        checkUpdates();
        break;
    case Command::CheckNewsUpdates:
        checkNewsUpdates();
        break;
    case Command::ContactWrenmoor:
        contactWrenmoor(false);
        break;
    case Command::ReportProblem:
        contactWrenmoor(true);
        break;
    case Command::CopyLogs:
        copyLogs();
        break;
    case Command::EmailLogs:
        emailLogs();
        break;
    case Command::NextWindow:
        nextWindow();
        break;
    }
}

void CCActionHandler::showAbout()
{
    CCAboutController::introduceTobbinApp(aboutString());
}

void CCActionHandler::visitWebsite()
{
    QDesktopServices::openUrl(WrenmoorServerBase());
}

void CCActionHandler::donations()
{
    QDesktopServices::openUrl(WrenmoorServerUrl(QStringLiteral("/donate/")));
}

void CCActionHandler::checkUpdates()
{
    CCAppUpdater::sharedInstance()->displayUpdateDialog();
}

void CCActionHandler::checkNewsUpdates()
{
    CCNewsUpdater::sharedInstance()->displayUpdateDialog();
}

void CCActionHandler::contactWrenmoor(bool problem)
{
    const QUrl link = ContactLink(problem, productText(), CCKernel::sharedInstance()->systemName());
    if (link.isValid() && QDesktopServices::openUrl(link))
        return;
    CCAlert::sharedInstance()->giveAlertMessage(
        QStringLiteral("Contact failed."),
        QStringLiteral("I can't send email to Wrenmoor. Please visit our website, %1, or send email to %2.")
            .arg(WrenmoorServerBase().toDisplayString(), QLatin1String(kSupportAddress)));
}

void CCActionHandler::copyLogs()
{
    const std::optional<QString> logs = allLogsForApp();
    if (!logs)
        return;
    try {
        QGuiApplication::clipboard()->setText(*logs);
    } catch (...) {
        LogException(std::current_exception(), QStringLiteral("copyLogs failed"));
    }
}

void CCActionHandler::emailLogs()
{
    const std::optional<QString> logs = allLogsForApp();
    if (!logs)
        return;
    const QUrl link = LogsMailLink(productText(), *logs);
    if (link.isValid() && QDesktopServices::openUrl(link))
        return;
    CCAlert::sharedInstance()->giveAlertMessage(
        QStringLiteral("Contact failed."),
        QStringLiteral("I can't send email to Wrenmoor. Please copy the logs instead (Copy Logs in the Help menu) "
                       "and email them to %1.")
            .arg(QLatin1String(kSupportAddress)));
}

QList<QWidget *> CCActionHandler::windowsFrontToBack() const
{
    QList<QWidget *> windows;
    for (const QPointer<QWidget> &window : m_activationOrder)
        if (window && isOrdinaryWindow(window))
            windows.append(window);
    // Windows never activated sit behind the rest.
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (isOrdinaryWindow(widget) && !windows.contains(widget))
            windows.append(widget);
    return windows;
}

void CCActionHandler::nextWindow()
{
    const QList<QWidget *> windows = windowsFrontToBack();
    if (windows.size() < 2)
        return;
    QWidget *main = QApplication::activeWindow();
    if (!main)
        main = windows.first();
    QObject *delegate = CCKernel::sharedInstance()->appDelegate();
    const bool delegateDecides =
        delegate && delegate->metaObject()->indexOfMethod("shouldBringWindowForward(QWidget*)") >= 0;
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        QWidget *window = *it;
        if (window == main || window->property("excludedFromWindowsMenu").toBool())
            continue;
        bool allowed = true;
        if (delegateDecides)
            QMetaObject::invokeMethod(delegate, "shouldBringWindowForward", Q_RETURN_ARG(bool, allowed),
                                      Q_ARG(QWidget *, window));
        if (!allowed)
            continue;
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
        return;
    }
}

bool CCActionHandler::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->isWindow()) {
            m_activationOrder.removeAll(widget);
            m_activationOrder.removeAll(nullptr);
            m_activationOrder.prepend(widget);
        }
    }
    return QObject::eventFilter(watched, event);
}
