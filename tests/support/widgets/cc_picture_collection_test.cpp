#include "support/widgets/cc_picture_collection.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <memory>

void PrintTo(const GridSize &size, std::ostream *os)
{
    *os << size.columns << " columns, " << size.rows << " rows of " << size.cellSize.width() << "x"
        << size.cellSize.height();
}

namespace {

class FakeDelegate : public CCPictureCollectionDelegate
{
public:
    using CCPictureCollectionDelegate::pictureCollection;
    int numberOfPicturesInCollection(CCPictureCollection *) override { return count; }
    QImage pictureCollection(CCPictureCollection *, int) override { return {}; }
    void pictureCollectionSelectionChanged(CCPictureCollection *collection) override
    {
        ++selectionChanges;
        lastSelection = collection->selectedIndexes();
    }
    void pictureCollectionDoubleClick(CCPictureCollection *) override { ++doubleClicks; }
    int pictureCollectionImageSize(CCPictureCollection *) override { return side; }
    bool pictureCollectionAllowsMultipleSelection(CCPictureCollection *) override { return multiple; }
    bool pictureCollectionRequireEmptyLastCell(CCPictureCollection *) override { return emptyLastCell; }

    int count = 20;
    int side = 120;
    bool multiple = false;
    bool emptyLastCell = false;
    int selectionChanges = 0;
    int doubleClicks = 0;
    QList<int> lastSelection;
};

class PictureCollectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        grid = new CCPictureCollection(&host);
        grid->setDelegate(&delegate);
        host.resize(800, 600);
        host.show();
        setUsableSize(630, 300);
    }

    // Sizes the scroll area so that the grid's usable width and visible height are these.
    void setUsableSize(int width, int height, bool reload = true)
    {
        QScrollArea *scroller = grid->scrollView();
        const int frame = 2 * scroller->frameWidth();
        scroller->resize(width + frame + scroller->verticalScrollBar()->sizeHint().width(), height + frame);
        if (reload)
            grid->reloadData();
    }

    void click(int index, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(grid, Qt::LeftButton, modifiers, grid->rectForPicture(index).center().toPoint());
    }
    int scrollY() const { return grid->scrollView()->verticalScrollBar()->value(); }
    QList<int> only(int index) const { return {index}; }

    QWidget host;
    FakeDelegate delegate;
    CCPictureCollection *grid = nullptr;
};

TEST_F(PictureCollectionTest, GridFollowsTheWidthPictureSizeAndCount)
{
    // Picture side, usable width, count, an empty last cell, and the grid. An empty last cell adds
    // a row only when the last row is full.
    const std::tuple<int, int, int, bool, GridSize> cases[] = {
        {200, 630, 20, false, {3, 7, QSizeF(200, 200)}},  {200, 629, 20, false, {2, 10, QSizeF(304, 200)}},
        {200, 150, 20, false, {1, 20, QSizeF(140, 200)}}, {200, 1000, 20, false, {4, 5, QSizeF(240, 200)}},
        {120, 630, 20, false, {4, 5, QSizeF(147, 120)}},  {200, 630, 6, false, {3, 2, QSizeF(200, 200)}},
        {200, 630, 6, true, {3, 3, QSizeF(200, 200)}},    {200, 630, 7, true, {3, 3, QSizeF(200, 200)}},
        {200, 630, 0, false, {3, 0, QSizeF(200, 200)}},   {200, 630, 0, true, {3, 1, QSizeF(200, 200)}},
    };
    for (const auto &[side, width, count, emptyLastCell, expected] : cases) {
        delegate.side = side;
        delegate.count = count;
        delegate.emptyLastCell = emptyLastCell;
        setUsableSize(width, 300);
        tj::test::drainEvents();
        SCOPED_TRACE(testing::Message() << side << " " << width << " " << count << " " << emptyLastCell);
        EXPECT_EQ(grid->width(), width);
        EXPECT_EQ(grid->gridSize(), expected);
        // As tall as its rows, and at least as tall as the visible area.
        EXPECT_EQ(grid->height(), std::max(300, expected.rows * (side + 10) + 1));
    }
}

