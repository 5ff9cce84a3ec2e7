#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tobbin Jigsaw"));
    QApplication::setOrganizationName(QStringLiteral("Wrenmoor"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Jigsaw"));
    window.resize(1024, 720);
    window.show();
    return app.exec();
}
