#include "app/jp_app_controller.h"

#include "app/app_storage.h"
#include "app/finished_record.h"
#include "app/jp_finished_puzzles_dialog.h"
#include "app/jp_help_viewer.h"
#include "app/jp_new_puzzle_dialog.h"
#include "imaging/cc_image.h"
#include "model/jp_puzzle.h"
#include "model/play_stats.h"
#include "model/puzzle_folder.h"
#include "model/puzzle_xml.h"
#include "play/jp_building_progress_dialog.h"
#include "play/jp_done_puzzle_dialog.h"
#include "play/jp_pref_controller.h"
#include "play/jp_window_controller.h"
#include "services/cc_action_handler.h"
#include "services/cc_app_updater.h"
#include "services/cc_news_updater.h"
#include "support/cc_alert.h"
#include "support/cc_kernel.h"
#include "support/cc_notifier.h"
#include "support/helpers.h"
#include "support/log.h"
#include "support/paths.h"
#include "support/property_list.h"
#include "support/puzzle_keys.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSessionManager>
#include <QSettings>
#include <QTimer>

#include <algorithm>

namespace {

const QString kCurrentKey = QStringLiteral("wmjigsaw.current");
const QString kImageFilesKey = QStringLiteral("wmjigsaw.imageFiles");
const QString kFirstRunKey = QStringLiteral("wmjigsaw.run");
// The window's place and size at the last save, so the board comes back at the size it was
// laid out for.
const QString kWindowKey = QStringLiteral("wmjigsaw.window");

void showCreationAlert()
{
    CCAlert::sharedInstance()->giveAlertMessage(
        QStringLiteral("Can't create new puzzle."),
        QStringLiteral("Opening the new puzzle failed. Please try a different one."));
}

}

JPAppController *JPAppController::sharedInstance()
{
    static JPAppController *instance = new JPAppController;
    return instance;
}

JPAppController::JPAppController() = default;
JPAppController::~JPAppController() = default;

bool JPAppController::applicationWillFinishLaunching()
{
    CCKernel::sharedInstance();
    return SetUpStorageFolders();
}

void JPAppController::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;
    JPPrefController::sharedInstance();
    InstallPuzzleKeyTable();
    JPBuildingProgressDialog::install();
    JPPuzzle::setStopRequestHandler([this](JPPuzzle *puzzle) { puzzleAskedToStop(puzzle); });

    m_windowController = std::make_unique<JPWindowController>();
    QMenu *file = m_windowController->fileMenu();
    // The File menu starts with the library's commands, before the window's own items.
    QAction *first = file->actions().isEmpty() ? nullptr : file->actions().constFirst();
    m_newAction = new QAction(QStringLiteral("New Puzzle…"), file);
    m_newAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(m_newAction, &QAction::triggered, this, &JPAppController::newPuzzle);
    m_stopAction = new QAction(QStringLiteral("Delete Puzzle…"), file);
    m_stopAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace));
    connect(m_stopAction, &QAction::triggered, this, [this] { stopPuzzle(true); });
    m_nextAction = new QAction(QStringLiteral("Next Puzzle"), file);
    m_nextAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_QuoteLeft));
    connect(m_nextAction, &QAction::triggered, this, [this] { nextPuzzle(); });
    m_finishedAction = new QAction(QStringLiteral("Finished Puzzles…"), file);
    connect(m_finishedAction, &QAction::triggered, this,
            [this] { JPFinishedPuzzlesDialog::showRecord(m_windowController.get()); });
    QAction *preferences = new QAction(QStringLiteral("Preferences…"), file);
    preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setMenuRole(QAction::PreferencesRole);
    connect(preferences, &QAction::triggered, this, &JPAppController::showPreferences);
    QAction *quit = new QAction(QStringLiteral("Quit"), file);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    file->insertActions(first, {m_newAction, m_stopAction, m_nextAction, m_finishedAction});
    // Each puzzle's item tells its progress and time played.
    file->setToolTipsVisible(true);
    file->insertSeparator(first);
    file->addSeparator();
    file->addAction(preferences);
    file->addSeparator();
    file->addAction(quit);
    for (QAction *action : {m_newAction, m_stopAction, m_nextAction, preferences, quit})
        m_windowController->addAction(action);
    buildHelpMenu();
    connect(file, &QMenu::aboutToShow, this, &JPAppController::validateMenus);
    validateMenus();

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
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { saveEverything(); });
    watchForSleep();
    connect(m_windowController.get(), &JPWindowController::touched, this, [this] {
        if (m_currentPuzzle)
            m_playClock.touch();
    });
    connect(m_windowController.get(), &JPWindowController::activeChanged, this,
            [this](bool active) { m_playClock.setActive(active); });
    m_playClock.setActive(m_windowController->isActiveWindow());
    // No switch is posted here: saving now would forget which puzzle was current at the last quit.
    m_windowController->setWindowTitle(QStringLiteral("Jigsaw"));
}

