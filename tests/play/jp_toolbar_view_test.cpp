#include "play/jp_puzzle_view.h"
#include "play/jp_toolbar_view.h"
#include "play/jp_window_controller.h"
#include "play_fixtures.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

namespace {

using tj::test::BuildTestPuzzle;

class ToolbarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<JPWindowController>();
        window->resize(800, 600);
        window->show();
        QApplication::processEvents();
        strip = window->toolbarView();
    }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, at, strip->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(strip, &event);
    }
    void press(QPointF at) { mouse(QEvent::MouseButtonPress, at, Qt::LeftButton); }
    void drag(QPointF at) { mouse(QEvent::MouseMove, at, Qt::LeftButton); }
    void release(QPointF at) { mouse(QEvent::MouseButtonRelease, at, Qt::NoButton); }
    QPointF centreOf(int tool) const { return strip->rectForTool(tool).center(); }

    std::unique_ptr<JPWindowController> window;
    JPToolbarView *strip = nullptr;
};

TEST_F(ToolbarTest, ToolsAreSquaresStackedFromTheTop)
{
    const double w = strip->width();
    ASSERT_EQ(w, JPWindowController::kToolbarWidth);
    for (int i = 0; i < JPToolbarView::kToolCount; ++i) {
        const QRectF square = strip->rectForTool(i);
        EXPECT_EQ(square, QRectF(0, i * w, w, w));
        EXPECT_EQ(strip->toolAtPoint(square.topLeft()), i);
        EXPECT_EQ(strip->toolAtPoint(square.center()), i);
        EXPECT_EQ(strip->toolAtPoint(square.bottomRight() - QPointF(0.01, 0.01)), i);
    }
    EXPECT_EQ(strip->toolAtPoint(QPointF(-1, 10)), JPToolbarView::kNoTool);
    EXPECT_EQ(strip->toolAtPoint(QPointF(w, 10)), JPToolbarView::kNoTool);
    EXPECT_EQ(strip->toolAtPoint(QPointF(5, -3)), JPToolbarView::kNoTool);
    EXPECT_EQ(strip->toolAtPoint(QPointF(5, 6 * w)), JPToolbarView::kNoTool);
    EXPECT_EQ(strip->toolAtPoint(QPointF(5, 40 * w)), JPToolbarView::kNoTool);
}

TEST_F(ToolbarTest, ToolTipsNameEachTool)
{
    const char *expected[] = {"Show completed puzzle picture", "Pin the frame to the board", "Show only edge pieces",
                              "Allow pieces to be rotated",    "Drag after single click",    "Hide Tobbin Jigsaw"};
    for (int i = 0; i < JPToolbarView::kToolCount; ++i)
        EXPECT_EQ(JPToolbarView::toolTipForTool(i), QLatin1String(expected[i]));
    EXPECT_TRUE(JPToolbarView::toolTipForTool(6).isEmpty());
    EXPECT_TRUE(JPToolbarView::toolTipForTool(-1).isEmpty());
}

TEST_F(ToolbarTest, HoveringAToolShowsItsToolTip)
{
    for (int tool : {0, 3, 5}) {
        const QPoint at = centreOf(tool).toPoint();
        QHelpEvent help(QEvent::ToolTip, at, strip->mapToGlobal(at));
        QApplication::sendEvent(strip, &help);
        EXPECT_EQ(QToolTip::text(), JPToolbarView::toolTipForTool(tool)) << tool;
    }
    QToolTip::hideText();
}

