#include "app/jp_app_controller.h"

#include "play/jp_pref_controller.h"

#include "model/jp_puzzle.h"
#include "play/jp_building_progress_dialog.h"
#include "play/jp_done_puzzle_dialog.h"
#include "play/jp_window_controller.h"
#include "support/cc_alert.h"
#include "support/cc_notifier.h"
#include "support/helpers.h"
#include "support/log.h"
#include "support/property_list.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include <algorithm>

namespace {

constexpr char kSwitchNotification[] = "wmjigsaw.switch";

QString abbreviateHome(const QString &path)
{
    const QString home = QDir::homePath();
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

// Only a puzzle folder is ever removed, never whatever a damaged path might name.
bool deletePuzzleFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.suffix().compare(QLatin1String("WMjigsaw"), Qt::CaseInsensitive) != 0 || !info.isDir()) {
        LogString(QStringLiteral("Not deleting %1: not a puzzle folder").arg(path));
        return false;
    }
    return QDir(path).removeRecursively();
}

}

JPAppController *JPAppController::sharedInstance()
{
    static JPAppController *instance = new JPAppController;
    return instance;
}

JPAppController::JPAppController() = default;
JPAppController::~JPAppController() = default;

void JPAppController::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;
    JPBuildingProgressDialog::install();
    JPPuzzle::setStopRequestHandler([this](JPPuzzle *puzzle) { puzzleAskedToStop(puzzle); });

    m_windowController = std::make_unique<JPWindowController>();
    m_stopAction = m_windowController->fileMenu()->addAction(QStringLiteral("Delete Puzzle…"));
    m_stopAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace));
    m_windowController->addAction(m_stopAction);
    connect(m_stopAction, &QAction::triggered, this, [this] { stopPuzzle(true); });
    m_nextAction = m_windowController->fileMenu()->addAction(QStringLiteral("Next Puzzle"));
    m_nextAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_QuoteLeft));
    m_windowController->addAction(m_nextAction);
    connect(m_nextAction, &QAction::triggered, this, [this] { nextPuzzle(); });
    m_nextAction->setEnabled(false);
    m_windowController->fileMenu()->addSeparator();
    QAction *quit = m_windowController->fileMenu()->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    connect(m_windowController->fileMenu(), &QMenu::aboutToShow, this,
            [this] { m_stopAction->setEnabled(m_currentPuzzle != nullptr); });
    m_stopAction->setEnabled(false);

    // The window opens with its tool strip; a strip the player hid stays hidden.
    if (!JPPrefController::sharedInstance()->showToolbar()) {
        JPPrefController::sharedInstance()->setShowToolbar(true);
        m_windowController->toggleToolbar();
    }

    connect(CCNotifier::sharedInstance(), &CCNotifier::posted, this, [this](const QString &name) {
        if (name == QLatin1String(kSwitchNotification))
            saveEverything();
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            saveEverything();
    });
    connect(qApp, &QCoreApplication::aboutToQuit, this, &JPAppController::saveEverything);
    // No switch is posted here: saving now would forget which puzzle was current at the last quit.
    m_windowController->setWindowTitle(QStringLiteral("Jigsaw"));
}

void JPAppController::setCurrentPuzzle(JPPuzzle *puzzle)
{
    m_currentPuzzle = puzzle;
    if (m_windowController) {
        m_windowController->setCurrentPuzzle(puzzle);
        m_windowController->setWindowTitle(puzzle ? QStringLiteral("Jigsaw — ") + puzzle->name()
                                                  : QStringLiteral("Jigsaw"));
    }
    if (m_stopAction)
        m_stopAction->setEnabled(puzzle != nullptr);
    for (size_t i = 0; i < m_puzzleActions.size() && i < m_openPuzzles.size(); ++i)
        m_puzzleActions[i]->setChecked(m_openPuzzles[i].get() == puzzle);
    CCNotifier::sharedInstance()->post(QLatin1String(kSwitchNotification));
}

JPPuzzle *JPAppController::openPuzzle(const QString &folder, std::shared_ptr<CCImage> image,
                                      const QVariantMap *puzzleDict)
{
    std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::initWithPath(folder, std::move(image), puzzleDict);
    if (!puzzle || puzzle->creationFail()) {
        CCAlert::sharedInstance()->giveAlertMessage(
            QStringLiteral("Can't create new puzzle."),
            QStringLiteral("Opening the new puzzle failed. Please try a different one."));
        return nullptr;
    }
    m_completedPuzzlePaths.removeAll(folder);
    m_openPuzzles.push_back(std::move(puzzle));
    return m_openPuzzles.back().get();
}

void JPAppController::puzzleAskedToStop(JPPuzzle *puzzle)
{
    const bool open = std::any_of(m_openPuzzles.begin(), m_openPuzzles.end(),
                                  [puzzle](const std::unique_ptr<JPPuzzle> &each) { return each.get() == puzzle; });
    if (!open)
        return;
    // The dialog speaks of the current puzzle, so the finished one is shown first.
    if (puzzle != m_currentPuzzle)
        setCurrentPuzzle(puzzle);
    stopPuzzle(false);
}

void JPAppController::stopPuzzle(bool byUser)
{
    JPPuzzle *puzzle = m_currentPuzzle;
    if (!puzzle)
        return;
    const bool dispose = JPDonePuzzleDialog::disposePuzzle(puzzle, byUser, m_windowController.get());
    if (dispose) {
        const QString path = puzzle->filePath();
        closePuzzle(puzzle);
        deletePuzzleFolder(path);
        return;
    }
    if (byUser)
        return;
    m_completedPuzzlePaths.append(puzzle->filePath());
    closePuzzle(puzzle);
}