void JPAppController::watchForSleep()
{
    // logind announces a coming sleep on the system bus; without one there is nothing to watch.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                SLOT(prepareForSleep(bool)));
}

void JPAppController::prepareForSleep(bool sleeping)
{
    m_playClock.setAwake(!sleeping);
    if (sleeping)
        saveEverything();
}

void JPAppController::restoreLibrary()
{
    if (!m_windowController)
        return;
    loadPuzzleLibrary(g_puzzlePath);
    LoadCacheMap();
    QSettings settings;
    g_imageFilePaths.clear();
    const QVariant stored = settings.value(kImageFilesKey);
    if (stored.canConvert<QStringList>())
        for (const QVariant &each : stored.toList())
            if (each.typeId() == QMetaType::QString || each.typeId() == QMetaType::QByteArray)
                g_imageFilePaths.append(each.toString());
    for (qsizetype i = g_imageFilePaths.size() - 1; i >= 0; --i)
        if (!QFileInfo(g_imageFilePaths[i]).isFile())
            g_imageFilePaths.removeAt(i);
    if (!settings.value(kFirstRunKey).toBool()) {
        sizeWindowOnFirstRun();
        settings.setValue(kFirstRunKey, true);
    } else {
        // Damaged bytes are refused by restoreGeometry, and a place off every screen is moved
        // back onto one.
        const QVariant geometry = settings.value(kWindowKey);
        if (geometry.typeId() == QMetaType::QByteArray)
            m_windowController->restoreGeometry(geometry.toByteArray());
    }
    // A folder named on the command line opens before this runs; then nothing is missing.
    QTimer::singleShot(0, this, [this] {
        if (m_openPuzzles.empty())
            newPuzzle();
    });
    m_windowController->show();
    m_windowController->raise();
    m_windowController->activateWindow();
    CCAppUpdater::sharedInstance()->startAutoCheck();
    CCNewsUpdater::sharedInstance()->startAutoCheck();
}

JPPuzzle *JPAppController::openPuzzleAt(const QString &folder) const
{
    for (const auto &open : m_openPuzzles)
        if (open->filePath() == folder)
            return open.get();
    return nullptr;
}

JPPuzzle *JPAppController::openFromCommandLine(const QString &path)
{
    const QString folder = QFileInfo(path).absoluteFilePath();
    JPPuzzle *puzzle = openPuzzleAt(folder);
    if (!puzzle)
        puzzle = openPuzzle(folder);
    if (puzzle) {
        updateFileMenu();
        setCurrentPuzzle(puzzle);
    }
    return puzzle;
}

void JPAppController::sizeWindowOnFirstRun()
{
    QScreen *screen = m_windowController->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect visible = screen ? screen->availableGeometry() : QRect();
    if (visible.width() >= 1250) {
        m_windowController->setGeometry(visible.x(), visible.y(), int(std::floor(0.75 * visible.width())),
                                        visible.height());
    } else if (!m_windowController->isMaximized()) {
        m_windowController->setWindowState(m_windowController->windowState() | Qt::WindowMaximized);
    }
}

QString JPAppController::aboutString()
{
    return QStringLiteral("Jigsaw puzzle maker, from our pictures or yours.");
}

