#include "app/command_line.h"

#include "imaging/cc_image.h"
#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/play_stats.h"
#include "model/puzzle_folder.h"
#include "model/puzzle_xml.h"
#include "play/jp_board_renderer.h"
#include "play/jp_view_transform.h"
#include "support/helpers.h"
#include "support/puzzle_keys.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSizeF>
#include <QTemporaryFile>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace {

const char *const kCommands[] = {"create", "info", "solve", "render"};

// The board size a headless solve lays the puzzle out on.
constexpr QSizeF kSolveBoard(1920, 1080);

void printError(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void printLine(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

// Shows the building progress as a bar on standard error when that is a terminal.
class TerminalBuildingDialog : public JPBuildingDialog
{
public:
    TerminalBuildingDialog()
        : m_terminal(isatty(STDERR_FILENO))
    {
    }
    void updateProgress(double fraction) override
    {
        if (!m_terminal)
            return;
        const int width = 40;
        const int filled = int(fraction * width);
        if (filled == m_lastFilled)
            return;
        m_lastFilled = filled;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(width - filled), ' ').c_str(), int(fraction * 100));
        std::fflush(stderr);
    }
    void runModal() override
    {
        if (!m_ended)
            m_loop.exec();
    }
    void endModal() override
    {
        m_ended = true;
        if (m_terminal && m_lastFilled >= 0)
            std::fprintf(stderr, "\r%50s\r", "");
        m_loop.quit();
    }

private:
    QEventLoop m_loop;
    bool m_terminal;
    bool m_ended = false;
    int m_lastFilled = -1;
};

bool folderIsWritable(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".write-test-XXXXXX")));
    return probe.open();
}

int runCreate(const QStringList &args)
{
    QString picture;
    QString into;
    int64_t count = 1000;
    CreationOptions &options = JPPuzzle::creationOptions();
    options = CreationOptions{};
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--pieces") && i + 1 < args.size()) {
            bool ok = false;
            count = args[++i].toLongLong(&ok);
            if (!ok) {
                printError(QStringLiteral("create: \"%1\" is not a piece count").arg(args[i]));
                return 2;
            }
        } else if (arg == QLatin1String("--into") && i + 1 < args.size()) {
            into = args[++i];
        } else if (arg == QLatin1String("--rotate")) {
            options.rotatePieces = true;
        } else if (arg == QLatin1String("--edges-only")) {
            options.edgesOnly = true;
        } else if (arg == QLatin1String("--simple-edges")) {
            options.simpleEdges = true;
        } else if (arg.startsWith(QLatin1String("--")) || !picture.isEmpty()) {
            printError(QStringLiteral("usage: tobbin-jigsaw create PICTURE [--pieces N] [--into FOLDER] "
                                      "[--rotate] [--edges-only] [--simple-edges]"));
            return 2;
        } else {
            picture = arg;
        }
    }
    if (picture.isEmpty()) {
        printError(QStringLiteral("create: no picture given"));
        return 2;
    }
    if (!QFileInfo(picture).isFile()) {
        printError(QStringLiteral("create: the picture \"%1\" does not exist").arg(picture));
        return 1;
    }
    const QSize size = DeclaredPictureSize(picture);
    if (size.isEmpty()) {
        printError(QStringLiteral("create: \"%1\" is not a picture the game can read").arg(picture));
        return 1;
    }
    const int64_t squares = SquaresInPicture(size);
    if (squares < kMinimumSquares) {
        printError(QStringLiteral("create: the picture \"%1\" is too small to use as a puzzle").arg(picture));
        return 1;
    }
    if (!CanCutPicture(size, count)) {
        // The size rule bounds the count, and so does the shape: a long thin picture leaves
        // pieces too narrow for a knob, at some counts or at all of them.
        const int64_t limit = std::min<int64_t>(squares, kMaxPieceCount);
        int64_t low = 1;
        while (low <= limit && !CanCutPicture(size, low))
            ++low;
        int64_t high = limit;
        while (high > low && !CanCutPicture(size, high))
            --high;
        if (low > limit)
            printError(
                QStringLiteral("create: the picture \"%1\" is too long and thin to cut into pieces").arg(picture));
        else
            printError(QStringLiteral("create: %1 pieces can't be cut from \"%2\" (from %3 to %4)")
                           .arg(count)
                           .arg(picture)
                           .arg(low)
                           .arg(high));
        return 1;
    }
    if (into.isEmpty())
        into = PuzzleSupportFolder();
    if (into.isEmpty() || !folderIsWritable(into)) {
        printError(QStringLiteral("create: can't write puzzles into \"%1\"").arg(into));
        return 1;
    }

    NewPuzzleChoice choice;
    choice.dict[kPathKey] = QFileInfo(picture).absoluteFilePath();
    choice.dict[kNameKey] = fileNameMinusExtension(picture);
    choice.count = count;
    QString error;
    std::optional<MadePuzzleFolder> made = MakePuzzleFolder(choice, into, &error);
    if (!made) {
        printError(QStringLiteral("create: %1").arg(error));
        return 1;
    }
    JPPuzzle::setBuildingDialogFactory([] { return std::make_unique<TerminalBuildingDialog>(); });
    std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::initWithPath(made->folder, made->picture, &made->dict);
    if (!puzzle || puzzle->creationFail()) {
        QDir(made->folder).removeRecursively();
        printError(QStringLiteral("create: the puzzle could not be built from \"%1\"").arg(picture));
        return 1;
    }
    printLine(made->folder);
    return 0;
}