TEST_F(PictureCollectionTest, PointsMapBackToTheCellsTheyLieIn)
{
    for (int width : {630, 629, 150}) {
        setUsableSize(width, 300);
        const GridSize size = grid->gridSize();
        for (int i = 0; i < delegate.count; ++i) {
            const QRectF cell = grid->rectForPicture(i);
            EXPECT_EQ(cell.size(), size.cellSize);
            EXPECT_EQ(grid->indexForPoint(cell.center()), i);
            EXPECT_EQ(grid->indexForPoint(cell.topLeft()), i);
            EXPECT_EQ(grid->indexForPoint(cell.bottomRight() - QPointF(0.5, 0.5)), i);
        }
        // The gap right of the last column belongs to that column.
        const QRectF last = grid->rectForPicture(size.columns - 1);
        EXPECT_EQ(grid->indexForPoint(QPointF(last.right() + 7, last.center().y())), size.columns - 1);
        EXPECT_EQ(grid->indexForPoint(QPointF(grid->width() + 40, last.center().y())), size.columns - 1);
    }
    EXPECT_EQ(grid->indexForPoint(QPointF(-1, 10)), -1);
    EXPECT_EQ(grid->indexForPoint(QPointF(10, -1)), -1);
    EXPECT_EQ(grid->indexForPoint(QPointF(10, 1e9)), -1);
    delegate.count = 5;
    setUsableSize(630, 300);
    EXPECT_EQ(grid->indexForPoint(grid->rectForPicture(7).center()), -1);
}

TEST_F(PictureCollectionTest, ReloadSelectsTheFirstCellButAResizeKeepsTheSelection)
{
    grid->selectIndex(13);
    setUsableSize(400, 200, false);
    EXPECT_EQ(grid->width(), 400);
    EXPECT_EQ(grid->gridSize().columns, 3);
    EXPECT_EQ(grid->selectedIndexes(), only(13));
    grid->reloadData();
    EXPECT_EQ(grid->selectedIndexes(), only(0));
    delegate.count = 0;
    grid->reloadData();
    EXPECT_TRUE(grid->selectedIndexes().isEmpty());
}

TEST_F(PictureCollectionTest, SelectIndexesTakesOneCellUnlessMultipleAreAllowed)
{
    grid->selectIndexes({9, 4, 30, 6});
    EXPECT_EQ(grid->selectedIndexes(), only(4));
    grid->selectIndexes({});
    EXPECT_EQ(grid->selectedIndexes(), only(0));
    grid->selectIndexes({-3, 99});
    EXPECT_EQ(grid->selectedIndexes(), only(0));
    EXPECT_EQ(delegate.selectionChanges, 0);
    grid->selectIndex(99);
    EXPECT_EQ(grid->selectedIndexes(), only(0));

    delegate.multiple = true;
    grid->reloadData();
    grid->selectIndexes({9, 4, 30, 6, 4});
    EXPECT_EQ(grid->selectedIndexes(), (QList<int>{4, 6, 9}));
    grid->extendSelection(9, 12);
    EXPECT_EQ(grid->selectedIndexes(), (QList<int>{4, 6, 9, 10, 11, 12}));
    EXPECT_EQ(delegate.lastSelection, grid->selectedIndexes());
}

