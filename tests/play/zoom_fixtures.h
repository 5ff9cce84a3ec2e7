#pragma once

#include "board_fixtures.h"
#include "play/jp_puzzle_view.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointF>
#include <QRectF>

#include <ostream>

inline void PrintTo(const QPointF &point, std::ostream *os)
{
    *os << '(' << point.x() << ", " << point.y() << ')';
}

inline void PrintTo(const QRectF &rect, std::ostream *os)
{
    *os << '(' << rect.x() << ", " << rect.y() << ' ' << rect.width() << " x " << rect.height() << ')';
}

namespace tj::test {

inline ::testing::AssertionResult Near(QPointF actual, QPointF expected, double tolerance = 1e-6)
{
    if (std::abs(actual.x() - expected.x()) <= tolerance && std::abs(actual.y() - expected.y()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.x() << ", " << actual.y() << ") is not (" << expected.x()
                                         << ", " << expected.y() << ")";
}

// A board view of kBoardView's size showing a puzzle, driven by Qt events in view pixels.
struct ZoomedView
{
    JPPuzzleView view;

    explicit ZoomedView(JPPuzzle *puzzle)
    {
        view.resize(kBoardView.toSize());
        view.setPuzzle(puzzle);
        view.grab();
    }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = {})
    {
        QMouseEvent event(type, at, view.mapToGlobal(at), button, buttons, modifiers);
        QCoreApplication::sendEvent(&view, &event);
    }
    void click(QPointF at)
    {
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }
    // A press, one move and a release with the left button, between two view points.
    void leftDrag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = {})
    {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, modifiers);
        mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, modifiers);
        mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, modifiers);
    }
    // The view point over a board point.
    QPointF at(QPointF boardPoint) { return view.viewTransform().toView(boardPoint); }
};

}
