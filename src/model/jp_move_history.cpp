#include "model/jp_move_history.h"

#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"

void JPMoveHistory::beginMove(const JPPuzzle &puzzle, const std::vector<JPPiece *> &items)
{
    if (m_recording)
        endMove(puzzle);
    forgetIfJoined(puzzle);
    m_pending = Step{puzzle.scale(), {}};
    m_pending.places.reserve(items.size());
    for (const JPPiece *item : items)
        m_pending.places.push_back({item->pieceIndex(), item->boardLocation(), item->rotation()});
    m_recording = true;
}

bool JPMoveHistory::endMove(const JPPuzzle &puzzle)
{
    if (!m_recording)
        return false;
    m_recording = false;
    const Step before = std::move(m_pending);
    m_pending = Step{};
    if (!sameBoard(puzzle)) {
        forgetIfJoined(puzzle);
        return false;
    }
    // A re-fit during the move moved everything by the same factor; that is no move.
    const double factor = before.scale > 0 && puzzle.scale() > 0 ? puzzle.scale() / before.scale : 1.0;
    Step step{before.scale, {}};
    for (const Place &place : before.places) {
        const JPPiece *item = itemWithId(puzzle, place.id);
        if (!item)
            continue;
        const QPointF was = factor == 1.0 ? place.location : place.location * factor;
        if (item->boardLocation() != was || item->rotation() != place.rotation)
            step.places.push_back(place);
    }
    if (step.places.empty())
        return false;
    m_undo.push_back(std::move(step));
    m_redo.clear();
    trim();
    return true;
}

bool JPMoveHistory::canUndo(const JPPuzzle &puzzle) const
{
    return !m_undo.empty() && sameBoard(puzzle);
}

bool JPMoveHistory::canRedo(const JPPuzzle &puzzle) const
{
    return !m_redo.empty() && sameBoard(puzzle);
}

bool JPMoveHistory::undo(JPPuzzle &puzzle, const Limit &limit)
{
    return swapStep(puzzle, m_undo, m_redo, limit);
}

bool JPMoveHistory::redo(JPPuzzle &puzzle, const Limit &limit)
{
    return swapStep(puzzle, m_redo, m_undo, limit);
}

void JPMoveHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
}

JPPiece *JPMoveHistory::itemWithId(const JPPuzzle &puzzle, uint64_t id)
{
    if (id >= kFirstAssemblyId)
        return puzzle.assemblyWithId(id);
    JPPiece *piece = puzzle.pieceWithIndex(id);
    // A piece that joined an assembly is no longer an item of its own.
    return piece && !piece->assembly() ? piece : nullptr;
}

JPMoveHistory::Step JPMoveHistory::takeStep(const JPPuzzle &puzzle, const std::vector<Place> &like)
{
    Step step{puzzle.scale(), {}};
    step.places.reserve(like.size());
    for (const Place &place : like)
        if (const JPPiece *item = itemWithId(puzzle, place.id))
            step.places.push_back({place.id, item->boardLocation(), item->rotation()});
    return step;
}

bool JPMoveHistory::swapStep(JPPuzzle &puzzle, std::deque<Step> &from, std::deque<Step> &to, const Limit &limit)
{
    if (m_recording)
        endMove(puzzle);
    forgetIfJoined(puzzle);
    if (from.empty())
        return false;
    const Step step = std::move(from.back());
    from.pop_back();
    Step now = takeStep(puzzle, step.places);
    // Locations follow the board's scale, as a re-fit moves every item.
    const double factor = step.scale > 0 && puzzle.scale() > 0 ? puzzle.scale() / step.scale : 1.0;
    for (const Place &place : step.places) {
        JPPiece *item = itemWithId(puzzle, place.id);
        if (!item)
            continue;
        item->setRotation(place.rotation);
        QPointF location = factor == 1.0 ? place.location : place.location * factor;
        if (limit)
            location = limit(item, location);
        item->setDraggedLocation(location);
    }
    if (now.places.empty())
        return false;
    to.push_back(std::move(now));
    puzzle.setDirty(true);
    return true;
}

bool JPMoveHistory::sameBoard(const JPPuzzle &puzzle) const
{
    return puzzle.pieces().size() == m_itemCount;
}

void JPMoveHistory::forgetIfJoined(const JPPuzzle &puzzle)
{
    if (sameBoard(puzzle))
        return;
    clear();
    m_itemCount = puzzle.pieces().size();
}

void JPMoveHistory::trim()
{
    size_t places = 0;
    for (const Step &step : m_undo)
        places += step.places.size();
    while (m_undo.size() > 1 && (m_undo.size() > kMaxSteps || places > kMaxPlaces)) {
        places -= m_undo.front().places.size();
        m_undo.pop_front();
    }
}
