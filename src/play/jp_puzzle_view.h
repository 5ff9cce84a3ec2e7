#pragma once

#include "play/jp_board_input.h"
#include "play/jp_board_renderer.h"

#include <QWidget>

class JPPuzzle;
class QSoundEffect;

// The board on which the current puzzle is played. Turns Qt input into board events for
// JPBoardController and draws through JPBoardRenderer. The puzzle is not owned.
class JPPuzzleView : public QWidget
{
    Q_OBJECT
public:
    explicit JPPuzzleView(QWidget *parent = nullptr);
    ~JPPuzzleView() override;

    // Null is allowed; ends any drag in progress.
    void setPuzzle(JPPuzzle *puzzle);
    JPPuzzle *puzzle() const { return m_board.puzzle(); }
    void redrawBoard();
    void setLockedDrag(bool on) { m_board.setLockedDrag(on); }
    bool lockedDrag() const { return m_board.lockedDrag(); }

    JPBoardController &board() { return m_board; }

Q_SIGNALS:
    void boardChanged();
    // The player pressed, dragged or turned something on the board.
    void touched();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void playClick();

    JPBoardController m_board;
    JPBoardRenderer m_renderer;
    QSoundEffect *m_clickPlayer = nullptr;
};
