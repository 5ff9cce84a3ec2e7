#include "play/jp_toolbar_view.h"

#include "imaging/image_geometry.h"
#include "imaging/kolor.h"
#include "model/jp_puzzle.h"
#include "play/cc_popover_base_vc.h"
#include "play/jp_puzzle_view.h"
#include "play/jp_window_controller.h"
#include "support/cc_kernel.h"
#include "support/cc_notifier.h"
#include "support/paths.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <cmath>

namespace {

struct ToolDescription
{
    const char *imageName;
    const char *toolTip;
};

constexpr ToolDescription toolDescriptions[JPToolbarView::kToolCount] = {
    {"Image", "Show completed puzzle picture"}, {"Pin", "Pin the frame to the board"},
    {"Edges", "Show only edge pieces"},         {"Rotate", "Allow pieces to be rotated"},
    {"LockDrag", "Drag after single click"},    {"Panic", "Hide Tobbin Jigsaw"},
};

// Tool images keep a clear margin inside their squares.
constexpr double kImageInset = 10.0;
// Tools that need a puzzle are drawn faded without one.
constexpr double kDisabledOpacity = 0.25;

}

JPToolbarView::JPToolbarView(JPWindowController *controller, QWidget *parent)
    : QWidget(parent)
    , m_controller(controller)
    , m_toggleBackColor(QColor::fromRgbF(0.9647058823529412f, 0.9647058823529412f, 0.596078431372549f))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    for (int i = 0; i < kToolCount; ++i) {
        const QString path =
            ResourcePath(QStringLiteral("tools/%1.png").arg(QLatin1String(toolDescriptions[i].imageName)));
        QImage image(path);
        // The images are drawn at twice their point size for sharp high-density screens.
        image.setDevicePixelRatio(2.0);
        m_images[size_t(i)] = image;
    }
    connect(CCNotifier::sharedInstance(), &CCNotifier::posted, this, [this](const QString &name) {
        if (name == QLatin1String(kSwitchNotification) || name == QLatin1String(kDarkModeNotification))
            redraw();
    });
}

QRectF JPToolbarView::rectForTool(int index) const
{
    const double w = width();
    return QRectF(0, index * w, w, w);
}

int JPToolbarView::toolAtPoint(QPointF point) const
{
    const double w = width();
    if (point.x() < 0 || point.x() >= w || point.y() < 0 || w <= 0)
        return kNoTool;
    const double index = std::floor(point.y() / w);
    return index >= kNoTool ? kNoTool : int(index);
}

QString JPToolbarView::toolTipForTool(int index)
{
    if (index < 0 || index >= kToolCount)
        return QString();
    return QString::fromLatin1(toolDescriptions[index].toolTip);
}

bool JPToolbarView::hasPuzzle() const
{
    return m_controller && m_controller->currentPuzzle();
}

bool JPToolbarView::isToolOn(int index) const
{
    const JPPuzzle *puzzle = m_controller ? m_controller->currentPuzzle() : nullptr;
    switch (index) {
    case 1:
        return puzzle && puzzle->pinned();
    case 2:
        return puzzle && puzzle->edgesOnly();
    case 3:
        return puzzle && puzzle->rotate();
    case 4:
        return m_controller && m_controller->lockedDrag();
    default:
        return false;
    }
}

void JPToolbarView::redraw()
{
    update();
}

bool JPToolbarView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int tool = toolAtPoint(help->pos());
        if (tool == kNoTool) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), toolTipForTool(tool), this, rectForTool(tool).toRect());
        }
        return true;
    }
    return QWidget::event(event);
}

void JPToolbarView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRectF dirty = event->rect();
    const double w = width();
    const double h = height();
    const bool dark = CCKernel::sharedInstance()->isDarkMode();
    painter.fillRect(dirty, GrayColor(dark ? 5 : 3));

    QPainterPath path;
    path.moveTo(w - 0.5, 0);
    path.lineTo(w - 0.5, h);
    for (int i = 1; i <= kToolCount; ++i) {
        path.moveTo(0, i * w - 0.5);
        path.lineTo(w, i * w - 0.5);
    }
    const QRectF below(0, kToolCount * w, w - 1, h - kToolCount * w);
    if (below.isValid() && below.intersects(dirty))
        painter.fillRect(below, GrayColor(4));
    painter.strokePath(path, QPen(GrayColor(4), 1.0));

    const bool puzzle = hasPuzzle();
    for (int i = 0; i < kToolCount; ++i) {
        const QRectF cell(0, i * w, w - 1, w - 1);
        if (!cell.intersects(dirty))
            continue;
        if (i == m_trackingTool && m_highlightTrack)
            painter.fillRect(cell, palette().color(QPalette::Highlight));
        else if (isToolOn(i))
            painter.fillRect(cell, m_toggleBackColor);
        const QImage &image = m_images[size_t(i)];
        if (image.isNull())
            continue;
        QRectF target(QPointF(0, 0), image.deviceIndependentSize());
        CenterRectangle(target, cell.adjusted(kImageInset, kImageInset, -kImageInset, -kImageInset));
        painter.setOpacity(puzzle || i == kPanicTool ? 1.0 : kDisabledOpacity);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image);
        painter.setOpacity(1.0);
    }
}

void JPToolbarView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    CCPopoverBaseVC::closePopovers();
    const QPointF point(std::floor(event->position().x()), std::floor(event->position().y()));
    m_trackingTool = toolAtPoint(point);
    if (m_trackingTool == kNoTool)
        return;
    if (m_trackingTool != kPanicTool && !hasPuzzle()) {
        m_trackingTool = kNoTool;
        return;
    }
    m_highlightTrack = true;
    redraw();
}

void JPToolbarView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_trackingTool == kNoTool)
        return;
    const bool over = toolAtPoint(event->position()) == m_trackingTool;
    if (over != m_highlightTrack) {
        m_highlightTrack = !m_highlightTrack;
        redraw();
    }
}

void JPToolbarView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_highlightTrack) {
        m_highlightTrack = false;
        if (m_trackingTool != kNoTool && m_controller)
            m_controller->toolWasClicked(m_trackingTool);
        redraw();
    }
    m_trackingTool = kNoTool;
}
