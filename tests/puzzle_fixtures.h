#pragma once

#include "model/jp_puzzle.h"
#include "model/puzzle_folder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace tj::test {

// Makes and builds a puzzle folder from a picture file, exactly as the game does; folder
// receives its path.
inline std::unique_ptr<JPPuzzle> BuildPuzzleFolder(const QString &picture, const QString &name, int64_t count,
                                                   QString *folder = nullptr)
{
    NewPuzzleChoice choice;
    choice.dict[QStringLiteral("path")] = picture;
    choice.dict[QStringLiteral("name")] = name;
    choice.count = count;
    QString error;
    auto made = MakePuzzleFolder(choice, freshFolder(QStringLiteral("puzzles")), &error);
    if (!made) {
        ADD_FAILURE() << "can't make a puzzle folder: " << error.toStdString();
        return nullptr;
    }
    if (folder)
        *folder = made->folder;
    return JPPuzzle::initWithPath(made->folder, made->picture, &made->dict);
}

}
