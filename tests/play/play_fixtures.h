#pragma once

#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/model_fixtures.h"
#include "play/jp_board_input.h"
#include "play/jp_board_renderer.h"
#include "play/jp_puzzle_view.h"
#include "support/random_number.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <memory>

namespace tj::test {

inline constexpr QSizeF kBoardView(1600, 1000);

// Makes and builds a puzzle folder over a test picture as the game does; folder receives its path.
inline std::unique_ptr<JPPuzzle> BuildTestPuzzle(const QString &name, int width, int height, int64_t count,
                                                 QString *folder = nullptr)
{
    return BuildPuzzleFolder(WriteTestPicture(width, height), name, count, folder);
}

// A built puzzle over a test picture, fitted to a board controller of kBoardView.
struct BoardFixture
{
    std::unique_ptr<JPPuzzle> puzzle;
    JPBoardController board;
    int links = 0;

    explicit BoardFixture(int64_t count = 24)
    {
        // The same shapes and layout every run: a drag can't land on another piece by chance.
        isaac_detail::SeedForTesting({});
        JPPuzzle::creationOptions() = CreationOptions{};
        puzzle = BuildPuzzle(WriteTestPicture(600, 400, QStringLiteral("board picture.png")), count);
        if (!puzzle)
            return;
        board.linked = [this] { ++links; };
        board.setPuzzle(puzzle.get());
        board.setViewSize(kBoardView);
        board.ensureLayout();
    }

    // A board point on the item, as a pointer would report it (whole units).
    static QPointF grabPoint(JPPiece *item)
    {
        QPointF c = item->boardLocation();
        if (item->isAssembly()) {
            auto *group = static_cast<JPAssembly *>(item);
            group->refreshSize();
            c = group->rectForPiece(group->pieces().front()).center();
        }
        return QPointF(std::floor(c.x()), std::floor(c.y()));
    }

    // The pointer position that brings the item's board location to target.
    static QPointF pointerFor(JPPiece *item, QPointF target)
    {
        return grabPoint(item) + (target - item->boardLocation());
    }

    // Where `item` must lie for its member to meet the picture neighbour beside it. The
    // neighbour is first put in the middle of the board, so the place lies inside the view.
    static QPointF locationBeside(JPPiece *item, JPPiece *member, JPPiece *neighbour)
    {
        JPPiece *still = neighbour->assembly() ? neighbour->assembly() : neighbour;
        still->setDraggedLocation(QPointF(kBoardView.width() / 2, kBoardView.height() / 2));
        const QPointF before = item->boardLocation();
        PlaceBeside(item, member, neighbour);
        const QPointF after = item->boardLocation();
        item->setDraggedLocation(before);
        return after;
    }

    void drag(JPPiece *item, QPointF to, Qt::KeyboardModifiers modifiers = {})
    {
        const QPointF from = grabPoint(item);
        board.mouseDown({from, modifiers});
        board.mouseDragged({to, modifiers});
        board.mouseUp({to, modifiers});
    }
};

// Everything the board rules decide: where each item lies in list order, what is selected
// and which pieces are joined.
inline QString BoardText(JPPuzzle &puzzle)
{
    QStringList lines;
    for (JPPiece *item : puzzle.pieces()) {
        const QPointF at = item->boardLocation();
        QString line = QStringLiteral("%1 at %2,%3").arg(item->pieceIndex()).arg(at.x(), 0, 'f', 4);
        line = line.arg(at.y(), 0, 'f', 4);
        if (item->isAssembly())
            for (JPPiece *member : static_cast<JPAssembly *>(item)->pieces())
                line += QStringLiteral(" +%1").arg(member->pieceIndex());
        lines << line;
    }
    QStringList selected;
    for (JPPiece *item : puzzle.selection())
        selected << QString::number(item->pieceIndex());
    lines << QStringLiteral("selected: ") + selected.join(QLatin1Char(' '));
    return lines.join(QLatin1Char('\n'));
}

// What the renderer draws of the board in a frame of kBoardView.
inline QImage frameOf(JPBoardRenderer &renderer, JPBoardController &board)
{
    QImage frame(kBoardView.toSize(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&frame);
    renderer.draw(painter, QRectF(QPointF(0, 0), kBoardView), board, JPBoardLook{true, 0, Qt::darkGray});
    return frame;
}

// Enough of the item lies inside a view of the given size to grab it.
inline ::testing::AssertionResult Grabbable(JPPiece *item, QSizeF view)
{
    const QRectF r = JPBoardController::itemRect(item);
    const QRectF inside = r.intersected(QRectF(QPointF(0, 0), view));
    if (inside.width() >= std::min(JPBoardController::kGrabMargin, r.width()) - 1e-6
        && inside.height() >= std::min(JPBoardController::kGrabMargin, r.height()) - 1e-6)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "item " << item->pieceIndex() << " lies outside the view";
}

// A mouse event sent straight to a widget, at a point of the widget.
inline void SendMouse(QWidget *widget, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
                      Qt::KeyboardModifiers modifiers = {})
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, modifiers);
    QCoreApplication::sendEvent(widget, &event);
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
        SendMouse(&view, type, at, button, buttons, modifiers);
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

// A built puzzle shown in a board view.
struct ViewedBoard : BoardFixture
{
    ZoomedView z{puzzle.get()};
};

// A test on a board f of type Board, stopped at once when its puzzle can't be built.
template <typename Board> class On : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(f.puzzle); }
    Board f;
};

}
