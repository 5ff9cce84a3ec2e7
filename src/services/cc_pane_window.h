#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QHBoxLayout;
class QVBoxLayout;

// A window that shows one of several panes at a time, as the update and news checks do. It
// runs application-modal without blocking the caller: the owner hears of the end through
// finished(). Escape and the close box ask the owner to cancel. Main thread only.
class CCPaneWindow : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kPaneWidth = 460;

    explicit CCPaneWindow(QWidget *parent = nullptr);

    // Shows pane (a child of this window) in place of the current one; the window takes the
    // pane's height and keeps its top edge.
    void showPane(QWidget *pane);
    QWidget *currentPane() const { return m_currentPane; }

    // Centres the window on the screen and shows it application-modal.
    void runModal();
    // Hides the window and emits finished() when it was showing.
    void endModal();

    // A pane of kPaneWidth: message labels, then extra widgets, then a row of buttons on the
    // right. The labels word-wrap.
    static QWidget *makePane(CCPaneWindow *window, QVBoxLayout **content, QHBoxLayout **buttons);
    static QLabel *addMessage(QVBoxLayout *content, const QString &text, bool bold = false);
    // Sizes pane for its content at kPaneWidth.
    static void fitPane(QWidget *pane);
    // Replaces the first "***" in every label of root with name.
    static void fillName(QWidget *root, const QString &name);

Q_SIGNALS:
    // Escape or the close box.
    void cancelRequested();

protected:
    void reject() override;

private:
    QPointer<QWidget> m_currentPane;
};