void JPAppController::closePuzzle(JPPuzzle *puzzle)
{
    auto at = std::find_if(m_openPuzzles.begin(), m_openPuzzles.end(),
                           [puzzle](const std::unique_ptr<JPPuzzle> &each) { return each.get() == puzzle; });
    if (at == m_openPuzzles.end())
        return;
    // Nothing may point at the puzzle once it is gone, so another one is made current first.
    std::unique_ptr<JPPuzzle> closing = std::move(*at);
    m_openPuzzles.erase(at);
    if (m_currentPuzzle == puzzle)
        setCurrentPuzzle(m_openPuzzles.empty() ? nullptr : m_openPuzzles.front().get());
    updateFileMenu();
}

void JPAppController::loadPuzzleLibrary(const QString &supportFolder)
{
    const QDir folder(supportFolder);
    for (const QString &entry : folder.entryList({QStringLiteral("*.WMjigsaw")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString path = folder.filePath(entry);
        const bool alreadyOpen = std::any_of(m_openPuzzles.begin(), m_openPuzzles.end(),
                                             [&path](const std::unique_ptr<JPPuzzle> &p) { return p->filePath() == path; });
        if (alreadyOpen)
            continue;
        const std::optional<QVariantMap> info = ReadPropertyListDictionary(QDir(path).filePath(QStringLiteral("info.plist")));
        if (info && boolForKey(*info, QStringLiteral("done"))) {
            if (!m_completedPuzzlePaths.contains(path))
                m_completedPuzzlePaths.append(path);
            continue;
        }
        if (!openPuzzle(path, nullptr, info ? &*info : nullptr))
            LogString(QStringLiteral("Can't open puzzle folder %1; it is left as it is").arg(path));
    }
    updateFileMenu();
    if (m_openPuzzles.empty())
        return;
    const QString stored = QSettings().value(QStringLiteral("wmjigsaw.current")).toString();
    const QString current = stored.startsWith(QLatin1Char('~')) ? QDir::homePath() + stored.mid(1) : stored;
    JPPuzzle *chosen = m_openPuzzles.front().get();
    for (const std::unique_ptr<JPPuzzle> &puzzle : m_openPuzzles)
        if (!current.isEmpty() && puzzle->filePath() == current)
            chosen = puzzle.get();
    setCurrentPuzzle(chosen);
}

void JPAppController::updateFileMenu()
{
    std::stable_sort(m_openPuzzles.begin(), m_openPuzzles.end(),
                     [](const std::unique_ptr<JPPuzzle> &a, const std::unique_ptr<JPPuzzle> &b) {
                         const int byName = a->name().compare(b->name(), Qt::CaseInsensitive);
                         return byName != 0 ? byName < 0 : a->pieceCount() < b->pieceCount();
                     });
    if (!m_windowController)
        return;
    QMenu *menu = m_windowController->fileMenu();
    for (QAction *action : m_puzzleActions) {
        menu->removeAction(action);
        action->deleteLater();
    }
    m_puzzleActions.clear();
    if (m_puzzleSeparator) {
        menu->removeAction(m_puzzleSeparator);
        m_puzzleSeparator->deleteLater();
        m_puzzleSeparator = nullptr;
    }
    if (m_nextAction)
        m_nextAction->setEnabled(m_openPuzzles.size() >= 2);
    if (m_openPuzzles.empty())
        return;
    m_puzzleSeparator = menu->addSeparator();
    for (size_t i = 0; i < m_openPuzzles.size(); ++i) {
        JPPuzzle *puzzle = m_openPuzzles[i].get();
        QAction *item = menu->addAction(QStringLiteral("%1  (%2)").arg(puzzle->name()).arg(puzzle->pieceCount()));
        item->setCheckable(true);
        item->setChecked(puzzle == m_currentPuzzle);
        if (i < 9)
            item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + int(i))));
        const int index = int(i);
        connect(item, &QAction::triggered, this, [this, index] { switchToPuzzle(index); });
        m_puzzleActions.push_back(item);
    }
}

void JPAppController::switchToPuzzle(int index)
{
    if (index < 0 || size_t(index) >= m_openPuzzles.size())
        return;
    JPPuzzle *puzzle = m_openPuzzles[size_t(index)].get();
    if (puzzle != m_currentPuzzle) {
        setCurrentPuzzle(puzzle);
        saveEverything();
    }
    for (size_t i = 0; i < m_puzzleActions.size(); ++i)
        m_puzzleActions[i]->setChecked(int(i) == index);
}

void JPAppController::nextPuzzle()
{
    if (m_openPuzzles.empty())
        return;
    const auto at = std::find_if(m_openPuzzles.begin(), m_openPuzzles.end(),
                                 [this](const std::unique_ptr<JPPuzzle> &p) { return p.get() == m_currentPuzzle; });
    const size_t next = at == m_openPuzzles.end() ? 0 : size_t(at - m_openPuzzles.begin() + 1) % m_openPuzzles.size();
    switchToPuzzle(int(next));
}

void JPAppController::saveEverything()
{
    for (const std::unique_ptr<JPPuzzle> &puzzle : m_openPuzzles)
        puzzle->save();
    QSettings settings;
    if (m_currentPuzzle)
        settings.setValue(QStringLiteral("wmjigsaw.current"), abbreviateHome(m_currentPuzzle->filePath()));
    else
        settings.remove(QStringLiteral("wmjigsaw.current"));
    settings.sync();
    JPPrefController::sharedInstance()->savePreferences();
}
