#pragma once

#include "imaging/cc_image.h"
#include "test_support.h"
#include "model/jp_puzzle.h"

#include <QImage>
#include <QPainter>
#include <QRadialGradient>
#include <QString>

#include <memory>

namespace tj::test {

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
