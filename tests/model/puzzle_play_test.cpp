#include "model_fixtures.h"
#include "support/random_number.h"

#include <set>

using namespace tj::test;

namespace {

// Everything that must hold between any two operations of play.
void expectInvariants(JPPuzzle &puzzle)
{
    std::set<const JPPiece *> onBoard(puzzle.pieces().begin(), puzzle.pieces().end());
    ASSERT_EQ(onBoard.size(), puzzle.pieces().size()) << "an item is on the board twice";
    int64_t members = 0;
    for (JPPiece *item : puzzle.pieces()) {
        if (!item->isAssembly()) {
            ASSERT_EQ(item->assembly(), nullptr);
            ++members;
            continue;
        }
        auto *group = static_cast<JPAssembly *>(item);
        ASSERT_GE(group->pieces().size(), 2u);
        const QRectF bounds = group->bounds().adjusted(-1e-6, -1e-6, 1e-6, 1e-6);
        const JPPiece *first = group->pieces().front();
        for (size_t i = 0; i < group->pieces().size(); ++i) {
            JPPiece *member = group->pieces()[i];
            ++members;
            ASSERT_EQ(member->assembly(), group);
            ASSERT_EQ(onBoard.count(member), 0u);
            ASSERT_EQ(member->rotation(), 0u);
            if (i > 0) {
                const GridCoord a = group->pieces()[i - 1]->coord(), b = member->coord();
                ASSERT_TRUE(a.y < b.y || (a.y == b.y && a.x < b.x)) << "members out of reading order";
            }
            const QRectF r = group->rectForPiece(member);
            ASSERT_TRUE(bounds.contains(r)) << "member outside the bounds";
            // Members sit where their picture neighbours put them, at the board scale.
            const QPointF expected = (member->enclosingOrigin() - first->enclosingOrigin()) * puzzle.scale();
            ASSERT_TRUE(Near(r.topLeft() - group->rectForPiece(first).topLeft(), expected));
        }
    }
    ASSERT_EQ(members, puzzle.pieceCount()) << "a piece got lost or doubled";
    if (JPAssembly *pinned = puzzle.pinnedAssembly()) {
        ASSERT_EQ(onBoard.count(pinned), 1u) << "the pinned assembly left the board";
        ASSERT_EQ(puzzle.originPiece()->assembly(), pinned);
    }
}

// The composite shows each member's own image at the member's place, pixel for pixel.
void expectCompositeOfMembers(const JPAssembly &group)
{
    ASSERT_TRUE(group.image());
    const QImage composite = Premultiplied(group.image()->qimage());
    const QRectF u = group.membersImageRect();
    for (const JPPiece *member : group.pieces()) {
        ASSERT_TRUE(member->image());
        const QImage own = Premultiplied(member->image()->qimage());
        const QPoint at = (member->imageRect().topLeft() - u.topLeft()).toPoint();
        for (int y = 0; y < own.height(); ++y)
            for (int x = 0; x < own.width(); ++x)
                if (qAlpha(own.pixel(x, y)) != 0) {
                    ASSERT_EQ(composite.pixel(at.x() + x, at.y() + y), own.pixel(x, y))
                        << "member " << member->pieceIndex() << " at " << x << "," << y;
                }
    }
}

std::unique_ptr<JPPuzzle> laidOutPuzzle(int64_t count, QString *folder = nullptr, bool rotate = false)
{
    JPPuzzle::creationOptions() = CreationOptions{rotate, false, false};
    return LaidOutPuzzle(count, folder);
}

}

