#include "imaging/cc_image.h"
#include "model/jp_puzzle.h"
#include "play/jp_board_viewport.h"
#include "play/jp_view_transform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tj::test;

namespace {

constexpr QSizeF kBoard(1600, 1000);

bool insideBoard(const JPViewTransform &view)
{
    const QRectF board(QPointF(0, 0), view.boardSize());
    const QRectF shown = view.visibleRect();
    return shown.left() >= 0 && shown.top() >= 0 && shown.right() <= board.right() + 1e-9
        && shown.bottom() <= board.bottom() + 1e-9;
}

std::unique_ptr<JPPuzzle> pictureOnlyPuzzle()
{
    return JPPuzzle::initWithPicture(freshFolder() + QStringLiteral("/V.WMjigsaw"),
                                     CCImage::initWithSize(QSizeF(800, 600)), QVariantMap());
}

TEST(ViewTransform, PointsRoundTripAndZoomOneIsTheBoardItself)
{
    JPViewTransform whole(kBoard);
    EXPECT_EQ(whole.visibleRect(), QRectF(QPointF(0, 0), kBoard));
    for (QPointF p : {QPointF(0, 0), QPointF(17, 923), QPointF(1599, 999)}) {
        EXPECT_EQ(whole.toBoard(p), p);
        EXPECT_EQ(whole.toView(p), p);
    }
    for (double zoom : {1.5, 2.0, 4.0, 7.25}) {
        JPViewTransform view(kBoard, 8.0);
        view.setZoom(zoom, QPointF(311, 707));
        EXPECT_EQ(view.zoom(), zoom);
        for (QPointF p : {QPointF(0, 0), QPointF(640.5, 480.25), QPointF(1600, 1000)}) {
            EXPECT_TRUE(Near(view.toView(view.toBoard(p)), p, 1e-9)) << zoom;
            EXPECT_TRUE(Near(view.toBoard(view.toView(p)), p, 1e-9)) << zoom;
        }
        const QRectF shown = view.toBoard(QRectF(QPointF(0, 0), kBoard));
        EXPECT_EQ(shown, view.visibleRect());
        EXPECT_TRUE(Near(QPointF(shown.width(), shown.height()), QPointF(1600 / zoom, 1000 / zoom), 1e-9));
        EXPECT_EQ(view.boardToView().map(QPointF(123, 456)), view.toView(QPointF(123, 456)));
    }
}

TEST(ViewTransform, ZoomingKeepsThePointUnderThePointer)
{
    JPViewTransform view(kBoard);
    const QPointF pointer(500, 300);
    const QPointF under = view.toBoard(pointer);
    for (double zoom : {1.3, 2.0, 3.7, 4.0, 2.5, 1.1}) {
        view.setZoom(zoom, pointer);
        EXPECT_TRUE(Near(view.toBoard(pointer), under, 1e-9)) << zoom;
    }
    // Back at zoom 1 the whole board shows again, wherever the pointer was.
    view.zoomBy(1 / 8.0, QPointF(1200, 900));
    EXPECT_TRUE(view.showsWholeBoard());
    EXPECT_EQ(view.origin(), QPointF(0, 0));
    // A pinch ending a hair above 1 means the whole board too.
    view.setZoom(1.0004, pointer);
    EXPECT_TRUE(view.showsWholeBoard());
}

TEST(ViewTransform, TheVisiblePartNeverLeavesTheBoard)
{
    JPViewTransform view(kBoard);
    view.setZoom(2, QPointF(0, 0));
    // Panning far past an edge stops the view at it.
    for (const auto &[pan, visibleOrigin] :
         {std::pair<QPointF, QPointF>{{1e6, 1e6}, {0, 0}}, {{-1e6, 0}, {800, 0}}, {{0, -1e6}, {800, 500}}}) {
        view.panBy(pan);
        EXPECT_EQ(view.origin(), visibleOrigin);
        EXPECT_TRUE(insideBoard(view));
    }
    for (QPointF corner : {QPointF(0, 0), QPointF(1600, 0), QPointF(1600, 1000), QPointF(-50, 2000)}) {
        view.centerOn(corner);
        EXPECT_TRUE(insideBoard(view));
    }
    // Zooming at the edge can't reveal anything beyond it.
    view.setZoom(4, QPointF(1600, 1000));
    view.setZoom(1.5, QPointF(1600, 1000));
    EXPECT_TRUE(insideBoard(view));
    // Limits and nonsense.
    view.setZoom(100, QPointF(10, 10));
    EXPECT_EQ(view.zoom(), view.maxZoom());
    view.setZoom(0.25, QPointF(10, 10));
    EXPECT_EQ(view.zoom(), 1.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    view.setZoom(3, QPointF(10, 10));
    const JPViewTransform before = view;
    view.setZoom(nan, QPointF(1, 1));
    view.panBy(QPointF(nan, 4));
    view.centerOn(QPointF(std::numeric_limits<double>::infinity(), 0));
    EXPECT_EQ(view, before);
    // A lower limit lowers the zoom with it.
    view.setMaxZoom(2);
    EXPECT_EQ(view.zoom(), 2.0);
    EXPECT_TRUE(insideBoard(view));
}

TEST(ViewTransform, TheLargestZoomShowsPiecesAtTwiceTheirPixels)
{
    for (const auto &[scale, largest] : {std::pair{0.25, 8.0},
                                         {0.1, 20.0},
                                         {0.5, 4.0},
                                         {1.0, 4.0},
                                         {0.0, 4.0},
                                         {-1.0, 4.0},
                                         {1e-9, JPViewTransform::kZoomCeiling},
                                         {std::numeric_limits<double>::quiet_NaN(), 4.0}})
        EXPECT_DOUBLE_EQ(JPViewTransform::maxZoomForScale(scale), largest) << scale;
}

TEST(BoardViewport, TheViewIsKeptInThePuzzleInPicturePixels)
{
    auto puzzle = pictureOnlyPuzzle();
    ASSERT_TRUE(puzzle);
    JPBoardViewport viewport;
    viewport.setPuzzle(puzzle.get());
    viewport.sync(kBoard, 0.5);
    // Looking around at zoom 1 changes nothing to keep.
    EXPECT_FALSE(viewport.panBy(QPointF(40, 40)));
    EXPECT_FALSE(puzzle->infoDirty());
    EXPECT_FALSE(puzzle->puzzleDict().contains(JPBoardViewport::kZoomKey));

    ASSERT_TRUE(viewport.setZoom(3, QPointF(0, 0)));
    ASSERT_TRUE(viewport.centerOn(QPointF(1000, 600)));
    EXPECT_TRUE(puzzle->infoDirty());
    const QVariantMap &dict = puzzle->puzzleDict();
    EXPECT_EQ(dict.value(JPBoardViewport::kZoomKey).toDouble(), 3.0);
    EXPECT_EQ(dict.value(JPBoardViewport::kCenterXKey).toDouble(), 2000.0);
    EXPECT_EQ(dict.value(JPBoardViewport::kCenterYKey).toDouble(), 1200.0);

    // Reopened on a board fitted at another scale, the same picture point is in the middle.
    JPBoardViewport reopened;
    reopened.setPuzzle(puzzle.get());
    reopened.sync(QSizeF(2000, 1400), 0.25);
    EXPECT_EQ(reopened.transform().zoom(), 3.0);
    EXPECT_TRUE(Near(reopened.transform().center(), QPointF(500, 300), 1e-9));
    // A refit of the open view keeps it too.
    viewport.sync(QSizeF(3200, 2000), 1.0);
    EXPECT_TRUE(Near(viewport.transform().center(), QPointF(2000, 1200), 1e-9));
}

TEST(BoardViewport, ADamagedSavedViewShowsTheWholeBoard)
{
    const QVariant damaged[] = {QStringLiteral("nan"), QStringLiteral("inf"),  -3.0,      0.5, 1e300,
                                QVariantList{2, 3},    QStringLiteral("lots"), QVariant()};
    for (const QVariant &value : damaged) {
        auto puzzle = pictureOnlyPuzzle();
        ASSERT_TRUE(puzzle);
        puzzle->puzzleDict().insert(JPBoardViewport::kZoomKey, value);
        puzzle->puzzleDict().insert(JPBoardViewport::kCenterXKey, value);
        puzzle->puzzleDict().insert(JPBoardViewport::kCenterYKey, value);
        JPBoardViewport viewport;
        viewport.setPuzzle(puzzle.get());
        viewport.sync(kBoard, 0.5);
        EXPECT_TRUE(viewport.transform().showsWholeBoard()) << value.toString().toStdString();
        EXPECT_TRUE(insideBoard(viewport.transform()));
    }
    // A good zoom with a damaged centre looks at the middle of the board.
    auto puzzle = pictureOnlyPuzzle();
    puzzle->puzzleDict().insert(JPBoardViewport::kZoomKey, 2.0);
    puzzle->puzzleDict().insert(JPBoardViewport::kCenterXKey, QStringLiteral("nan"));
    JPBoardViewport viewport;
    viewport.setPuzzle(puzzle.get());
    viewport.sync(kBoard, 0.5);
    EXPECT_EQ(viewport.transform().zoom(), 2.0);
    EXPECT_TRUE(Near(viewport.transform().center(), QPointF(800, 500), 1e-9));
}

TEST(BoardViewport, AutoScrollIsFasterNearerTheEdge)
{
    const double margin = JPBoardViewport::kAutoScrollMargin;
    const double fastest = JPBoardViewport::kAutoScrollFastest;
    EXPECT_EQ(JPBoardViewport::autoScrollStep(QPointF(800, 500), kBoard), QPointF(0, 0));
    EXPECT_EQ(JPBoardViewport::autoScrollStep(QPointF(margin, 1000 - margin), kBoard), QPointF(0, 0));
    double last = 0;
    for (double x : {margin - 1, margin / 2, 0.0}) {
        const double step = JPBoardViewport::autoScrollStep(QPointF(x, 500), kBoard).x();
        EXPECT_GT(step, last) << x;
        last = step;
    }
    EXPECT_EQ(JPBoardViewport::autoScrollStep(QPointF(-500, 500), kBoard), QPointF(fastest, 0));
    EXPECT_EQ(JPBoardViewport::autoScrollStep(QPointF(1600 + 500, 1000 + 3), kBoard), QPointF(-fastest, -fastest));
    // A view too small to have a middle doesn't scroll by itself.
    EXPECT_EQ(JPBoardViewport::autoScrollStep(QPointF(0, 0), QSizeF(60, 60)), QPointF(0, 0));
}

}
