#include "app/app_icon.h"
#include "app/command_line.h"
#include "app/jp_app_controller.h"
#include "play/jp_window_controller.h"
#include "support/cc_kernel.h"
#include "support/widgets/cc_alert_controller.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdlib>

int main(int argc, char *argv[])
{
    if (IsCommandLine(argc, argv)) {
        // Headless commands need no display.
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QGuiApplication app(argc, argv);
        QGuiApplication::setApplicationName(QStringLiteral("Tobbin Jigsaw"));
        QGuiApplication::setOrganizationName(QStringLiteral("Wrenmoor"));
        return RunCommandLine(QGuiApplication::arguments()).value_or(2);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tobbin Jigsaw"));
    QApplication::setOrganizationName(QStringLiteral("Wrenmoor"));
    QApplication::setWindowIcon(ApplicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tobbin-jigsaw"));
    CCKernel::sharedInstance();
    InstallAlertPresenter();

    JPAppController *controller = JPAppController::sharedInstance();
    if (!controller->applicationWillFinishLaunching())
        return 1;
    controller->applicationDidFinishLaunching();
    controller->restoreLibrary();
    // A puzzle folder given on the command line opens in the window.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        controller->openFromCommandLine(arguments.at(1));
    return app.exec();
}