int runInfo(const QStringList &args)
{
    if (args.size() != 1) {
        printError(QStringLiteral("usage: tobbin-jigsaw info FOLDER"));
        return 2;
    }
    QString reason;
    std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::openExisting(args[0], &reason);
    if (!puzzle) {
        printError(QStringLiteral("info: can't open \"%1\": %2").arg(args[0], reason));
        return 1;
    }
    int assemblies = 0;
    for (const JPPiece *item : puzzle->pieces())
        if (item->isAssembly())
            ++assemblies;
    printLine(QStringLiteral("name: %1").arg(puzzle->name()));
    printLine(QStringLiteral("grid: %1 x %2").arg(puzzle->maxCoord().x).arg(puzzle->maxCoord().y));
    printLine(QStringLiteral("pieces: %1").arg(puzzle->pieceCount()));
    printLine(QStringLiteral("items on the board: %1").arg(puzzle->pieces().size()));
    printLine(QStringLiteral("assemblies: %1").arg(assemblies));
    printLine(QStringLiteral("done: %1").arg(boolForKey(puzzle->puzzleDict(), kDoneKey) ? "yes" : "no"));
    printLine(ProgressText(ProgressOfPuzzle(*puzzle)));
    printLine(QStringLiteral("played %1").arg(ClockText(PlayedSeconds(puzzle->puzzleDict()))));
    return 0;
}

int runSolve(const QStringList &args)
{
    const QString usage = QStringLiteral("usage: tobbin-jigsaw solve FOLDER [--save-every N] [--print-links]");
    QString folder;
    int saveEvery = 1;
    bool printLinks = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--save-every") && i + 1 < args.size())
            saveEvery = args[++i].toInt(&ok);
        else if (args[i] == QLatin1String("--print-links"))
            printLinks = true;
        else if (folder.isEmpty())
            folder = args[i];
        else
            ok = false;
        if (!ok || saveEvery < 1) {
            printError(usage);
            return 2;
        }
    }
    if (folder.isEmpty()) {
        printError(usage);
        return 2;
    }
    QString reason;
    std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::openExisting(folder, &reason);
    if (!puzzle) {
        printError(QStringLiteral("solve: can't open \"%1\": %2").arg(folder, reason));
        return 1;
    }
    puzzle->layoutPuzzle(kSolveBoard);
    int links = 0;
    while (puzzle->pieces().size() > 1) {
        if (!SolveOneLink(*puzzle)) {
            printError(QStringLiteral("solve: a drop beside a true neighbour did not link after %1 links").arg(links));
            puzzle->save();
            return 1;
        }
        ++links;
        if (printLinks)
            printLine(QStringLiteral("link %1").arg(links));
        if (links % saveEvery == 0)
            puzzle->save();
    }
    puzzle->save();
    printLine(QStringLiteral("links: %1").arg(links));
    return puzzle->finished() ? 0 : 1;
}


