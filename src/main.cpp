#include "app/command_line.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMainWindow>

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

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Jigsaw"));
    window.resize(1024, 720);
    window.show();
    return app.exec();
}
