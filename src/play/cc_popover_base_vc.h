#pragma once

#include <QFrame>
#include <QPointer>

// A small pop-up panel shown beside an anchor rectangle of another widget; it closes when
// the user clicks elsewhere or presses Escape, and every open one closes through
// closePopovers(). Main thread only.
class CCPopoverBaseVC : public QFrame
{
    Q_OBJECT

public:
    explicit CCPopoverBaseVC(QWidget *parent = nullptr);
    ~CCPopoverBaseVC() override;

    // Shows the panel with its left edge at anchor's right edge (in anchorView's coordinates),
    // vertically centred on the anchor, moved back onto anchorView's window where it would
    // stick out.
    void showRelativeToRect(const QRect &anchor, QWidget *anchorView);

    static void closePopovers();
    static int openPopoverCount();

protected:
    // A key closes the panel and then goes to the window below, so menu shortcuts work as
    // they do without it; Escape only closes.
    void keyPressEvent(QKeyEvent *event) override;
};