TEST(PuzzlePlay, RandomSolvesKeepEveryInvariantReopenAsSavedAndFinish)
{
    // The last round joins the only two pieces of a puzzle: no assembly grows, yet it finishes.
    int reopenings = 0;
    for (int round = 0; round < 3; ++round) {
        QString folder;
        auto puzzle = laidOutPuzzle(round == 2 ? 2 : 24, &folder);
        ASSERT_TRUE(puzzle);
        puzzle->setPinned(round == 1);
        int links = 0;
        while (puzzle->pieces().size() > 1) {
            ASSERT_TRUE(SolveOneLink(*puzzle)) << "round " << round << " link " << links;
            ++links;
            expectInvariants(*puzzle);
            if (HasFatalFailure())
                return;
            ASSERT_TRUE(puzzle->save());
            if (RandomNumber(4) == 0) {
                const QString saved = DocumentOf(*puzzle);
                puzzle = Reopen(folder);
                ASSERT_TRUE(puzzle);
                EXPECT_EQ(DocumentOf(*puzzle), saved);
                for (JPAssembly *group : Assemblies(*puzzle))
                    expectCompositeOfMembers(*group);
                ++reopenings;
            }
        }
        EXPECT_EQ(links, puzzle->pieceCount() - 1);
        EXPECT_TRUE(puzzle->finished());
        auto *whole = static_cast<JPAssembly *>(puzzle->pieces().front());
        EXPECT_EQ(int64_t(whole->pieces().size()), puzzle->pieceCount());
        EXPECT_EQ(puzzle->pinnedAssembly(), whole);
        expectCompositeOfMembers(*whole);
    }
    EXPECT_GT(reopenings, 0);
}

TEST(PuzzlePlay, ThePinnedRoleFollowsTheFirstPieceThroughEveryMerge)
{
    for (const bool pinned : {false, true}) {
        for (const bool originDragged : {false, true}) {
            auto puzzle = laidOutPuzzle(20);
            ASSERT_TRUE(puzzle);
            puzzle->setPinned(pinned);
            JPPiece *p0 = puzzle->pieceWithIndex(0);
            JPPiece *p1 = p0->connectionAtIndex(2).piece;
            JPPiece *p2 = p1->connectionAtIndex(2).piece;
            JPPiece *p3 = p2->connectionAtIndex(2).piece;
            PlaceBeside(p1, p1, p0);
            JPAssembly *withOrigin = LinkPieces(p1, p0);
            PlaceBeside(p3, p3, p2);
            JPAssembly *other = LinkPieces(p3, p2);
            ASSERT_EQ(puzzle->pinnedAssembly(), withOrigin);
            EXPECT_EQ(puzzle->pieces().front(), withOrigin);
            JPAssembly *dragged = originDragged ? withOrigin : other;
            JPAssembly *still = originDragged ? other : withOrigin;
            PlaceBeside(dragged, originDragged ? p1 : p2, originDragged ? p2 : p1);
            QPointF point;
            ASSERT_EQ(PieceToLinkWith(dragged, point), still);
            JPAssembly *survivor = LinkPieces(dragged, still);
            ASSERT_TRUE(survivor);
            EXPECT_EQ(puzzle->pinnedAssembly(), survivor) << "pinned " << pinned << " origin dragged " << originDragged;
            EXPECT_EQ(puzzle->pieces().front(), survivor);
            if (pinned) {
                EXPECT_EQ(survivor->pieceIndex(), 5001u) << "the pinned assembly must survive";
            }
            expectInvariants(*puzzle);
        }
    }
}

TEST(PuzzlePlay, FinishingAsksToStopThatPuzzleAfterTheEvent)
{
    auto puzzle = laidOutPuzzle(4);
    ASSERT_TRUE(puzzle);
    JPPuzzle *asked = nullptr;
    JPPuzzle::setStopRequestHandler([&asked](JPPuzzle *p) { asked = p; });
    while (puzzle->pieces().size() > 1)
        ASSERT_TRUE(SolveOneLink(*puzzle));
    EXPECT_EQ(asked, nullptr);
    drainEvents();
    EXPECT_EQ(asked, puzzle.get());
    EXPECT_TRUE(puzzle->puzzleDict().value(QStringLiteral("done")).toBool());
    EXPECT_FALSE(puzzle->isDirty());
    // A request still queued for a puzzle that was closed does nothing.
    asked = nullptr;
    puzzle->setComplete();
    puzzle.reset();
    drainEvents();
    EXPECT_EQ(asked, nullptr);
    JPPuzzle::setStopRequestHandler(nullptr);
}

