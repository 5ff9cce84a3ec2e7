// The board view's zoom, panning, auto-scroll and overview.
#include "play/jp_puzzle_view.h"

#include "play/jp_overview_view.h"

#include <QPainter>
#include <QTimer>

void JPPuzzleView::endPan()
{
    m_panButton = Qt::NoButton;
    updateCursor();
}

void JPPuzzleView::updateCursor()
{
    if (m_panButton != Qt::NoButton)
        setCursor(Qt::ClosedHandCursor);
    else if (m_spaceHeld && !m_viewport.transform().showsWholeBoard())
        setCursor(Qt::OpenHandCursor);
    else
        unsetCursor();
}

void JPPuzzleView::setZoom(double zoom, QPointF viewAnchor)
{
    syncView();
    if (m_viewport.setZoom(zoom, viewAnchor))
        viewMoved();
}

void JPPuzzleView::zoomIn()
{
    setZoom(viewTransform().zoom() * kZoomStep, QPointF(width() / 2.0, height() / 2.0));
}

void JPPuzzleView::zoomOut()
{
    setZoom(viewTransform().zoom() / kZoomStep, QPointF(width() / 2.0, height() / 2.0));
}

void JPPuzzleView::showWholeBoard()
{
    setZoom(JPViewTransform::kMinZoom, QPointF(0, 0));
}

bool JPPuzzleView::canZoomIn()
{
    const JPViewTransform &view = viewTransform();
    return m_board.puzzle() && view.zoom() < view.maxZoom();
}

bool JPPuzzleView::canZoomOut()
{
    return m_board.puzzle() && !viewTransform().showsWholeBoard();
}

void JPPuzzleView::centerOn(QPointF boardPoint)
{
    syncView();
    if (m_viewport.centerOn(boardPoint))
        viewMoved();
}

void JPPuzzleView::panBy(QPointF delta)
{
    syncView();
    if (m_viewport.panBy(delta))
        viewMoved();
}

void JPPuzzleView::viewMoved()
{
    update();
    placeOverview();
    updateCursor();
    followPointer();
    Q_EMIT viewChanged();
}

void JPPuzzleView::followPointer()
{
    // What is being dragged stays under the pointer while the board moves beneath it; the
    // board controller moves it, so its limits and the link badge apply as usual.
    const JPBoardMouse mouse{boardPoint(m_pointer), m_modifiers};
    switch (m_board.dragType()) {
    case JPBoardController::DragTypeLocked:
        m_board.mouseMoved(mouse);
        break;
    case JPBoardController::DragTypePieces:
    case JPBoardController::DragTypeRect:
        if (m_buttons & Qt::LeftButton)
            m_board.mouseDragged(mouse);
        break;
    default:
        break;
    }
}

bool JPPuzzleView::autoScrollWanted() const
{
    const JPBoardController::DragType type = m_board.dragType();
    if (m_panButton != Qt::NoButton || m_viewport.transform().showsWholeBoard()
        || type == JPBoardController::DragTypeNone)
        return false;
    if (type != JPBoardController::DragTypeLocked && !(m_buttons & Qt::LeftButton))
        return false;
    return !JPBoardViewport::autoScrollStep(m_pointer, QSizeF(size())).isNull();
}

void JPPuzzleView::updateAutoScroll()
{
    if (!autoScrollWanted())
        m_autoScroll->stop();
    else if (!m_autoScroll->isActive())
        m_autoScroll->start();
}

void JPPuzzleView::autoScrollTick()
{
    syncView();
    // At the board's edge there is nothing more to see; the next pointer move starts again.
    if (!autoScrollWanted() || !m_viewport.panBy(JPBoardViewport::autoScrollStep(m_pointer, QSizeF(size())))) {
        m_autoScroll->stop();
        return;
    }
    viewMoved();
}

void JPPuzzleView::setShowOverview(bool on)
{
    m_showOverview = on;
    placeOverview();
}

void JPPuzzleView::placeOverview()
{
    const JPViewTransform &view = m_viewport.transform();
    const QSize shown = JPOverviewView::sizeForBoard(QSizeF(size()));
    // A view too small for the overview and some board beside it goes without.
    const bool wanted = m_showOverview && m_board.puzzle() && !view.showsWholeBoard() && !shown.isEmpty()
        && width() >= 2 * shown.width() && height() >= 2 * shown.height();
    if (!wanted) {
        m_overview->hide();
        return;
    }
    m_overview->setGeometry(width() - shown.width() - JPOverviewView::kMargin,
                            height() - shown.height() - JPOverviewView::kMargin, shown.width(), shown.height());
    m_overview->setVisibleRect(view.visibleRect());
    const bool appearing = m_overview->isHidden();
    m_overview->show();
    if (m_overviewStale) {
        if (appearing)
            refreshOverview();
        else
            m_overviewRefresh->start();
    }
}

void JPPuzzleView::refreshOverview()
{
    if (m_overview->isHidden())
        return;
    syncView();
    // The whole board at zoom 1, drawn small: the board's own look at a glance.
    QImage board(size(), QImage::Format_ARGB32_Premultiplied);
    if (board.isNull())
        return;
    {
        QPainter painter(&board);
        m_renderer.draw(painter, QRectF(board.rect()), m_board, JPBoardLook::fromPreferences());
    }
    m_overview->setBoard(board.scaled(m_overview->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                         QSizeF(size()));
    m_overviewStale = false;
}