void JPAppController::newPuzzle()
{
    if (QApplication::activeModalWidget())
        return;
    JPNewPuzzleDialog::selectNewPuzzle(m_windowController.get());
}

JPPuzzle *JPAppController::createPuzzle(const QVariantMap &dict)
{
    NewPuzzleChoice choice;
    choice.dict = dict;
    choice.image = dict.value(kImageKey).value<QImage>();
    choice.thumb = dict.value(kThumbKey).value<QImage>();
    choice.count = JPPrefController::sharedInstance()->puzzleSize();
    const QString path = stringForKey(dict, kPathKey);
    const bool kept = pathExtension(path).compare(QLatin1String("WMjigsaw"), Qt::CaseInsensitive) == 0;
    // The dialog went by the size it was told, which a website catalogue may get wrong: the
    // picture itself must hold the count.
    const QSize pictureSize = kept ? QSize() : path.isEmpty() ? choice.image.size() : DeclaredPictureSize(path);
    if (!kept && SquaresInPicture(pictureSize) < std::max<int64_t>(choice.count, kMinimumSquares)) {
        LogString(QStringLiteral("Can't create puzzle: %1 pieces don't fit a picture of %2 x %3 pixels")
                      .arg(choice.count)
                      .arg(pictureSize.width())
                      .arg(pictureSize.height()));
        showCreationAlert();
        return nullptr;
    }
    QString error;
    std::optional<MadePuzzleFolder> made = MakePuzzleFolder(choice, g_puzzlePath, &error);
    if (!made) {
        LogString(QStringLiteral("Can't create puzzle: %1").arg(error));
        return nullptr;
    }
    // A kept puzzle started again is already listed as kept; it leaves that list on opening.
    JPPuzzle *puzzle = openPuzzle(made->folder, made->picture, &made->dict);
    if (!puzzle) {
        // Nothing may be left that fails again at the next start: a new folder goes, a kept
        // puzzle stays kept.
        if (kept) {
            made->dict.remove(kResetKey);
            made->dict[kDoneKey] = true;
            WritePropertyList(QDir(made->folder).filePath(QStringLiteral("info.plist")), made->dict);
        } else {
            DeletePuzzleFolder(made->folder);
        }
        return nullptr;
    }
    updateFileMenu();
    setCurrentPuzzle(puzzle);
    return puzzle;
}

void JPAppController::showPreferences()
{
    JPPrefController::sharedInstance()->showPreferences(m_windowController.get());
}

void JPAppController::buildHelpMenu()
{
    QMenu *help = m_windowController->menuBar()->addMenu(QStringLiteral("&Help"));
    QAction *contents = help->addAction(QStringLiteral("Jigsaw Help"));
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    connect(contents, &QAction::triggered, this,
            [] { JPHelpViewer::sharedInstance()->showTopic(JPHelpViewer::TopicStart); });
    help->addSeparator();
    // The Window menu goes before Help, as desktop menus have it.
    QMenu *window = new QMenu(QStringLiteral("&Window"), m_windowController->menuBar());
    m_windowController->menuBar()->insertMenu(help->menuAction(), window);
    CCActionHandler *actions = CCActionHandler::sharedInstance();
    actions->setAboutString(aboutString());
    actions->installMenuItems(help, window);
    for (QMenu *menu : {help, window})
        m_windowController->addActions(menu->actions());
    m_helpMenu = help;
}

void JPAppController::clearCompletedPuzzles()
{
    for (qsizetype i = m_completedPuzzlePaths.size() - 1; i >= 0; --i)
        DeletePuzzleFolder(m_completedPuzzlePaths[i]);
    m_completedPuzzlePaths.clear();
}

void JPAppController::validateMenus()
{
    if (m_stopAction)
        m_stopAction->setEnabled(m_currentPuzzle != nullptr);
    if (m_nextAction)
        m_nextAction->setEnabled(m_openPuzzles.size() >= 2);
    if (m_newAction)
        m_newAction->setEnabled(true);
    for (size_t i = 0; i < m_puzzleActions.size() && i < m_openPuzzles.size(); ++i) {
        m_puzzleActions[i]->setEnabled(true);
        m_puzzleActions[i]->setChecked(m_openPuzzles[i].get() == m_currentPuzzle);
    }
    updatePuzzleToolTips();
}

