#pragma once

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

// The application's owner of the open puzzles and the puzzle window: makes a puzzle current,
// retires finished or abandoned ones through the finishing dialog, and saves everything when
// the application quits, is deactivated or the current puzzle changes. One instance, created
// on first use on the main thread after the QApplication.
class JPAppController : public QObject
{
    Q_OBJECT

public:
    static JPAppController *sharedInstance();

    // Creates the window and hooks up saving, the building dialog and the stop requests of
    // finished puzzles. Runs once; later calls do nothing.
    void applicationDidFinishLaunching();

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

private:
    JPAppController();
    ~JPAppController() override;
    void puzzleAskedToStop(JPPuzzle *puzzle);
    void closePuzzle(JPPuzzle *puzzle);

    std::unique_ptr<JPWindowController> m_windowController;
    QAction *m_stopAction = nullptr;
    QAction *m_nextAction = nullptr;
    QAction *m_puzzleSeparator = nullptr;
    std::vector<QAction *> m_puzzleActions;
    JPPuzzle *m_currentPuzzle = nullptr;
    std::vector<std::unique_ptr<JPPuzzle>> m_openPuzzles;
    QStringList m_completedPuzzlePaths;
    bool m_launched = false;
};
