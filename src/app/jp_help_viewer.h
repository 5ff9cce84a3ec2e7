#pragma once

#include <QMainWindow>
#include <QString>
#include <QUrl>

class QAction;
class QLabel;
class QLineEdit;
class QTextBrowser;
class QToolBar;
class QWidget;

// The help window: the shipped help document ("help/help.html") in a text browser with
// back, forward and home, and a find bar. Main thread only.
class JPHelpViewer : public QMainWindow
{
    Q_OBJECT

public:
    // Topics the rest of the game can open; each is an anchor of the document.
    enum Topic {
        TopicStart = 0,
        TopicChoosingPicture = 1,
        TopicMovingPieces,
        TopicSelecting,
        TopicTurning,
        TopicJoining,
        TopicToolStrip,
        TopicEdgesOnly,
        TopicPinning,
        TopicGathering,
        TopicLockedDrag,
        TopicSeveralPuzzles,
        TopicFinishing,
        TopicStorage,
        TopicPreferences,
        TopicShortcuts,
        TopicCount
    };

    // The window every Help command shares; made on first use and kept for the process.
    static JPHelpViewer *sharedInstance();

    // documentPath empty: the shipped document, found with ResourcePath().
    explicit JPHelpViewer(const QString &documentPath = QString(), QWidget *parent = nullptr);
    ~JPHelpViewer() override;

    // The anchor a topic scrolls to; an unknown topic gives the start's.
    static QString anchorForTopic(int topic);

    // Shows and raises the window at the topic (an unknown topic shows the start).
    void showTopic(int topic);

    bool isLoaded() const { return m_loaded; }
    QString documentPath() const { return m_documentPath; }
    QTextBrowser *browser() const { return m_browser; }

    void goHome();

    // The find bar. find() searches from the current match, wrapping at the ends of the
    // document, selects the match and marks every other one; false when the text is absent.
    void showFindBar();
    void hideFindBar();
    bool isFindBarShown() const;
    QLineEdit *findField() const { return m_findField; }
    bool find(bool backward);
    bool findNext() { return find(false); }
    bool findPrevious() { return find(true); }
    // What the find bar says about the last search: "Not found", the number of matches or nothing.
    QString findStatus() const;

    QAction *findAction() const { return m_findAction; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildToolBar();
    void buildFindBar(QWidget *container);
    void loadDocument();
    QUrl topicUrl(int topic) const;
    void markAllMatches(const QString &text);
    void showFindResult(bool found, int matches);

    QString m_documentPath;
    bool m_loaded = false;
    bool m_visited = false;
    QTextBrowser *m_browser = nullptr;
    QToolBar *m_toolBar = nullptr;
    QWidget *m_findBar = nullptr;
    QLineEdit *m_findField = nullptr;
    QLabel *m_findStatus = nullptr;
    QAction *m_findAction = nullptr;
};
