#pragma once

#include "imaging/cc_image.h"
#include "model/jp_puzzle.h"

#include <QImage>
#include <QPainter>
#include <QRadialGradient>
#include <QString>

#include <memory>

namespace tj::test {

// A deterministic photograph-like picture: smooth gradients, hard edges and fine detail,
// so piece images can be compared with it pixel by pixel.
inline QImage MakeTestPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = qRgb((x * 255) / std::max(1, width - 1), (y * 255) / std::max(1, height - 1),
                          ((x ^ y) * 7) & 0xFF);
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(width * 0.6, height * 0.4, std::min(width, height) * 0.3);
    glow.setColorAt(0, QColor(255, 240, 200));
    glow.setColorAt(1, Qt::transparent);
    painter.setBrush(glow);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(width * 0.6, height * 0.4), width * 0.3, height * 0.3);
    painter.setBrush(QColor(20, 60, 160));
    painter.drawRect(QRectF(width * 0.1, height * 0.7, width * 0.25, height * 0.2));
    return image;
}

// A puzzle over a fresh picture that has not been built yet.
inline std::unique_ptr<JPPuzzle> MakePicturePuzzle(int width, int height, const QString &folder = QString())
{
    QVariantMap dict;
    dict[QStringLiteral("name")] = QStringLiteral("Test picture");
    return JPPuzzle::initWithPicture(folder.isEmpty() ? QStringLiteral("/nonexistent/T.WMjigsaw") : folder,
                                     CCImage::initWithCGImage(MakeTestPicture(width, height)), dict);
}

}

#include "puzzle_fixtures.h"

#include <gtest/gtest.h>

#include <QDir>

namespace tj::test {

// The real photograph checked in beside the tests (900 x 593).
inline QString PhotoPath()
{
    return dataFolder() + QStringLiteral("/citrus.jpg");
}

// Makes and builds a puzzle folder from a picture file, exactly as the game does.
inline std::unique_ptr<JPPuzzle> BuildPuzzle(const QString &picture, int64_t count, QString *folder = nullptr)
{
    return BuildPuzzleFolder(picture, QStringLiteral("Built"), count, folder);
}

}
