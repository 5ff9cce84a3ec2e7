#include "app/jp_thumbnail_view.h"

#include "imaging/kolor.h"
#include "play/cc_popover_base_vc.h"
#include "support/cc_notifier.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScrollArea>
#include <QScrollBar>

namespace {

class ThumbnailDelegate : public CCPictureCollectionDelegate
{
public:
    using CCPictureCollectionDelegate::pictureCollection;
    int numberOfPicturesInCollection(CCPictureCollection *) override { return count; }
    QImage pictureCollection(CCPictureCollection *, int) override { return tj::test::MakeTestPicture(200, 150); }
    QString pictureCollection(CCPictureCollection *, int index, int labelIndex) override
    {
        if (index == longLabelIndex && labelIndex == 0)
            return QString(300, QLatin1Char('W'));
        return labelIndex == 0 ? QStringLiteral("MMMMM") : QStringLiteral("MMM");
    }
    void pictureCollectionSelectionChanged(CCPictureCollection *) override { ++selectionChanges; }
    bool pictureCollectionLoadingWebsiteInfo(CCPictureCollection *) override { return loading; }

    int count = 10;
    bool loading = false;
    int longLabelIndex = -1;
    int selectionChanges = 0;
};

class ThumbnailViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view = new JPThumbnailView(&host);
        view->setDelegate(&delegate);
        host.resize(900, 700);
        host.show();
        setViewWidth(630, 600);
    }

    void setViewWidth(int width, int height)
    {
        QScrollArea *scroller = view->scrollView();
        const int frame = 2 * scroller->frameWidth();
        scroller->resize(width + frame + scroller->verticalScrollBar()->sizeHint().width(), height + frame);
        view->reloadData();
    }

    QWidget host;
    ThumbnailDelegate delegate;
    JPThumbnailView *view = nullptr;
};

// Any pixel of the area within tolerance of colour.
bool containsColor(const QImage &image, const QRect &area, const QColor &color, int tolerance)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (tj::test::NearColor(image.pixelColor(x, y), color, tolerance))
                return true;
    return false;
}

TEST_F(ThumbnailViewTest, CellsAreAbout210WideWithRoomForTwoCaptions)
{
    const double cellHeight = 2 * (JPThumbnailView::textHeight() + 4) + 201;
    struct Case
    {
        int width, columns, cellWidth;
    };
    for (const Case c : {Case{630, 3, 200}, Case{629, 2, 304}, Case{209, 1, 199}, Case{120, 1, 110}}) {
        setViewWidth(c.width, 400);
        const GridSize size = view->gridSize();
        EXPECT_EQ(size.columns, c.columns) << c.width;
        EXPECT_EQ(size.cellSize, QSizeF(c.cellWidth, cellHeight)) << c.width;
        EXPECT_EQ(size.rows, (10 + c.columns - 1) / c.columns);
        EXPECT_EQ(view->height(), std::max(400, int((cellHeight + 10) * size.rows + 1)));
    }
}

TEST_F(ThumbnailViewTest, ReloadingTellsTheDelegateUnlessTheWindowIsBeingResized)
{
    const int told = delegate.selectionChanges;
    view->selectIndex(4);
    view->scrollView()->resize(500, 300);
    EXPECT_EQ(view->selectedIndexes(), QList<int>{4});
    EXPECT_EQ(delegate.selectionChanges, told + 1);

    delegate.count = 2;
    CCNotifier::sharedInstance()->post(QStringLiteral("wmjigsaw.reload"));
    EXPECT_EQ(view->selectedIndexes(), QList<int>{0});
    EXPECT_EQ(view->gridSize().rows, 1);
    EXPECT_EQ(delegate.selectionChanges, told + 2);

    view->selectIndexes({1});
    EXPECT_EQ(view->selectedIndexes(), QList<int>{1});
    EXPECT_EQ(delegate.selectionChanges, told + 3);
}

TEST_F(ThumbnailViewTest, KeysClosePopoversAndReturnGoesToTheWindow)
{
    auto *popover = new CCPopoverBaseVC(&host);
    popover->showRelativeToRect(QRect(10, 10, 20, 20), &host);
    ASSERT_EQ(CCPopoverBaseVC::openPopoverCount(), 1);
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(view, &right);
    EXPECT_EQ(CCPopoverBaseVC::openPopoverCount(), 0);
    EXPECT_EQ(view->selectedIndexes(), QList<int>{1});
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(ThumbnailViewTest, AnEmptyGridSaysWhy)
{
    EXPECT_TRUE(view->emptyMessage().isEmpty());
    delegate.count = 0;
    view->reloadData();
    EXPECT_EQ(view->emptyMessage(), QStringLiteral("No Available Puzzles"));
    delegate.loading = true;
    EXPECT_EQ(view->emptyMessage(), QStringLiteral("Waiting for Wrenmoor Website\u2026"));

    const QImage shot = view->grab().toImage();
    EXPECT_TRUE(containsColor(shot, shot.rect(), GrayColor(3), 8)) << "the message is drawn";
}

// Captions take the text colour, black on a light selection fill and the highlighted-text
// colour on a dark one, and a long caption stays inside its own cell.
TEST_F(ThumbnailViewTest, CaptionsStayReadableOnTheSelectionAndInsideTheirCells)
{
    delegate.longLabelIndex = 3;
    view->reloadData();
    view->selectIndex(2);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Highlight, QColor(255, 255, 120));
    palette.setColor(QPalette::Text, QColor(0, 0, 255));
    view->setPalette(palette);
    const QImage shot = view->grab().toImage();
    const int cellHeight = int(view->gridSize().cellSize.height());
    const auto captions = [&](int index) {
        const QRectF cell = view->rectForPicture(index);
        return QRect(int(cell.left()), int(cell.top()) + 204, 200, cellHeight - 205);
    };
    EXPECT_TRUE(containsColor(shot, captions(0), QColor(0, 0, 255), 40));
    EXPECT_TRUE(containsColor(shot, captions(2), QColor(Qt::black), 40));
    EXPECT_FALSE(containsColor(shot, captions(2), QColor(0, 0, 255), 40));
    EXPECT_EQ(shot.pixelColor((view->rectForPicture(2).topLeft() - QPointF(3, 3)).toPoint()), QColor(255, 255, 120));
    const QRectF fourth = view->rectForPicture(3);
    const QRect besideLong(int(fourth.right()) + 1, int(fourth.top()) + 204, 9, JPThumbnailView::textHeight());
    EXPECT_FALSE(containsColor(shot, besideLong, QColor(0, 0, 255), 80));

    palette.setColor(QPalette::Highlight, QColor(20, 20, 90));
    palette.setColor(QPalette::HighlightedText, QColor(255, 255, 0));
    view->setPalette(palette);
    EXPECT_TRUE(containsColor(view->grab().toImage(), captions(2), QColor(255, 255, 0), 40));
}

}
