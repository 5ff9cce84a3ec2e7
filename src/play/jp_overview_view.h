#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>

// The whole board, small, in a corner of the board view while it is zoomed in, with the part
// in view outlined. A click or a drag in it asks for the view to be centred on that point.
// Shows a picture it is given; it draws nothing of the board itself.
class JPOverviewView : public QWidget
{
    Q_OBJECT
public:
    // The largest the overview gets, and its distance from the board view's corner.
    static constexpr QSize kLargest{240, 160};
    static constexpr int kMargin = 12;

    explicit JPOverviewView(QWidget *parent = nullptr);

    // The size it takes for a board of boardSize: the board's shape within kLargest.
    static QSize sizeForBoard(QSizeF boardSize);
    // The board drawn small (at sizeForBoard) and the board's size in board units.
    void setBoard(const QImage &picture, QSizeF boardSize);
    // The part of the board in view, in board units.
    void setVisibleRect(const QRectF &rect);
    QRectF visibleRect() const { return m_visible; }
    // The board point under a point of this widget.
    QPointF boardPointAt(QPointF position) const;

Q_SIGNALS:
    void centerRequested(QPointF boardPoint);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QRectF toWidget(const QRectF &boardRect) const;

    QImage m_picture;
    QSizeF m_boardSize;
    QRectF m_visible;
};
