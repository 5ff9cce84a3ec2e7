#include "app/jp_app_controller.h"

#include "play/jp_pref_controller.h"

#include "model/jp_puzzle.h"
#include "play/jp_building_progress_dialog.h"
#include "play/jp_done_puzzle_dialog.h"
#include "play/jp_window_controller.h"
#include "support/cc_alert.h"
#include "support/cc_notifier.h"
#include "support/log.h"

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
    setCurrentPuzzle(nullptr);
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
