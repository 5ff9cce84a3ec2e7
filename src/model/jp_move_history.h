#pragma once

#include <QPointF>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

class JPPiece;
class JPPuzzle;

// The moves of one puzzle's board items that can be taken back: drags, turns, gathering.
// A step remembers where its items lay and how they were turned; undoing it swaps that
// for where they lie now, which redo swaps back.
//
// A join is never undone. Every join merges two board items into one, so the history
// belongs to one count of board items: once the count has changed, the steps are gone.
// Items are named by their piece index or assembly identifier, never held by pointer.
// Owned by its puzzle; main thread only.
class JPMoveHistory
{
public:
    // At least this many steps are kept...
    static constexpr size_t kMaxSteps = 250;
    // ...unless together they remember more item places than this (a gather of a
    // 5000-piece puzzle remembers 5000): then the oldest steps go first.
    static constexpr size_t kMaxPlaces = 1000000;

    // Limits where an item may be put back, given the item and its wanted board location.
    using Limit = std::function<QPointF(JPPiece *, QPointF)>;

    // Remembers how the items lie before a move; a move already begun is ended first.
    void beginMove(const JPPuzzle &puzzle, const std::vector<JPPiece *> &items);
    // Ends the move: one step for the items it changed. False when it changed nothing or
    // a join happened meanwhile.
    bool endMove(const JPPuzzle &puzzle);
    bool isRecording() const { return m_recording; }

    bool canUndo(const JPPuzzle &puzzle) const;
    bool canRedo(const JPPuzzle &puzzle) const;
    size_t undoCount() const { return m_undo.size(); }
    // Puts the items of the last step back and marks the puzzle dirty; false when there
    // was nothing to undo.
    bool undo(JPPuzzle &puzzle, const Limit &limit = {});
    bool redo(JPPuzzle &puzzle, const Limit &limit = {});
    void clear();

private:
    struct Place
    {
        uint64_t id = 0;
        QPointF location;
        uint64_t rotation = 0;
    };
    // Locations are board units at the puzzle's scale when they were taken.
    struct Step
    {
        double scale = 0.0;
        std::vector<Place> places;
    };

    static JPPiece *itemWithId(const JPPuzzle &puzzle, uint64_t id);
    static Step takeStep(const JPPuzzle &puzzle, const std::vector<Place> &like);
    bool swapStep(JPPuzzle &puzzle, std::deque<Step> &from, std::deque<Step> &to, const Limit &limit);
    bool sameBoard(const JPPuzzle &puzzle) const;
    void forgetIfJoined(const JPPuzzle &puzzle);
    void trim();

    std::deque<Step> m_undo;
    std::deque<Step> m_redo;
    Step m_pending;
    bool m_recording = false;
    size_t m_itemCount = 0;
};
