// Opens a real puzzle folder whose puzzle.xml holds the fuzz bytes, the way the game opens a
// puzzle: the document, every piece and assembly picture, the board layout. A board that
// opens must hold each piece at most once and assemblies of two or more, and must survive
// being saved and opened again unchanged.
#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/puzzle_folder.h"
#include "model/puzzle_xml.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

namespace {

// Larger documents only slow the search down; a 300-piece puzzle.xml is about 100 KB.
constexpr size_t kMaxInput = 1 << 17;
constexpr int64_t kTemplatePieces = 12;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "puzzle folder: %s\n", what);
    std::abort();
}

struct Template
{
    QString folder;
    QString document;
    // Assembly pictures as the template has them; opening may rewrite them.
    std::map<QString, QByteArray> assemblyImages;
    std::set<QString> pieceImages;
};

// A 12-piece puzzle with a few links made, built once per process.
Template *makeTemplate()
{
    static int argc = 1;
    static char name[] = "puzzle_folder_fuzz";
    static char *argv[] = {name, nullptr};
    static QTemporaryDir work;
    // The log and settings of what is opened go to the temporary folder, not the real home.
    for (const char *variable :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        const QString folder = work.filePath(QString::fromLatin1(variable));
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv(variable, QFile::encodeName(folder));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
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
    if (!made)
        fail("can't make the template folder");
    auto puzzle = JPPuzzle::initWithPath(made->folder, made->picture, &made->dict);
    if (!puzzle)
        fail("can't build the template puzzle");
    puzzle->layoutPuzzle(QSizeF(1280, 800));
    for (int links = 0; links < 4; ++links)
        SolveOneLink(*puzzle);
    puzzle->save();

    auto *result = new Template;
    result->folder = made->folder;
    result->document = QDir(made->folder).filePath(QStringLiteral("puzzle.xml"));
    const QDir pieces(QDir(made->folder).filePath(QStringLiteral("Pieces")));
    for (const QString &file : pieces.entryList(QDir::Files)) {
        if (QFileInfo(file).completeBaseName().toULongLong() >= kFirstAssemblyId) {
            QFile image(pieces.filePath(file));
            image.open(QIODevice::ReadOnly);
            result->assemblyImages[file] = image.readAll();
        } else {
            result->pieceImages.insert(file);
        }
    }
    return result;
}

// Puts the folder back as the template had it, so every input starts from the same state.
void restore(const Template &folder)
{
    const QDir pieces(QDir(folder.folder).filePath(QStringLiteral("Pieces")));
    for (const QString &file : pieces.entryList(QDir::Files | QDir::Hidden))
        if (!folder.pieceImages.count(file))
            QFile::remove(pieces.filePath(file));
    for (const auto &[file, bytes] : folder.assemblyImages) {
        QFile image(pieces.filePath(file));
        if (image.open(QIODevice::WriteOnly))
            image.write(bytes);
    }
    QFile::remove(folder.document + QStringLiteral(".damaged"));
}

// Piece numbers on the board, each once at most; fails on a repeat or a lone assembly.
std::multiset<uint64_t> boardPieces(const JPPuzzle &puzzle)
{
    std::multiset<uint64_t> numbers;
    for (const JPPiece *item : puzzle.pieces()) {
        if (!item->isAssembly()) {
            numbers.insert(item->pieceIndex());
            continue;
        }
        const auto *assembly = static_cast<const JPAssembly *>(item);
        if (assembly->pieces().size() < 2)
            fail("an assembly with fewer than two pieces");
        for (const JPPiece *member : assembly->pieces()) {
            if (member->assembly() != assembly)
                fail("a member that doesn't point at its assembly");
            numbers.insert(member->pieceIndex());
        }
    }
    for (uint64_t number : numbers)
        if (numbers.count(number) != 1)
            fail("a piece on the board twice");
    return numbers;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Template *folder = makeTemplate();
    if (size > kMaxInput)
        return 0;
    {
        QFile document(folder->document);
        if (!document.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fail("can't write puzzle.xml");
        document.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QString reason;
    std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::openExisting(folder->folder, &reason);
    if (!puzzle) {
        if (reason.isEmpty())
            fail("refused without a reason");
        restore(*folder);
        return 0;
    }
    const std::multiset<uint64_t> opened = boardPieces(*puzzle);
    puzzle->layoutPuzzle(QSizeF(1280, 800));
    const size_t items = puzzle->pieces().size();
    if (!puzzle->save())
        fail("a board that opened can't be saved");
    puzzle.reset();

    std::unique_ptr<JPPuzzle> again = JPPuzzle::openExisting(folder->folder, &reason);
    if (!again)
        fail("a saved board doesn't open again");
    if (again->pieces().size() != items || boardPieces(*again) != opened)
        fail("a saved board opens differently");
    again.reset();
    restore(*folder);
    return 0;
}
