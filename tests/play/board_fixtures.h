#pragma once

#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/model_fixtures.h"
#include "play/jp_board_input.h"
#include "test_support.h"

#include <QImage>

#include <cmath>
#include <memory>

namespace tj::test {

inline constexpr QSizeF kBoardView(1600, 1000);

// A built puzzle over a generated picture, fitted to a board controller of kBoardView.
struct BoardFixture
{
    std::unique_ptr<JPPuzzle> puzzle;
    JPBoardController board;
    std::vector<QRectF> redrawn;
    int links = 0;
    int changes = 0;

    explicit BoardFixture(int64_t count = 24, bool rotate = false)
    {
        JPPuzzle::creationOptions() = CreationOptions{rotate, false, false};
        const QString picture = freshFolder(QStringLiteral("picture")) + QStringLiteral("/board picture.png");
        MakeTestPicture(600, 400).save(picture);
        puzzle = BuildPuzzle(picture, count);
        if (!puzzle)
            return;
        board.invalidate = [this](const QRectF &rect) { redrawn.push_back(rect); };
        board.linked = [this] { ++links; };
        board.changed = [this] { ++changes; };
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

}