void JPAppController::updatePuzzleToolTips()
{
    for (size_t i = 0; i < m_puzzleActions.size() && i < m_openPuzzles.size(); ++i) {
        const JPPuzzle *puzzle = m_openPuzzles[i].get();
        m_puzzleActions[i]->setToolTip(
            QStringLiteral("%1, played %2")
                .arg(ProgressText(ProgressOfPuzzle(*puzzle)), DurationText(playedSeconds(puzzle))));
    }
}

void JPAppController::takePlayTime()
{
    const int64_t counted = m_playClock.take();
    if (m_currentPuzzle && counted > 0)
        AddPlayedSeconds(*m_currentPuzzle, double(counted) / 1000.0);
}

double JPAppController::playedSeconds(const JPPuzzle *puzzle) const
{
    if (!puzzle)
        return 0.0;
    const double pending = puzzle == m_currentPuzzle ? double(m_playClock.pending()) / 1000.0 : 0.0;
    return PlayedSeconds(puzzle->puzzleDict()) + pending;
}

void JPAppController::setCurrentPuzzle(JPPuzzle *puzzle)
{
    takePlayTime();
    // Another puzzle on the board counts once the player has touched it.
    if (puzzle != m_currentPuzzle)
        m_playClock.forgetTouch();
    m_currentPuzzle = puzzle;
    if (m_windowController) {
        m_windowController->setCurrentPuzzle(puzzle);
        m_windowController->setWindowTitle(puzzle ? QStringLiteral("Jigsaw — ") + puzzle->name()
                                                  : QStringLiteral("Jigsaw"));
    }
    validateMenus();
    CCNotifier::sharedInstance()->post(QLatin1String(kSwitchNotification));
}

JPPuzzle *JPAppController::openPuzzle(const QString &folder, std::shared_ptr<CCImage> image,
                                      const QVariantMap *puzzleDict)
{
    std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::initWithPath(folder, std::move(image), puzzleDict);
    if (!puzzle || puzzle->creationFail()) {
        showCreationAlert();
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
    // The time spent in the dialog is not play.
    takePlayTime();
    m_playClock.forgetTouch();
    if (!byUser) {
        // A finish stays in the record whatever becomes of the puzzle.
        AddToFinishedRecord(FinishedRecordPath(), FinishedEntryForPuzzle(*puzzle));
        puzzle->save();
    }
    const bool dispose = JPDonePuzzleDialog::disposePuzzle(puzzle, byUser, m_windowController.get());
    if (dispose) {
        const QString path = puzzle->filePath();
        closePuzzle(puzzle);
        DeletePuzzleFolder(path);
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
        if (openPuzzleAt(path))
            continue;
        const std::optional<QVariantMap> info =
            ReadPropertyListDictionary(QDir(path).filePath(QStringLiteral("info.plist")));
        if (info && boolForKey(*info, kDoneKey)) {
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
    const QString current = ExpandTilde(QSettings().value(kCurrentKey).toString());
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
    validateMenus();
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
    updatePuzzleToolTips();
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
    takePlayTime();
    for (const std::unique_ptr<JPPuzzle> &puzzle : m_openPuzzles)
        puzzle->save();
    QSettings settings;
    if (m_currentPuzzle)
        settings.setValue(kCurrentKey, AbbreviateHome(m_currentPuzzle->filePath()));
    else
        settings.remove(kCurrentKey);
    if (!g_puzzlePath.isEmpty())
        SaveCacheMap();
    // The window is shown once its saved place is restored; a save before that would keep
    // the size it had before.
    if (m_windowController && m_windowController->isVisible())
        settings.setValue(kWindowKey, m_windowController->saveGeometry());
    if (g_imageFilePaths.isEmpty())
        settings.remove(kImageFilesKey);
    else
        settings.setValue(kImageFilesKey, g_imageFilePaths);
    settings.sync();
    JPPrefController::sharedInstance()->savePreferences();
}