TEST_F(ToolbarTest, APressReleasedElsewhereRunsNothingAndDraggingBackRunsIt)
{
    auto puzzle = BuildTestPuzzle(QStringLiteral("Strip"), 640, 480, 12);
    ASSERT_TRUE(puzzle);
    window->setCurrentPuzzle(puzzle.get());

    press(centreOf(2));
    EXPECT_EQ(strip->trackingTool(), 2);
    EXPECT_TRUE(strip->highlightTrack());
    drag(centreOf(3));
    EXPECT_FALSE(strip->highlightTrack());
    release(centreOf(3));
    EXPECT_FALSE(puzzle->edgesOnly());
    EXPECT_FALSE(puzzle->rotate());
    EXPECT_EQ(strip->trackingTool(), JPToolbarView::kNoTool);

    // Released outside the strip altogether.
    press(centreOf(1));
    drag(QPointF(300, 20));
    release(QPointF(300, 20));
    EXPECT_FALSE(puzzle->pinned());

    press(centreOf(2));
    drag(centreOf(4));
    drag(centreOf(2));
    EXPECT_TRUE(strip->highlightTrack());
    release(centreOf(2));
    EXPECT_TRUE(puzzle->edgesOnly());
    EXPECT_FALSE(strip->highlightTrack());

    press(centreOf(4));
    release(centreOf(4));
    EXPECT_TRUE(window->lockedDrag());
    EXPECT_TRUE(window->puzzleView()->lockedDrag());
    press(centreOf(4));
    release(centreOf(4));
    EXPECT_FALSE(window->lockedDrag());
    window->setCurrentPuzzle(nullptr);
}

TEST_F(ToolbarTest, WithoutAPuzzleOnlyPanicResponds)
{
    for (int tool = 0; tool < 5; ++tool) {
        press(centreOf(tool));
        EXPECT_EQ(strip->trackingTool(), JPToolbarView::kNoTool) << tool;
        EXPECT_FALSE(strip->highlightTrack());
        release(centreOf(tool));
    }
    EXPECT_FALSE(window->lockedDrag());
    EXPECT_FALSE(window->isMinimized());

    press(centreOf(JPToolbarView::kPanicTool));
    EXPECT_TRUE(strip->highlightTrack());
    release(centreOf(JPToolbarView::kPanicTool));
    QApplication::processEvents();
    EXPECT_TRUE(window->isMinimized());
}

// How far the pixels of a tool's square stray from the strip's background, summed.
double inkInCell(const QImage &shot, const QRectF &cell, QRgb background)
{
    double sum = 0;
    for (int y = int(cell.top()) + 1; y < int(cell.bottom()) - 1; ++y)
        for (int x = int(cell.left()) + 1; x < int(cell.right()) - 1; ++x) {
            const QRgb p = shot.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(background)) + std::abs(qGreen(p) - qGreen(background)) +
                   std::abs(qBlue(p) - qBlue(background));
        }
    return sum;
}

TEST_F(ToolbarTest, FadedWithoutPuzzleAndSwitchedOnBackground)
{
    const QImage empty = strip->grab().toImage();
    const QRgb background = empty.pixel(2, 2);
    auto puzzle = BuildTestPuzzle(QStringLiteral("Look"), 640, 480, 12);
    ASSERT_TRUE(puzzle);
    window->setCurrentPuzzle(puzzle.get());
    const QImage active = strip->grab().toImage();
    for (int tool = 0; tool < 5; ++tool) {
        const double faded = inkInCell(empty, strip->rectForTool(tool), background);
        const double full = inkInCell(active, strip->rectForTool(tool), background);
        EXPECT_GT(faded, 0) << "tool " << tool << " has no image";
        EXPECT_LT(faded, full * 0.5) << "tool " << tool;
    }
    const QRectF panic = strip->rectForTool(JPToolbarView::kPanicTool);
    EXPECT_EQ(inkInCell(empty, panic, background), inkInCell(active, panic, background));

    const QColor toggle = QColor::fromRgbF(0.9647058823529412f, 0.9647058823529412f, 0.596078431372549f);
    window->edgesOnly();
    const QImage switched = strip->grab().toImage();
    const QPoint corner = strip->rectForTool(2).topLeft().toPoint() + QPoint(2, 2);
    EXPECT_EQ(QColor(switched.pixel(corner)).rgb(), toggle.rgb());
    EXPECT_NE(QColor(switched.pixel(strip->rectForTool(3).topLeft().toPoint() + QPoint(2, 2))).rgb(), toggle.rgb());

    press(centreOf(3));
    const QImage pressed = strip->grab().toImage();
    EXPECT_EQ(QColor(pressed.pixel(strip->rectForTool(3).topLeft().toPoint() + QPoint(2, 2))).rgb(),
              strip->palette().color(QPalette::Highlight).rgb());
    release(centreOf(3));
    window->setCurrentPuzzle(nullptr);
}

}