TEST(Linking, TolerancesAlongAndAcrossTheJoint)
{
    auto puzzle = laidOutPuzzle(20);
    ASSERT_TRUE(puzzle);
    const double p = puzzle->protrusion();
    JPPiece *any = puzzle->pieceWithIndex(0);
    const QRectF right(100, 0, 50, 100); // the neighbour on the dragged piece's right
    QPointF point(-1, -1);
    // Along: the dragged right edge overlaps the neighbour's left edge by o.
    const auto dragged = [](double overlap) { return QRectF(50 + overlap, 0, 50, 100); };
    EXPECT_TRUE(any->canLinkEdges(2, dragged(-4), right, true, &point));
    EXPECT_EQ(point, QPointF(50 - 4 + 50 + 4, 50));
    EXPECT_FALSE(any->canLinkEdges(2, dragged(-5), right, true, &point));
    EXPECT_TRUE(any->canLinkEdges(2, dragged(p + 4), right, false, &point));
    EXPECT_EQ(point.x(), 100 - 4.0);
    EXPECT_FALSE(any->canLinkEdges(2, dragged(p + 5), right, false, &point));
    // Across: three quarters of the shorter span must overlap.
    EXPECT_TRUE(any->canLinkEdges(3, QRectF(25, 0, 100, 100), QRectF(0, 100, 100, 100), true, &point));
    EXPECT_EQ(point, QPointF(62.5, 104));
    EXPECT_FALSE(any->canLinkEdges(3, QRectF(25.5, 0, 100, 100), QRectF(0, 100, 100, 100), true, &point));
    EXPECT_EQ(point, QPointF(62.5, 104)) << "a failed test leaves the point alone";
    EXPECT_FALSE(any->canLinkEdges(7, dragged(0), right, true, &point));
    // Knobs on opposite ends: the spans overlap by exactly three quarters of the shorter,
    // at a board scale whose single-precision values don't add up exactly.
    const double s = 0.9, base = 69 * s, knob = 23 * s;
    EXPECT_TRUE(any->canLinkEdges(3, QRectF(621, 0, base + knob, 100), QRectF(621 + knob, 100, base + knob, 100), true,
                                  &point));
}

TEST(Linking, TurnedPiecesJoinOnlyNeighboursTurnedTheSameWay)
{
    auto puzzle = laidOutPuzzle(20, nullptr, true);
    ASSERT_TRUE(puzzle);
    JPPiece *a = puzzle->pieceWithIndex(0);
    JPPiece *b = a->connectionAtIndex(2).piece; // right of a
    JPPiece *c = b->connectionAtIndex(2).piece;
    a->setRotation(1);
    b->setRotation(1);
    // Turned a quarter, b's left side faces up: b goes above a, turned about the same centre.
    const double s = puzzle->scale();
    const QPointF offset = (b->rect().center() - a->rect().center()) * s;
    b->setDraggedLocation(a->boardLocation() + QPointF(-offset.y(), offset.x()));
    QPointF point;
    EXPECT_EQ(PieceToLinkWith(b, point), a);
    b->setRotation(2);
    EXPECT_EQ(PieceToLinkWith(b, point), nullptr);
    // An assembly is upright: a turned piece waits until it is turned back.
    a->setRotation(0);
    b->setRotation(0);
    PlaceBeside(b, b, a);
    JPAssembly *group = LinkPieces(b, a);
    PlaceBeside(c, c, b);
    c->setRotation(3);
    EXPECT_EQ(PieceToLinkWith(c, point), nullptr);
    c->setRotation(0);
    EXPECT_EQ(PieceToLinkWith(c, point), group);
}

