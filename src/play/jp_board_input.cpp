#include "play/jp_board_input.h"

#include "model/jp_assembly.h"
#include "model/jp_linking.h"
#include "model/jp_puzzle.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr QSizeF kDefaultBadgeSize(64.0, 64.0);

bool contains(const std::vector<JPPiece *> &items, const JPPiece *item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}

// Moves one coordinate of a span [low, low + extent] so that at least `need` of it lies
// within [0, limit].
double keepSpanInside(double low, double extent, double limit, double &shift)
{
    const double need = std::min(JPBoardController::kGrabMargin, extent);
    // Locations come back from the saved file rounded; an item kept exactly at the margin must
    // not creep (and mark the puzzle changed) at every opening.
    constexpr double slack = 1e-3;
    shift = 0.0;
    if (low + extent < need - slack)
        shift = need - (low + extent);
    else if (low > limit - need + slack)
        shift = (limit - need) - low;
    return shift;
}

}

JPBoardController::JPBoardController()
{
    m_linkRect.setSize(kDefaultBadgeSize);
}

void JPBoardController::setPuzzle(JPPuzzle *puzzle)
{
    cancelOperation();
    m_puzzle = puzzle;
}

void JPBoardController::cancelOperation()
{
    if (m_linkingPiece)
        redraw(m_linkRect);
    if (m_dragType == DragTypeRect)
        redraw(m_dragRect);
    m_dragType = DragTypeNone;
    m_draggingPiece = nullptr;
    m_linkingPiece = nullptr;
    m_linkPoint = QPointF(-1.0, -1.0);
    endMove();
}

void JPBoardController::setViewSize(QSizeF size)
{
    m_viewSize = size;
}

bool JPBoardController::ensureLayout()
{
    if (!m_puzzle || m_viewSize.isEmpty() || m_viewSize == m_puzzle->layoutSize())
        return false;
    layoutPuzzle(m_viewSize);
    m_puzzle->setLayoutSize(m_viewSize);
    return true;
}

void JPBoardController::layoutPuzzle(QSizeF size)
{
    if (!m_puzzle)
        return;
    m_puzzle->layoutPuzzle(size);
    keepItemsInView();
}

void JPBoardController::keepItemsInView()
{
    if (!m_puzzle || m_viewSize.isEmpty())
        return;
    for (JPPiece *item : m_puzzle->pieces()) {
        const QPointF location = item->boardLocation();
        // Only what can't be grabbed any more moves: an item placed by a drag, or an assembly
        // grown past the edge, keeps its exact place (and an unplaced piece stays unplaced).
        const QPointF shift = grabbableShift(item, location);
        if (shift != QPointF(0, 0)) {
            item->setDraggedLocation(location + shift);
            m_puzzle->setDirty(true);
        }
    }
}

QRectF JPBoardController::itemRect(JPPiece *item)
{
    if (item->isAssembly())
        return static_cast<JPAssembly *>(item)->bounds();
    return item->enclosingRect();
}

QPointF JPBoardController::grabbableShift(JPPiece *item, QPointF location) const
{
    const QRectF rect = itemRect(item).translated(location - item->boardLocation());
    double shiftX = 0.0;
    double shiftY = 0.0;
    keepSpanInside(rect.left(), rect.width(), m_viewSize.width(), shiftX);
    keepSpanInside(rect.top(), rect.height(), m_viewSize.height(), shiftY);
    return QPointF(shiftX, shiftY);
}

QPointF JPBoardController::limitedLocation(JPPiece *item, QPointF location) const
{
    const float width = float(m_viewSize.width());
    const float height = float(m_viewSize.height());
    const QPointF limited(std::clamp(float(location.x()), 0.0f, width), std::clamp(float(location.y()), 0.0f, height));
    // The board location alone may leave an assembly (placed by its corner) or a small piece
    // almost wholly outside; its rectangle decides what can still be grabbed.
    return limited + grabbableShift(item, limited);
}

