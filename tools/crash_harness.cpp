// Kills the headless game with SIGKILL at random moments while it solves or makes a puzzle,
// and checks after every kill that what is left on disk is sound:
//   crash_harness --program build/tobbin-jigsaw --picture PICTURE [--pieces 300]
//                 [--solve-kills 100] [--create-kills 50] [--seed N] [--work FOLDER]
// A picture too small for the piece count is scaled up first. Exits 0 when every check held.
#include "crash_harness_checks.h"

#include "model/puzzle_folder.h"
#include "model/puzzle_xml.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

namespace {

using namespace crash_harness;

struct Options
{
    QString program;
    QString picture;
    QString work;
    int64_t pieces = 300;
    int solveKills = 100;
    int createKills = 50;
    uint32_t seed = 0;
};

struct Tally
{
    int solveKills = 0;
    int killsAfterLinks = 0;
    int solveRunsFinished = 0;
    int reopenings = 0;
    int renderComparisons = 0;
    int repairedImages = 0;
    int staleImages = 0;
    int strayFiles = 0;
    int puzzlesFinished = 0;
    int createKills = 0;
    int createRunsFinished = 0;
    int createNothingLeft = 0;
    int createIgnored = 0;
    int createRebuilt = 0;
    int createOpened = 0;
    QStringList failures;
};

void say(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

class Harness
{
public:
    explicit Harness(Options options)
        : m_options(std::move(options))
        , m_random(m_options.seed)
    {
    }

    int run();

private:
    struct Outcome
    {
        int exitCode = -1;
        bool killed = false;
        QString output;
    };

    // Runs the program to its end, or kills it after killAfterMs, or right after it reports
    // link number killAfterLink (solve --print-links).
    Outcome runProgram(const QStringList &arguments, int killAfterMs = -1, int killAfterLink = -1);
    bool preparePicture();
    QString makePuzzle(const QString &into);
    void measure(const QString &puzzle);
    void solveWithKills();
    bool checkAfterSolveKill(const QString &folder, size_t &lastItems);
    void createWithKills();
    void checkAfterCreateKill(const QString &support);
    void fail(const QString &what);
    int uniform(int high) { return std::uniform_int_distribution<int>(0, std::max(0, high))(m_random); }

    Options m_options;
    std::mt19937 m_random;
    Tally m_tally;
    CountingAlertPresenter m_alerts;
    qint64 m_startMs = 0;
    qint64 m_openMs = 0;
    qint64 m_solveMs = 0;
    qint64 m_createMs = 0;
};

Harness::Outcome Harness::runProgram(const QStringList &arguments, int killAfterMs, int killAfterLink)
{
    QProcess process;
    process.setProgram(m_options.program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
    Outcome outcome;
    if (!process.waitForStarted(10000)) {
        fail(QStringLiteral("can't start %1").arg(m_options.program));
        return outcome;
    }
    const auto killNow = [&] {
        process.kill(); // SIGKILL: no handler, no clean-up
        process.waitForFinished(-1);
        outcome.killed = true;
        return outcome;
    };
    if (killAfterMs >= 0 && !process.waitForFinished(killAfterMs))
        return killNow();
    if (killAfterLink >= 0) {
        QByteArray lines;
        while (process.waitForReadyRead(600000)) {
            lines += process.readAllStandardOutput();
            if (lines.count("link ") >= killAfterLink)
                return killNow();
        }
        outcome.output = QString::fromLocal8Bit(lines);
    }
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(600000)) {
        process.kill();
        process.waitForFinished(-1);
        fail(QStringLiteral("%1 hung").arg(arguments.join(QLatin1Char(' '))));
        return outcome;
    }
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.output += QString::fromLocal8Bit(process.readAllStandardOutput());
    if (outcome.exitCode != 0)
        outcome.output += QString::fromLocal8Bit(process.readAllStandardError());
    return outcome;
}

void Harness::fail(const QString &what)
{
    m_tally.failures.append(what);
    say(QStringLiteral("FAIL: %1").arg(what));
}

bool Harness::preparePicture()
{
    const QSize size = DeclaredPictureSize(m_options.picture);
    if (size.isEmpty())
        return false;
    if (SquaresInPicture(size) >= m_options.pieces)
        return true;
    const double grow = std::sqrt(double(m_options.pieces) / double(SquaresInPicture(size))) * 1.1;
    QImage picture(m_options.picture);
    picture = picture.scaled((QSizeF(size) * grow).toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_options.picture = QDir(m_options.work).filePath(QStringLiteral("picture.jpg"));
    return picture.save(m_options.picture, "JPEG", 90);
}

QString Harness::makePuzzle(const QString &into)
{
    QElapsedTimer timer;
    timer.start();
    const Outcome made = runProgram({QStringLiteral("create"), m_options.picture, QStringLiteral("--pieces"),
                                     QString::number(m_options.pieces), QStringLiteral("--into"), into});
    m_createMs = timer.elapsed();
    if (made.exitCode != 0) {
        fail(QStringLiteral("create failed: %1").arg(made.output.trimmed()));
        return QString();
    }
    return made.output.trimmed();
}

void Harness::measure(const QString &puzzle)
{
    const QString trial = QDir(m_options.work).filePath(QStringLiteral("trial.WMjigsaw"));
    copyFolder(puzzle, trial);
    QElapsedTimer timer;
    timer.start();
    runProgram({QStringLiteral("info"), QDir(m_options.work).filePath(QStringLiteral("nothing"))});
    m_startMs = timer.elapsed();
    timer.restart();
    runProgram({QStringLiteral("info"), trial});
    m_openMs = timer.elapsed();
    timer.restart();
    const Outcome solved = runProgram({QStringLiteral("solve"), trial});
    m_solveMs = timer.elapsed();
    if (solved.exitCode != 0)
        fail(QStringLiteral("an untouched puzzle can't be solved: %1").arg(solved.output.trimmed()));
    QDir(trial).removeRecursively();
    say(QStringLiteral("start %1 ms, create %2 ms, open %3 ms, whole solve %4 ms")
            .arg(m_startMs)
            .arg(m_createMs)
            .arg(m_openMs)
            .arg(m_solveMs));
}

bool Harness::checkAfterSolveKill(const QString &folder, size_t &lastItems)
{
    const QString snapshot = QDir(m_options.work).filePath(QStringLiteral("snapshot.WMjigsaw"));
    copyFolder(folder, snapshot);
    const std::map<uint64_t, QString> before = assemblyImageFiles(snapshot);

    const Outcome info = runProgram({QStringLiteral("info"), folder});
    ++m_tally.reopenings;
    if (info.exitCode != 0) {
        fail(QStringLiteral("info fails after a kill: %1").arg(info.output.trimmed()));
        return false;
    }

    // The board as left, against the same board with every assembly picture made afresh:
    // opening it makes them, its render draws them from their files as `left` does.
    const QString left = QDir(m_options.work).filePath(QStringLiteral("left.png"));
    const QString fresh = QDir(m_options.work).filePath(QStringLiteral("fresh.png"));
    const QString freshFolder = QDir(m_options.work).filePath(QStringLiteral("fresh.WMjigsaw"));
    copyFolder(snapshot, freshFolder);
    for (const auto &[id, path] : assemblyImageFiles(freshFolder))
        QFile::remove(path);
    const QStringList size = {QStringLiteral("--size"), QStringLiteral("960x600")};
    const Outcome a = runProgram(QStringList{QStringLiteral("render"), folder, QStringLiteral("--out"), left} + size);
    QString unused;
    JPPuzzle::openExisting(freshFolder, &unused);
    const Outcome b =
        runProgram(QStringList{QStringLiteral("render"), freshFolder, QStringLiteral("--out"), fresh} + size);
    if (a.exitCode != 0 || b.exitCode != 0) {
        fail(QStringLiteral("render fails after a kill: %1 %2").arg(a.output.trimmed(), b.output.trimmed()));
    } else {
        ++m_tally.renderComparisons;
        const int64_t differing = differingPixels(QImage(left), QImage(fresh));
        if (differing != 0) {
            const QString kept = snapshot + QStringLiteral(".") + QString::number(m_tally.solveKills);
            copyFolder(snapshot, kept);
            fail(QStringLiteral("the board drawn from the stored assembly pictures differs from one drawn from "
                                "fresh pictures in %1 pixels (kept in %2)")
                     .arg(differing)
                     .arg(kept));
        }
        // Pictures that didn't match their members as the kill left them, whatever opening did.
        for (const auto &[id, path] : assemblyImageFiles(freshFolder)) {
            const auto stored = before.find(id);
            if (stored != before.end() && differingPixels(QImage(stored->second), QImage(path)) != 0)
                ++m_tally.staleImages;
        }
    }
    QDir(freshFolder).removeRecursively();

    QStringList problems;
    const std::optional<BoardSummary> board = checkBuiltPuzzle(folder, problems);
    for (const QString &problem : problems)
        fail(QStringLiteral("after kill %1: %2").arg(m_tally.solveKills).arg(problem));
    if (!board)
        return false;
    for (const auto &[id, path] : assemblyImageFiles(folder)) {
        const auto old = before.find(id);
        if (old != before.end() && fileHash(old->second) != fileHash(path))
            ++m_tally.repairedImages;
    }
    // Every link is saved as it is made, so a reopened board never has more items than the
    // last one seen.
    if (board->items > lastItems)
        fail(QStringLiteral("the board went back from %1 to %2 items").arg(lastItems).arg(board->items));
    if (!info.output.contains(QStringLiteral("items on the board: %1\n").arg(board->items)))
        fail(QStringLiteral("info and the reopened board disagree: %1").arg(info.output));
    lastItems = board->items;
    m_tally.strayFiles = board->strayFiles;
    say(QStringLiteral("solve kill %1: %2 items, %3 assemblies")
            .arg(m_tally.solveKills)
            .arg(board->items)
            .arg(board->assemblies));
    return board->items <= 1;
}

void Harness::solveWithKills()
{
    const QString pristine = makePuzzle(QDir(m_options.work).filePath(QStringLiteral("pristine")));
    if (pristine.isEmpty())
        return;
    measure(pristine);
    int round = 0;
    const auto freshCopy = [&] {
        const QString folder = QDir(m_options.work).filePath(QStringLiteral("round%1.WMjigsaw").arg(++round));
        copyFolder(pristine, folder);
        return folder;
    };
    QString folder = freshCopy();
    size_t lastItems = size_t(m_options.pieces) * 2;
    double stretch = 1.0;
    while (m_tally.solveKills < m_options.solveKills && m_tally.failures.size() < 20) {
        // Aim across the opening and the links still to make, so late boards get hit too.
        const double left = double(std::min<size_t>(lastItems, size_t(m_options.pieces))) / double(m_options.pieces);
        const int window = int((2.0 * double(m_openMs) + double(m_solveMs - m_openMs) * left * 1.2) * stretch);
        const size_t itemsBefore = lastItems;
        // Every other run is killed right after a link, while its picture is still being
        // written, saving after every link or only after a few.
        const bool afterLink = m_tally.solveKills % 2 == 1;
        const int linksLeft = int(std::min<size_t>(lastItems, size_t(m_options.pieces))) - 1;
        const Outcome run = afterLink ? runProgram({QStringLiteral("solve"), folder, QStringLiteral("--print-links"),
                                                    QStringLiteral("--save-every"), QString::number(1 + uniform(3))},
                                                   -1, 1 + uniform(linksLeft - 1))
                                      : runProgram({QStringLiteral("solve"), folder}, uniform(window));
        if (!run.killed) {
            ++m_tally.solveRunsFinished;
            if (run.exitCode != 0)
                fail(QStringLiteral("solve after kills returned %1: %2").arg(run.exitCode).arg(run.output.trimmed()));
        } else {
            ++m_tally.solveKills;
            m_tally.killsAfterLinks += afterLink;
        }
        const bool done = checkAfterSolveKill(folder, lastItems);
        // A busy machine opens more slowly than measured: widen the window until links are made.
        if (!afterLink)
            stretch = lastItems < itemsBefore ? 1.0 : std::min(stretch * 1.5, 20.0);
        if (done && m_tally.solveKills < m_options.solveKills) {
            ++m_tally.puzzlesFinished;
            QDir(folder).removeRecursively();
            folder = freshCopy();
            lastItems = size_t(m_options.pieces) * 2;
        }
    }
    // The puzzle left by the last kill must still be finished by one whole solve.
    const Outcome last = runProgram({QStringLiteral("solve"), folder});
    const Outcome info = runProgram({QStringLiteral("info"), folder});
    if (last.exitCode != 0 || !info.output.contains(QStringLiteral("done: yes")))
        fail(QStringLiteral("the last puzzle can't be finished: %1 %2")
                 .arg(last.output.trimmed(), info.output.trimmed()));
    else
        ++m_tally.puzzlesFinished;
}

void Harness::checkAfterCreateKill(const QString &support)
{
    const QDir dir(support);
    const QStringList entries = dir.entryList(QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    if (entries.isEmpty())
        ++m_tally.createNothingLeft;
    for (const QString &entry : entries) {
        const QString path = dir.filePath(entry);
        if (QFileInfo(path).suffix().compare(QLatin1String("WMjigsaw"), Qt::CaseInsensitive) != 0) {
            // The library lists "*.WMjigsaw" folders only.
            ++m_tally.createIgnored;
            continue;
        }
        // What the game does at start-up for every unfinished puzzle folder.
        const bool built = QFileInfo::exists(QDir(path).filePath(QStringLiteral("puzzle.xml")));
        const std::optional<QVariantMap> info =
            ReadPropertyListDictionary(QDir(path).filePath(QStringLiteral("info.plist")));
        m_alerts.messages.clear();
        std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::initWithPath(path, nullptr, info ? &*info : nullptr);
        if (!puzzle || puzzle->creationFail() || !m_alerts.messages.isEmpty()) {
            fail(QStringLiteral("a folder left by a killed create doesn't open (%1): %2 %3")
                     .arg(built ? QStringLiteral("built") : QStringLiteral("not built"), path,
                          m_alerts.messages.join(QLatin1Char(' '))));
            copyFolder(path,
                       QDir(m_options.work).filePath(QStringLiteral("failed-create-%1").arg(m_tally.createKills)));
            continue;
        }
        ++(built ? m_tally.createOpened : m_tally.createRebuilt);
        puzzle.reset();
        QStringList problems;
        const std::optional<BoardSummary> board = checkBuiltPuzzle(path, problems);
        for (const QString &problem : problems)
            fail(QStringLiteral("after create kill %1: %2").arg(m_tally.createKills).arg(problem));
        if (board && (board->items != size_t(board->pieces) || board->assemblies != 0))
            fail(QStringLiteral("a new puzzle holds %1 items for %2 pieces").arg(board->items).arg(board->pieces));
    }
}

void Harness::createWithKills()
{
    for (int i = 0; i < m_options.createKills && m_tally.failures.size() < 20;) {
        const QString support = QDir(m_options.work).filePath(QStringLiteral("library"));
        QDir(support).removeRecursively();
        QDir().mkpath(support);
        // After the program has started; half the kills land early, where the folder itself
        // is being made.
        const qint64 started = m_startMs * 8 / 10;
        const int window = int(double(m_createMs - started) * (uniform(1) ? 1.1 : 0.3));
        const Outcome run = runProgram({QStringLiteral("create"), m_options.picture, QStringLiteral("--pieces"),
                                        QString::number(m_options.pieces), QStringLiteral("--into"), support},
                                       int(started) + uniform(window));
        if (run.killed) {
            ++m_tally.createKills;
            ++i;
        } else {
            ++m_tally.createRunsFinished;
        }
        checkAfterCreateKill(support);
    }
}

int Harness::run()
{
    if (!preparePicture()) {
        say(QStringLiteral("can't read the picture %1").arg(m_options.picture));
        return 2;
    }
    say(QStringLiteral("seed %1, %2 pieces from %3").arg(m_options.seed).arg(m_options.pieces).arg(m_options.picture));
    CCAlert::sharedInstance()->setPresenter(&m_alerts);
    solveWithKills();
    createWithKills();
    CCAlert::sharedInstance()->setPresenter(nullptr);

    const Tally &t = m_tally;
    say(QStringLiteral("solve: %1 kills (%9 right after a link; %2 runs ended by themselves), %3 reopenings, "
                       "%4 render comparisons, %5 assembly pictures left stale by a kill, %6 rewritten on opening, "
                       "%7 puzzles finished, %8 stray files in the last folder")
            .arg(t.solveKills)
            .arg(t.solveRunsFinished)
            .arg(t.reopenings)
            .arg(t.renderComparisons)
            .arg(t.staleImages)
            .arg(t.repairedImages)
            .arg(t.puzzlesFinished)
            .arg(t.strayFiles)
            .arg(t.killsAfterLinks));
    say(QStringLiteral("create: %1 kills (%2 runs ended by themselves); left behind: nothing %3, ignored %4, "
                       "rebuilt on opening %5, opened as built %6")
            .arg(t.createKills)
            .arg(t.createRunsFinished)
            .arg(t.createNothingLeft)
            .arg(t.createIgnored)
            .arg(t.createRebuilt)
            .arg(t.createOpened));
    say(QStringLiteral("failures: %1").arg(t.failures.size()));
    return t.failures.isEmpty() ? 0 : 1;
}

std::optional<Options> parseOptions(const QStringList &arguments)
{
    Options options;
    options.seed = std::random_device()();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        const QString &name = arguments[i];
        const QString &value = arguments[i + 1];
        if (name == QLatin1String("--program"))
            options.program = value;
        else if (name == QLatin1String("--picture"))
            options.picture = value;
        else if (name == QLatin1String("--work"))
            options.work = value;
        else if (name == QLatin1String("--pieces"))
            options.pieces = value.toLongLong();
        else if (name == QLatin1String("--solve-kills"))
            options.solveKills = value.toInt();
        else if (name == QLatin1String("--create-kills"))
            options.createKills = value.toInt();
        else if (name == QLatin1String("--seed"))
            options.seed = value.toUInt();
        else
            return std::nullopt;
    }
    if (arguments.size() % 2 == 0 || options.program.isEmpty() || options.picture.isEmpty() || options.pieces < 2)
        return std::nullopt;
    return options;
}

}

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The game's log and settings go to a home of the harness's own, for it and its children.
    QTemporaryDir home;
    for (const char *name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        const QString folder = QDir(home.path()).filePath(QString::fromLatin1(name));
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv(name, folder.toLocal8Bit());
    }
    QGuiApplication app(argc, argv);
    std::optional<Options> options = parseOptions(QGuiApplication::arguments());
    if (!options) {
        say(QStringLiteral("usage: crash_harness --program GAME --picture PICTURE [--pieces N] [--solve-kills N] "
                           "[--create-kills N] [--seed N] [--work FOLDER]"));
        return 2;
    }
    QTemporaryDir work;
    if (options->work.isEmpty())
        options->work = work.path();
    QDir().mkpath(options->work);
    options->program = QFileInfo(options->program).absoluteFilePath();
    InstallPuzzleKeyTable();
    return Harness(*options).run();
}
