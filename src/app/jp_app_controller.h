#pragma once

#include "play/jp_play_clock.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <vector>

class CCImage;
class JPPuzzle;
class JPWindowController;
class QAction;
class QMenu;

// The application's owner of the open puzzles and the puzzle window: makes a puzzle current,
// retires finished or abandoned ones through the finishing dialog, and saves everything when
// the application quits, is deactivated or the current puzzle changes. One instance, created
// on first use on the main thread after the QApplication.
class JPAppController : public QObject
{
    Q_OBJECT

public:
    static JPAppController *sharedInstance();

    // Finds or makes the storage folders; false when the game can't run without them.
    bool applicationWillFinishLaunching();
    // Creates the window and its menus and hooks up saving, the building dialog and the stop
    // requests of finished puzzles. Runs once; later calls do nothing.
    void applicationDidFinishLaunching();
    // Start-up after the window exists: opens the puzzle library, the thumbnail cache and the
    // list of own pictures, sizes the window on the first run, and makes the puzzle current
    // that was current at the last quit, or queues the new-puzzle dialog when there is none.
    void restoreLibrary();
    // Opens a puzzle folder named at start, or shows it when it is open already.
    JPPuzzle *openFromCommandLine(const QString &path);

    static QString aboutString();

    JPWindowController *windowController() const { return m_windowController.get(); }
    JPPuzzle *currentPuzzle() const { return m_currentPuzzle; }
    // Shows puzzle (or nothing) in the window, titles the window after it and posts
    // "wmjigsaw.switch".
    void setCurrentPuzzle(JPPuzzle *puzzle);

    // Opens the puzzle in folder and adds it to the open puzzles; null (after an alert) when
    // the puzzle model refuses the folder.
    JPPuzzle *openPuzzle(const QString &folder, std::shared_ptr<CCImage> image = nullptr,
                         const QVariantMap *puzzleDict = nullptr);

    // byUser: the user asked to stop and delete the current puzzle; otherwise the current
    // puzzle has just been finished. Asks the finishing dialog, then deletes, keeps or
    // leaves the puzzle as answered.
    void stopPuzzle(bool byUser);

    // Runs the new-puzzle dialog; its choice arrives later through createPuzzle().
    void newPuzzle();
    // Makes a puzzle folder from the dialog's choice (or starts a kept puzzle again), opens it
    // and makes it current. Nothing is shown when the picture or the folder fails.
    JPPuzzle *createPuzzle(const QVariantMap &dict);
    // Enables and checks the File menu's items for the current state of the library.
    void validateMenus();
    // Deletes every kept puzzle's folder, last first, and empties the list.
    void clearCompletedPuzzles();

    void saveEverything();

    // Opens every unfinished puzzle of the puzzles folder (a folder that can't be opened is
    // reported and left on disk), lists the kept ones, and makes the puzzle that was current
    // at the last quit current again.
    void loadPuzzleLibrary(const QString &supportFolder);
    // Sorts the open puzzles by name (ignoring case), then piece count, and lists them at
    // the end of the File menu; the first nine get Ctrl+1 to Ctrl+9.
    void updateFileMenu();
    void switchToPuzzle(int index);
    void nextPuzzle();

    const std::vector<std::unique_ptr<JPPuzzle>> &openPuzzles() const { return m_openPuzzles; }
    const QStringList &completedPuzzlePaths() const { return m_completedPuzzlePaths; }

    QMenu *helpMenu() const { return m_helpMenu; }

    // Counts the time the current puzzle is played.
    JPPlayClock &playClock() { return m_playClock; }
    // Adds the time counted so far to the current puzzle.
    void takePlayTime();
    // The puzzle's time played, counting the time not yet taken for the current one.
    double playedSeconds(const JPPuzzle *puzzle) const;

private Q_SLOTS:
    void prepareForSleep(bool sleeping);

private:
    // The open puzzle kept in that folder, if any.
    JPPuzzle *openPuzzleAt(const QString &folder) const;
    JPAppController();
    ~JPAppController() override;
    void puzzleAskedToStop(JPPuzzle *puzzle);
    void closePuzzle(JPPuzzle *puzzle);
    void updatePuzzleToolTips();

    std::unique_ptr<JPWindowController> m_windowController;
    void buildHelpMenu();
    void showPreferences();
    void sizeWindowOnFirstRun();
    void watchForSleep();

    QMenu *m_helpMenu = nullptr;
    QAction *m_newAction = nullptr;
    QAction *m_stopAction = nullptr;
    QAction *m_nextAction = nullptr;
    QAction *m_finishedAction = nullptr;
    QAction *m_puzzleSeparator = nullptr;
    std::vector<QAction *> m_puzzleActions;
    JPPuzzle *m_currentPuzzle = nullptr;
    std::vector<std::unique_ptr<JPPuzzle>> m_openPuzzles;
    QStringList m_completedPuzzlePaths;
    bool m_launched = false;
    JPPlayClock m_playClock;
};
