#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QWidget>

#include <array>

class JPWindowController;

// The narrow tool strip at the window's left edge: six square tools stacked from the top,
// each a button that runs its command when pressed and released over it.
class JPToolbarView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kToolCount = 6;
    // toolAtPoint's answer for a point on no tool; also trackingTool when nothing is pressed.
    static constexpr int kNoTool = 6;
    static constexpr int kPanicTool = 5;

    explicit JPToolbarView(JPWindowController *controller, QWidget *parent = nullptr);

    QRectF rectForTool(int index) const;
    int toolAtPoint(QPointF point) const;
    static QString toolTipForTool(int index);
    // Whether a tool shows the switched-on background (pinned, edges only, turning, locked drag).
    bool isToolOn(int index) const;

    int trackingTool() const { return m_trackingTool; }
    bool highlightTrack() const { return m_highlightTrack; }

    void redraw();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool hasPuzzle() const;

    JPWindowController *m_controller;
    std::array<QImage, kToolCount> m_images;
    QColor m_toggleBackColor;
    int m_trackingTool = kNoTool;
    bool m_highlightTrack = false;
};