JPPiece *JPBoardController::pieceAtPoint(QPointF point) const
{
    if (!m_puzzle)
        return nullptr;
    const std::vector<JPPiece *> &items = m_puzzle->pieces();
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (m_puzzle->edgesOnly() && !(*it)->isEdge())
            continue;
        if ((*it)->hitTest(point))
            return *it;
    }
    return nullptr;
}

void JPBoardController::mouseDown(const JPBoardMouse &event)
{
    if (!m_puzzle)
        return;
    if (m_dragType == DragTypeLocked) {
        endLockedDrag();
        return;
    }
    // A drag whose button release never arrived ends here.
    endMove();
    const QPointF p = event.point;
    std::vector<JPPiece *> &selection = m_puzzle->selection();
    m_commandClick = event.modifiers.testFlag(Qt::ControlModifier);
    m_dragPoint = p;
    m_draggingPiece = pieceAtPoint(p);
    JPPiece *item = m_draggingPiece;
    if (!item) {
        m_dragRect = QRectF(p, QSizeF(0, 0));
        m_anchorPoint = p;
        m_dragType = DragTypeRect;
        if (!m_commandClick) {
            invalSelection();
            selection.clear();
        } else {
            for (JPPiece *each : m_puzzle->pieces())
                each->setWasSelected(false);
            for (JPPiece *each : selection)
                each->setWasSelected(true);
        }
        return;
    }
    const Qt::KeyboardModifiers gesture = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (m_advancedUser && (event.modifiers & gesture) == gesture) {
        if (item->isAssembly())
            m_draggingPiece = static_cast<JPAssembly *>(item)->hitPiece();
        if (m_draggingPiece && m_draggingPiece->canSelect())
            selectAdjacentPieces();
        m_dragType = DragTypeNone;
        m_draggingPiece = nullptr;
        return;
    }
    if (!item->canSelect())
        return;
    if (m_commandClick && !selection.empty()) {
        auto found = std::find(selection.begin(), selection.end(), item);
        if (found == selection.end()) {
            selection.push_back(item);
            moveToTop({item});
        } else {
            selection.erase(found);
        }
        invalPiece(item);
        m_draggingPiece = nullptr;
        notifyChanged();
        return;
    }
    m_dragType = DragTypePieces;
    if (!contains(selection, item)) {
        invalPiece(item);
        invalSelection();
        selection.assign(1, item);
    }
    if (m_lockedDrag)
        m_dragType = DragTypeLocked;
    m_puzzle->moveHistory().beginMove(*m_puzzle, selection);
    moveToTop(selection);
    if (event.modifiers.testFlag(Qt::AltModifier) && !m_commandClick)
        unrotateSelection();
    notifyChanged();
}

void JPBoardController::mouseDragged(const JPBoardMouse &event)
{
    if (m_dragType == DragTypeLocked)
        m_dragType = DragTypePieces;
    handleMouseMove(event.point);
}

void JPBoardController::mouseMoved(const JPBoardMouse &event)
{
    if (m_dragType == DragTypeLocked)
        handleMouseMove(event.point);
}

void JPBoardController::mouseUp(const JPBoardMouse &)
{
    if (m_dragType == DragTypeLocked)
        return;
    if (m_dragType == DragTypeRect)
        redraw(m_dragRect);
    else if (m_dragType == DragTypePieces && m_linkingPiece)
        linkPieces();
    m_draggingPiece = nullptr;
    m_dragType = DragTypeNone;
    endMove();
}

void JPBoardController::endLockedDrag()
{
    if (m_linkingPiece)
        linkPieces();
    m_draggingPiece = nullptr;
    m_dragType = DragTypeNone;
    endMove();
}

