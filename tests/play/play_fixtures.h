#pragma once

#include "model/jp_puzzle.h"
#include "puzzle_fixtures.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>

#include <memory>

namespace tj::test {

// A JPEG picture with gradients and shapes, written into a fresh folder.
inline QString WritePicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(40, 90, 170));
    gradient.setColorAt(1, QColor(240, 200, 90));
    painter.fillRect(image.rect(), gradient);
    painter.setBrush(QColor(200, 40, 60));
    painter.drawEllipse(QRectF(width * 0.2, height * 0.2, width * 0.3, height * 0.4));
    painter.end();
    const QString path = QDir(freshFolder(QStringLiteral("pictures"))).filePath(QStringLiteral("picture.jpg"));
    EXPECT_TRUE(image.save(path, "JPEG", 90));
    return path;
}

// Makes and builds a puzzle folder as the game does; folder receives its path.
inline std::unique_ptr<JPPuzzle> BuildTestPuzzle(const QString &name, int width, int height, int64_t count,
                                                 QString *folder = nullptr)
{
    return BuildPuzzleFolder(WritePicture(width, height), name, count, folder);
}

}
