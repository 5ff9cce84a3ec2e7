#include "app/app_icon.h"

#include "support/paths.h"

#include <QSize>

namespace {

const QString kIconName = QStringLiteral("tobbin-jigsaw");

}

QString ApplicationIconResource(int size)
{
    return QStringLiteral("icons/hicolor/%1x%1/apps/").arg(size) + kIconName + QStringLiteral(".png");
}

QIcon ApplicationIcon()
{
    // Built per call: a cached QIcon would outlive the application and its pixmaps.
    QIcon icon;
    for (int size : kApplicationIconSizes) {
        const QString path = ResourcePath(ApplicationIconResource(size));
        if (!path.isEmpty())
            icon.addFile(path, QSize(size, size));
    }
    if (icon.isNull())
        icon = QIcon::fromTheme(kIconName);
    return icon;
}
