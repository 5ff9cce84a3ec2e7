#pragma once

#include "board_fixtures.h"
#include "play/jp_puzzle_view.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointF>
#include <QRectF>

#include <ostream>

namespace tj::test {

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