// A finite number, or nothing.
std::optional<double> parseNumber(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

int runRender(const QStringList &args)
{
    const QString usage = QStringLiteral("usage: tobbin-jigsaw render FOLDER --out FILE.png [--size WIDTHxHEIGHT] "
                                         "[--zoom Z] [--at X,Y]");
    QString folder, out;
    QSize size(1920, 1080);
    double zoom = 1.0;
    std::optional<QPointF> at;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size()) {
            out = args[++i];
        } else if (args[i] == QLatin1String("--size") && i + 1 < args.size()) {
            const QStringList parts = args[++i].split(QLatin1Char('x'));
            bool okW = false, okH = false;
            if (parts.size() == 2)
                size = QSize(parts[0].toInt(&okW), parts[1].toInt(&okH));
            if (!okW || !okH || size.isEmpty()) {
                printError(usage);
                return 2;
            }
        } else if (args[i] == QLatin1String("--zoom") && i + 1 < args.size()) {
            const std::optional<double> value = parseNumber(args[++i]);
            if (!value || *value < JPViewTransform::kMinZoom) {
                printError(QStringLiteral("render: the zoom must be a number from 1 up"));
                return 2;
            }
            zoom = *value;
        } else if (args[i] == QLatin1String("--at") && i + 1 < args.size()) {
            const QStringList parts = args[++i].split(QLatin1Char(','));
            const std::optional<double> x = parts.size() == 2 ? parseNumber(parts[0]) : std::nullopt;
            const std::optional<double> y = parts.size() == 2 ? parseNumber(parts[1]) : std::nullopt;
            if (!x || !y) {
                printError(usage);
                return 2;
            }
            at = QPointF(*x, *y);
        } else if (folder.isEmpty()) {
            folder = args[i];
        } else {
            printError(usage);
            return 2;
        }
    }
    if (folder.isEmpty() || out.isEmpty()) {
        printError(usage);
        return 2;
    }
    if (at && (at->x() < 0 || at->y() < 0 || at->x() > size.width() || at->y() > size.height())) {
        printError(QStringLiteral("render: the point %1,%2 lies outside the %3 x %4 board")
                       .arg(at->x())
                       .arg(at->y())
                       .arg(size.width())
                       .arg(size.height()));
        return 2;
    }
    QString reason;
    std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::openExisting(folder, &reason);
    if (!puzzle) {
        printError(QStringLiteral("render: can't open \"%1\": %2").arg(folder, reason));
        return 1;
    }
    if (zoom > JPViewTransform::kMinZoom) {
        // The largest zoom depends on how large the pieces show on a board of this size.
        puzzle->layoutPuzzle(QSizeF(size));
        const double largest = JPViewTransform::maxZoomForScale(puzzle->scale());
        if (zoom > largest) {
            printError(QStringLiteral("render: this puzzle can be zoomed to %1 at most on a %2 x %3 board")
                           .arg(largest, 0, 'g', 4)
                           .arg(size.width())
                           .arg(size.height()));
            return 1;
        }
    }
    const QImage image = RenderBoard(puzzle.get(), size, JPBoardLook::fromPreferences(), zoom, at);
    if (image.isNull() || !image.save(out, "PNG")) {
        printError(QStringLiteral("render: can't write \"%1\"").arg(out));
        return 1;
    }
    return 0;
}

}

bool IsCommandLine(int argc, char **argv)
{
    if (argc < 2)
        return false;
    for (const char *command : kCommands)
        if (std::strcmp(argv[1], command) == 0)
            return true;
    return false;
}

std::optional<int> RunCommandLine(const QStringList &arguments)
{
    if (arguments.size() < 2)
        return std::nullopt;
    InstallPuzzleKeyTable();
    const QString command = arguments[1];
    const QStringList rest = arguments.mid(2);
    if (command == QLatin1String("create"))
        return runCreate(rest);
    if (command == QLatin1String("info"))
        return runInfo(rest);
    if (command == QLatin1String("solve"))
        return runSolve(rest);
    if (command == QLatin1String("render"))
        return runRender(rest);
    return std::nullopt;
}