void JPBoardController::handleMouseMove(QPointF p)
{
    if (!m_puzzle || p == m_dragPoint)
        return;
    switch (m_dragType) {
    case DragTypeRect: {
        redraw(m_dragRect);
        m_dragRect = QRectF(std::min(m_anchorPoint.x(), p.x()), std::min(m_anchorPoint.y(), p.y()),
                            std::abs(p.x() - m_anchorPoint.x()), std::abs(p.y() - m_anchorPoint.y()));
        redraw(m_dragRect);
        selectWithinDragRect();
        m_dragPoint = p;
        break;
    }
    case DragTypePieces:
    case DragTypeLocked: {
        m_puzzle->setDirty(true);
        const QPointF delta = p - m_dragPoint;
        for (JPPiece *item : m_puzzle->selection()) {
            const QPointF location = limitedLocation(item, item->boardLocation() + delta);
            invalPiece(item);
            item->setDraggedLocation(location);
            invalPiece(item);
        }
        m_dragPoint = p;
        if (m_puzzle->selection().size() == 1)
            trackLink();
        notifyChanged();
        break;
    }
    default:
        m_dragPoint = p;
        break;
    }
}

void JPBoardController::trackLink()
{
    QPointF point = m_dragPoint;
    JPPiece *dragged = m_puzzle->selection().front();
    JPPiece *candidate = dragged == m_draggingPiece ? PieceToLinkWith(dragged, point) : nullptr;
    if (candidate) {
        if (candidate == m_linkingPiece && point == m_linkPoint)
            return;
        if (m_linkingPiece)
            redraw(m_linkRect);
        m_linkingPiece = candidate;
        m_linkPoint = point;
        m_linkRect.moveTopLeft(point - QPointF(m_linkRect.width() / 2, m_linkRect.height() / 2));
        redraw(m_linkRect);
        invalPiece(candidate);
    } else if (m_linkingPiece) {
        redraw(m_linkRect);
        m_linkPoint = QPointF(-1.0, -1.0);
        m_linkingPiece = nullptr;
    }
}

void JPBoardController::linkPieces()
{
    JPPiece *dragging = m_draggingPiece;
    JPPiece *linking = m_linkingPiece;
    // The join may release an absorbed assembly: no pointer to either item survives it.
    m_draggingPiece = nullptr;
    m_linkingPiece = nullptr;
    m_linkPoint = QPointF(-1.0, -1.0);
    if (!m_puzzle || !dragging || !linking)
        return;
    m_puzzle->selection().clear();
    if (LinkPieces(dragging, linking) && linked)
        linked();
    m_puzzle->setDirty(true);
    redraw(QRectF(QPointF(0, 0), m_viewSize));
    notifyChanged();
}

void JPBoardController::selectWithinDragRect()
{
    std::vector<JPPiece *> &selection = m_puzzle->selection();
    invalSelection();
    selection.clear();
    for (JPPiece *item : m_puzzle->pieces()) {
        if (!item->canSelect())
            continue;
        bool selected = m_dragRect.contains(item->centerPoint());
        if (m_commandClick)
            selected = selected != item->wasSelected();
        if (selected) {
            invalPiece(item);
            selection.push_back(item);
        }
    }
    moveToTop(selection);
    notifyChanged();
}

void JPBoardController::selectAdjacentPieces()
{
    std::vector<JPPiece *> &selection = m_puzzle->selection();
    invalSelection();
    selection.clear();
    for (int side = 0; side < 4; ++side) {
        JPPiece *neighbour = m_draggingPiece->connectionAtIndex(side).piece;
        if (neighbour && !neighbour->assembly()) {
            invalPiece(neighbour);
            selection.push_back(neighbour);
        }
    }
    moveToTop(selection);
    notifyChanged();
}

void JPBoardController::unrotateSelection()
{
    if (!m_puzzle || !m_puzzle->rotate())
        return;
    recordMove(m_puzzle->selection(), [this] {
        for (JPPiece *item : m_puzzle->selection()) {
            if (item->rotation() == 0)
                continue;
            invalPiece(item);
            item->setRotation(0);
            invalPiece(item);
            m_puzzle->setDirty(true);
        }
    });
}

