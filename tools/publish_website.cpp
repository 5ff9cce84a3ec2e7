// Makes a folder ready to be served as the game's web server from a folder of pictures
// sorted into category folders (Animals, Flowers, Manmade, Mountains, Nature, Pets, Tropical).
//   build/tools/publish_website SRC DEST [--archive NAME]
// A picture "SRC/Pets/old_dog.jpg" may carry its description in "SRC/Pets/old_dog.txt".
#include "services/website_publisher.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    QString archive;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--archive")); at >= 0) {
        if (at + 1 >= arguments.size()) {
            std::fprintf(stderr, "--archive needs a name\n");
            return 2;
        }
        archive = arguments.at(at + 1);
        arguments.remove(at, 2);
    }
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: publish_website SRC DEST [--archive NAME]\n");
        return 2;
    }
    const WebsitePublishResult result = PublishWebsite(arguments[0], arguments[1], archive);
    for (const QString &warning : result.warnings)
        std::fprintf(stderr, "skipped %s\n", qPrintable(warning));
    if (!result.ok) {
        std::fprintf(stderr, "publish_website: %s\n", qPrintable(result.error));
        return 1;
    }
    std::printf("%d pictures, thumbnails in %s.zip\n", result.pictures, qPrintable(result.archiveName));
    return 0;
}
