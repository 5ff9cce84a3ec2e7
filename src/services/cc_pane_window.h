#pragma once

#include <QDialog>
#include <QString>

#include <initializer_list>
#include <vector>

class QLabel;
class QVBoxLayout;

// A window that shows one of several panes at a time, as the update and news checks do. It
// runs application-modal without blocking the caller: the owner hears of the end through
// finished(). The panes' buttons, Escape and the close box reach the owner as
// proceedRequested() and cancelRequested(). Main thread only.
class CCPaneWindow : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kPaneWidth = 460;

    // A pane's button; the default one answers Return.
    struct Button
    {
        enum Role { Cancel, DefaultCancel, DefaultProceed };
        QString title;
        Role role;
    };

    explicit CCPaneWindow(QWidget *parent = nullptr);

    // Adds the next pane (the first is index 0), hidden: its message in a word-wrapped
    // label, bold on the first pane (none without a message), room for more widgets in *content,
    // then the buttons, left to right, on the right. Returns the message's label.
    QLabel *addPane(const QString &message, std::initializer_list<Button> buttons, QVBoxLayout **content);
    // Sizes every pane for its content at kPaneWidth; call once all are built, before the
    // first showPane().
    void fitPanes();
    // Replaces the first "***" in every label of every pane with name.
    void fillName(const QString &name);

    // Shows the pane at index in place of the current one; the window takes the pane's height
    // and keeps its top edge.
    void showPane(int index);
    int currentPane() const { return m_current; }
    QWidget *pane(int index) const { return m_panes.at(size_t(index)); }
    int paneCount() const { return int(m_panes.size()); }

    // Centres the window on the screen and shows it application-modal.
    void runModal();
    // Hides the window and emits finished() when it was showing.
    void endModal();

Q_SIGNALS:
    void proceedRequested();
    // A cancelling button, Escape or the close box.
    void cancelRequested();

protected:
    void reject() override;

private:
    std::vector<QWidget *> m_panes;
    int m_current = 0;
};