TEST(Layout, PackingPullsStraysBackAndAvoidsTheGapAndAssemblies)
{
    auto puzzle = laidOutPuzzle(30);
    ASSERT_TRUE(puzzle);
    JPPiece *stray = puzzle->pieceWithIndex(5);
    stray->setDraggedLocation(QPointF(-500, 300));
    const QRectF before = stray->enclosingRect();
    EXPECT_TRUE(puzzle->shiftPieces(false, kTestBoard, true));
    EXPECT_GE(stray->enclosingRect().x(), 0.0);
    EXPECT_LE(stray->enclosingRect().right(), kTestBoard.width());
    EXPECT_NE(stray->enclosingRect(), before);
    EXPECT_TRUE(puzzle->isDirty());

    // Everything packed to the left lands in free nodes: never on the picture gap.
    puzzle->shiftPieces(false, kTestBoard, false);
    const double nw = puzzle->scale() * (puzzle->baseSize().width() + puzzle->protrusion());
    const double nh = puzzle->scale() * (puzzle->baseSize().height() + puzzle->protrusion());
    const QRectF gap(puzzle->gapBegin().x * nw, puzzle->gapBegin().y * nh,
                     (puzzle->gapEnd().x + 1 - puzzle->gapBegin().x) * nw,
                     (puzzle->gapEnd().y + 1 - puzzle->gapBegin().y) * nh);
    for (JPPiece *item : puzzle->pieces()) {
        const QPointF c = item->boardLocation();
        const QRectF test(c.x() - nw / 4, c.y() - nh / 4, nw / 2, nh / 2);
        if (item->draggedLocation().x() >= 0) {
            EXPECT_FALSE(test.intersects(gap)) << item->pieceIndex();
        }
    }

    // With nothing loose, nothing moves.
    while (puzzle->pieces().size() > 1)
        ASSERT_TRUE(SolveOneLink(*puzzle));
    EXPECT_FALSE(puzzle->shiftPieces(true, kTestBoard, false));
}

TEST(Layout, TurningTheSelectionComesFullCircle)
{
    auto puzzle = laidOutPuzzle(12);
    ASSERT_TRUE(puzzle);
    std::vector<uint64_t> first;
    for (JPPiece *item : puzzle->pieces()) {
        puzzle->selection().push_back(item);
        first.push_back(item->rotation());
    }
    puzzle->setDirty(false);
    puzzle->rotatePieces(true);
    EXPECT_TRUE(puzzle->isDirty());
    EXPECT_EQ(puzzle->pieces()[0]->rotation(), (first[0] + 1) % 4);
    puzzle->rotatePieces(false);
    for (int i = 0; i < 4; ++i)
        puzzle->rotatePieces(true);
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(puzzle->pieces()[i]->rotation(), first[i]);
}

TEST(Layout, FittingKeepsDraggedPlacesInProportion)
{
    auto puzzle = laidOutPuzzle(30);
    ASSERT_TRUE(puzzle);
    const double s = puzzle->scale();
    EXPECT_GT(s, 0.0);
    EXPECT_LE(s, 1.0);
    JPPiece *moved = puzzle->pieceWithIndex(3);
    moved->setDraggedLocation(QPointF(100, 60));
    JPPiece *still = puzzle->pieceWithIndex(4);
    puzzle->layoutPuzzle(QSizeF(kTestBoard.width() / 2, kTestBoard.height() / 2));
    EXPECT_NEAR(puzzle->scale(), s / 2, s * 0.01);
    const double ratio = puzzle->scale() / s;
    EXPECT_TRUE(Near(moved->boardLocation(), QPointF(100, 60) * ratio, 1e-9));
    const double cell = puzzle->scale() * (puzzle->baseSize().width() + 2 * puzzle->protrusion());
    EXPECT_NEAR(still->boardLocation().x(), (still->looseCoord().x + 0.5) * cell, 1e-6);
}