int JPBoardController::quarterTurnsForDelta(double delta)
{
    const double d = std::abs(delta);
    if (!(d > 0))
        return 0;
    const double rounded = std::ceil(std::min(d, 1e6));
    return int(std::min(std::log10(rounded) + 1.0, 3.0));
}

void JPBoardController::scrollWheel(const JPBoardWheel &event)
{
    if (!m_puzzle || !m_puzzle->rotate())
        return;
    JPPiece *item = pieceAtPoint(event.point);
    if (!item)
        return;
    const int turns = quarterTurnsForDelta(std::max(std::abs(event.deltaX), std::abs(event.deltaY)));
    if (turns == 0)
        return;
    recordMove({item}, [&] {
        invalPiece(item);
        item->setRotation((item->rotation() + uint64_t(turns)) % 4);
        invalPiece(item);
    });
    m_puzzle->setDirty(true);
    notifyChanged();
}

bool JPBoardController::recordMove(const std::vector<JPPiece *> &items, const std::function<void()> &change)
{
    if (!m_puzzle || m_puzzle->moveHistory().isRecording()) {
        change();
        return false;
    }
    m_puzzle->moveHistory().beginMove(*m_puzzle, items);
    change();
    return endMove();
}

bool JPBoardController::endMove()
{
    if (!m_puzzle || !m_puzzle->moveHistory().endMove(*m_puzzle))
        return false;
    notifyChanged();
    return true;
}

bool JPBoardController::canUndo() const
{
    return m_puzzle && m_puzzle->moveHistory().canUndo(*m_puzzle);
}

bool JPBoardController::canRedo() const
{
    return m_puzzle && m_puzzle->moveHistory().canRedo(*m_puzzle);
}

bool JPBoardController::undo()
{
    return applyHistory(false);
}

bool JPBoardController::redo()
{
    return applyHistory(true);
}

bool JPBoardController::applyHistory(bool forward)
{
    if (!m_puzzle)
        return false;
    cancelOperation();
    const JPMoveHistory::Limit limit = [this](JPPiece *item, QPointF location) {
        if (m_viewSize.isEmpty())
            return location;
        // Limiting works in single precision; a place it only rounds comes back exactly.
        const QPointF limited = limitedLocation(item, location);
        const bool rounded = float(limited.x()) == float(location.x()) && float(limited.y()) == float(location.y());
        return rounded ? location : limited;
    };
    JPMoveHistory &history = m_puzzle->moveHistory();
    if (!(forward ? history.redo(*m_puzzle, limit) : history.undo(*m_puzzle, limit)))
        return false;
    redraw(QRectF(QPointF(0, 0), m_viewSize));
    notifyChanged();
    return true;
}

void JPBoardController::moveToTop(const std::vector<JPPiece *> &items)
{
    std::vector<JPPiece *> &list = m_puzzle->pieces();
    std::vector<JPPiece *> moving;
    for (JPPiece *each : items)
        if (contains(list, each))
            moving.push_back(each);
    std::erase_if(list, [&](JPPiece *each) { return contains(moving, each); });
    list.insert(list.end(), moving.begin(), moving.end());
}

void JPBoardController::invalPiece(JPPiece *item)
{
    redraw(itemRect(item).adjusted(-kRedrawMargin, -kRedrawMargin, kRedrawMargin, kRedrawMargin));
}

void JPBoardController::invalSelection()
{
    if (!m_puzzle)
        return;
    for (JPPiece *item : m_puzzle->selection())
        invalPiece(item);
}

void JPBoardController::redraw(const QRectF &rect)
{
    if (invalidate && !rect.isEmpty())
        invalidate(rect);
}

void JPBoardController::notifyChanged()
{
    if (changed)
        changed();
}
