// Opens a real puzzle folder whose puzzle.xml holds the fuzz bytes, the way the game opens a
// puzzle: the document, every piece and assembly picture, the board layout. A board that
// opens must hold each piece at most once and assemblies of two or more, and must survive
// being saved and opened again unchanged.
#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/puzzle_folder.h"
#include "model/puzzle_xml.h"

#include "fuzz_support.h"

#include <QImage>

#include <filesystem>
#include <memory>
#include <set>

namespace {

// Larger documents only slow the search down; a 300-piece puzzle.xml is about 100 KB.
constexpr size_t kMaxInput = 1 << 17;
constexpr int64_t kTemplatePieces = 12;

// A 12-piece puzzle with a few links made, built once per process; a copy of it beside it
// puts the folder back before every input, so each starts from the same state.
QString makeTemplate()
{
    const QTemporaryDir &work = FuzzApplication();
    InstallPuzzleKeyTable();

    QImage picture(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 255 / 639, y * 255 / 479, (x ^ y) & 0xFF));
    const QString path = work.filePath(QStringLiteral("picture.png"));
    picture.save(path);
    NewPuzzleChoice choice;
    choice.dict[QStringLiteral("path")] = path;
    choice.dict[QStringLiteral("name")] = QStringLiteral("Fuzz");
    choice.count = kTemplatePieces;
    auto made = MakePuzzleFolder(choice, work.filePath(QStringLiteral("puzzles")), nullptr);
    FUZZ_CHECK(made);
    auto puzzle = JPPuzzle::initWithPath(made->folder, made->picture, &made->dict);
    FUZZ_CHECK(puzzle);
    puzzle->layoutPuzzle(QSizeF(1280, 800));
    for (int links = 0; links < 4; ++links)
        SolveOneLink(*puzzle);
    puzzle->save();
    std::filesystem::copy(made->folder.toStdString(), made->folder.toStdString() + ".template",
                          std::filesystem::copy_options::recursive);
    return made->folder;
}

// Piece numbers on the board, each once at most; fails on a repeat or a lone assembly.
std::set<uint64_t> boardPieces(const JPPuzzle &puzzle)
{
    std::set<uint64_t> numbers;
    const auto add = [&](const JPPiece *piece) {
        if (!numbers.insert(piece->pieceIndex()).second)
            FuzzFail("a piece on the board twice");
    };
    for (const JPPiece *item : puzzle.pieces()) {
        if (!item->isAssembly()) {
            add(item);
            continue;
        }
        const auto *assembly = static_cast<const JPAssembly *>(item);
        if (assembly->pieces().size() < 2)
            FuzzFail("an assembly with fewer than two pieces");
        for (const JPPiece *member : assembly->pieces()) {
            if (member->assembly() != assembly)
                FuzzFail("a member that doesn't point at its assembly");
            add(member);
        }
    }
    return numbers;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString folder = makeTemplate();
    if (size > kMaxInput)
        return 0;
    std::filesystem::remove_all(folder.toStdString());
    std::filesystem::copy(folder.toStdString() + ".template", folder.toStdString(),
                          std::filesystem::copy_options::recursive);
    {
        QFile document(folder + QStringLiteral("/puzzle.xml"));
        FUZZ_CHECK(document.open(QIODevice::WriteOnly | QIODevice::Truncate));
        document.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QString reason;
    std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::openExisting(folder, &reason);
    if (!puzzle) {
        FUZZ_CHECK(!reason.isEmpty());
        return 0;
    }
    const std::set<uint64_t> opened = boardPieces(*puzzle);
    puzzle->layoutPuzzle(QSizeF(1280, 800));
    const size_t items = puzzle->pieces().size();
    FUZZ_CHECK(puzzle->save());
    puzzle.reset();

    std::unique_ptr<JPPuzzle> again = JPPuzzle::openExisting(folder, &reason);
    // A saved board opens again, the same.
    FUZZ_CHECK(again && again->pieces().size() == items && boardPieces(*again) == opened);
    again.reset();
    return 0;
}