TEST_F(PictureCollectionTest, ClicksSelectAndTellTheDelegateOnRelease)
{
    click(5);
    EXPECT_EQ(grid->selectedIndexes(), only(5));
    EXPECT_EQ(delegate.selectionChanges, 1);
    EXPECT_EQ(delegate.lastSelection, only(5));

    // Command-click never empties a single selection, and replaces it otherwise; Shift does not
    // extend without multiple selection.
    const std::pair<int, Qt::KeyboardModifier> clicks[] = {
        {5, Qt::ControlModifier}, {7, Qt::ControlModifier}, {9, Qt::ShiftModifier}};
    for (const auto &[index, modifier] : clicks) {
        click(index, modifier);
        EXPECT_EQ(grid->selectedIndexes(), only(index));
    }

    const int told = delegate.selectionChanges;
    QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(5, grid->height() - 1));
    EXPECT_EQ(grid->selectedIndexes(), only(9));
    EXPECT_EQ(delegate.selectionChanges, told);

    QTest::mouseDClick(grid, Qt::LeftButton, {}, grid->rectForPicture(2).center().toPoint());
    EXPECT_EQ(delegate.doubleClicks, 1);
    EXPECT_EQ(grid->selectedIndexes(), only(2));
}

TEST_F(PictureCollectionTest, KeysMoveThroughTheGrid)
{
    // 18 cells in 4 columns: the last row holds two.
    delegate.count = 18;
    setUsableSize(630, 300);
    ASSERT_EQ(grid->gridSize().columns, 4);
    // From cell 5, each chord and the cell it selects. Down from above a short last row stops at
    // the last cell; without multiple selection Shift moves like the plain key.
    grid->selectIndex(5);
    const QKeyCombination controlEnd = Qt::ControlModifier | Qt::Key_End;
    const QKeyCombination controlHome = Qt::ControlModifier | Qt::Key_Home;
    const QKeyCombination shiftLeft = Qt::ShiftModifier | Qt::Key_Left;
    const std::pair<QKeyCombination, int> steps[] = {
        {Qt::Key_Right, 6},  {Qt::Key_Down, 10}, {Qt::Key_Left, 9},  {Qt::Key_Up, 5},     {Qt::Key_Up, 1},
        {Qt::Key_Up, 0},     {Qt::Key_Left, 0},  {Qt::Key_End, 17},  {Qt::Key_Right, 17}, {Qt::Key_Home, 0},
        {controlEnd, 17},    {controlHome, 0},   {Qt::Key_Down, 4},  {Qt::Key_Down, 8},   {Qt::Key_Right, 9},
        {Qt::Key_Right, 10}, {Qt::Key_Down, 14}, {Qt::Key_Down, 17}, {shiftLeft, 16}};
    for (const auto &[chord, selected] : steps) {
        QTest::keyClick(grid, chord.key(), chord.keyboardModifiers());
        ASSERT_EQ(grid->selectedIndexes(), only(selected)) << chord.toCombined();
        EXPECT_EQ(delegate.lastSelection, only(selected)) << chord.toCombined();
    }

    // Down on the last row keeps the selection and only scrolls it into view.
    grid->scrollView()->verticalScrollBar()->setValue(0);
    const int told = delegate.selectionChanges;
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->selectedIndexes(), only(16));
    EXPECT_EQ(delegate.selectionChanges, told);
    EXPECT_TRUE(QRectF(grid->visibleArea()).contains(grid->rectForPicture(16)));
}

TEST_F(PictureCollectionTest, SelectionScrollsIntoViewAndPagesMoveWithoutSelecting)
{
    delegate.count = 200;
    setUsableSize(630, 300);
    grid->selectIndex(101);
    EXPECT_TRUE(QRectF(grid->visibleArea()).contains(grid->rectForPicture(101)));
    // A selection already in view does not scroll.
    const int before = scrollY();
    grid->selectIndex(100);
    EXPECT_EQ(scrollY(), before);

    QTest::keyClick(grid, Qt::Key_PageDown);
    EXPECT_GT(scrollY(), before);
    QTest::keyClick(grid, Qt::Key_PageUp);
    EXPECT_EQ(scrollY(), before);
    EXPECT_EQ(grid->selectedIndexes(), only(100));
    grid->selectIndex(1);
    EXPECT_EQ(scrollY(), 0);
}

}
