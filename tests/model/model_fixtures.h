#pragma once

#include "imaging/cc_image.h"
#include "model/jp_assembly.h"
#include "model/jp_linking.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "puzzle_fixtures.h"
#include "support/cc_xml_encoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include <memory>
#include <vector>

#include <sys/resource.h>

namespace tj::test {

// The view size puzzles are laid out for.
inline constexpr QSizeF kTestBoard(1600, 1000);

// A puzzle over a fresh picture that has not been built yet.
inline std::unique_ptr<JPPuzzle> MakePicturePuzzle(int width, int height, const QString &folder = QString())
{
    QVariantMap dict;
    dict[QStringLiteral("name")] = QStringLiteral("Test picture");
    return JPPuzzle::initWithPicture(folder.isEmpty() ? QStringLiteral("/nonexistent/T.WMjigsaw") : folder,
                                     CCImage::initWithCGImage(MakeTestPicture(width, height)), dict);
}

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

// A puzzle of the photograph, built and laid out on kTestBoard.
inline std::unique_ptr<JPPuzzle> LaidOutPuzzle(int64_t count, QString *folder = nullptr)
{
    auto puzzle = BuildPuzzle(PhotoPath(), count, folder);
    if (puzzle)
        puzzle->layoutPuzzle(kTestBoard);
    return puzzle;
}

// Opens a saved puzzle folder as the game does; a refusal fails the test.
inline std::unique_ptr<JPPuzzle> Reopen(const QString &folder)
{
    QString reason;
    auto puzzle = JPPuzzle::openExisting(folder, &reason);
    EXPECT_TRUE(puzzle) << reason.toStdString();
    return puzzle;
}

// The document the puzzle would write now.
inline QString DocumentOf(const JPPuzzle &puzzle)
{
    CCXmlEncoder encoder;
    puzzle.saveToXml(encoder);
    return encoder.xml();
}

// The assemblies on the board, in board order.
inline std::vector<JPAssembly *> Assemblies(const JPPuzzle &puzzle)
{
    std::vector<JPAssembly *> found;
    for (JPPiece *item : puzzle.pieces())
        if (item->isAssembly())
            found.push_back(static_cast<JPAssembly *>(item));
    return found;
}

// Pictures in one pixel format, so they compare pixel for pixel.
inline QImage Premultiplied(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

inline long PeakResidentKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}
