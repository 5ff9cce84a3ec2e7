#include "play/jp_overview_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

JPOverviewView::JPOverviewView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click or drag to move the view"));
}

QSize JPOverviewView::sizeForBoard(QSizeF boardSize)
{
    if (boardSize.isEmpty())
        return QSize();
    const QSizeF fitted = boardSize.scaled(QSizeF(kLargest), Qt::KeepAspectRatio);
    return QSize(std::max(1, int(std::lround(fitted.width()))), std::max(1, int(std::lround(fitted.height()))));
}

void JPOverviewView::setBoard(const QImage &picture, QSizeF boardSize)
{
    m_picture = picture;
    m_boardSize = boardSize;
    update();
}

void JPOverviewView::setVisibleRect(const QRectF &rect)
{
    if (rect == m_visible)
        return;
    m_visible = rect;
    update();
}

QRectF JPOverviewView::toWidget(const QRectF &boardRect) const
{
    if (m_boardSize.isEmpty())
        return QRectF();
    const double fx = width() / m_boardSize.width();
    const double fy = height() / m_boardSize.height();
    return QRectF(boardRect.x() * fx, boardRect.y() * fy, boardRect.width() * fx, boardRect.height() * fy);
}

QPointF JPOverviewView::boardPointAt(QPointF position) const
{
    if (m_boardSize.isEmpty() || width() <= 0 || height() <= 0)
        return QPointF();
    return QPointF(std::clamp(position.x(), 0.0, double(width())) * m_boardSize.width() / width(),
                   std::clamp(position.y(), 0.0, double(height())) * m_boardSize.height() / height());
}

void JPOverviewView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_picture.isNull())
        painter.fillRect(rect(), QColor(80, 80, 80));
    else
        painter.drawImage(rect(), m_picture);
    // What lies outside the view is shaded, so the part in view stands out.
    const QRectF shown = toWidget(m_visible);
    QPainterPath outside;
    outside.addRect(rect());
    outside.addRect(shown);
    painter.fillPath(outside, QColor(0, 0, 0, 90));
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(shown.adjusted(0.75, 0.75, -0.75, -0.75));
    painter.setPen(QPen(QColor(40, 40, 40), 1.0));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void JPOverviewView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT centerRequested(boardPointAt(event->position()));
    event->accept();
}

void JPOverviewView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        Q_EMIT centerRequested(boardPointAt(event->position()));
    event->accept();
}
