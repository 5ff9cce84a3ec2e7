#include "app/jp_thumbnail_view.h"

#include "imaging/kolor.h"
#include "play/cc_popover_base_vc.h"
#include "support/cc_notifier.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

namespace {

// Real JPEG thumbnails: the citrus photograph scaled into a 200-point square.
QImage citrusThumbnail()
{
    static const QImage thumbnail = [] {
        QImageReader reader(QDir(tj::test::dataFolder()).filePath(QStringLiteral("citrus.jpg")));
        reader.setAutoTransform(true);
        return reader.read().scaled(200, 200, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }();
    return thumbnail;
}

class ThumbnailDelegate : public CCPictureCollectionDelegate
{
public:
    using CCPictureCollectionDelegate::pictureCollection;
    int numberOfPicturesInCollection(CCPictureCollection *) override { return count; }
    QImage pictureCollection(CCPictureCollection *, int) override { return citrusThumbnail(); }
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
        ASSERT_FALSE(citrusThumbnail().isNull());
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

    void press(int key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    }

    QWidget host;
    ThumbnailDelegate delegate;
    JPThumbnailView *view = nullptr;
};

// Any pixel of the area within tolerance of colour.
bool containsColor(const QImage &image, const QRect &area, const QColor &color, int tolerance)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) <= tolerance && std::abs(pixel.green() - color.green()) <= tolerance
                && std::abs(pixel.blue() - color.blue()) <= tolerance)
                return true;
        }
    return false;
}

TEST_F(ThumbnailViewTest, CellsAreAbout210WideWithRoomForTwoCaptions)
{
    const double cellHeight = 2 * (JPThumbnailView::textHeight() + 4) + 201;
    EXPECT_GT(JPThumbnailView::textHeight(), 5);
    struct Case
    {
        int width, columns, cellWidth;
    };
    for (const Case c : {Case{630, 3, 200}, Case{629, 2, 304}, Case{209, 1, 199}, Case{120, 1, 110}}) {
        setViewWidth(c.width, 400);
        EXPECT_EQ(view->width(), c.width);
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
    EXPECT_EQ(delegate.selectionChanges, told + 1);
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
    press(Qt::Key_Right);
    EXPECT_EQ(CCPopoverBaseVC::openPopoverCount(), 0);
    EXPECT_EQ(view->selectedIndexes(), QList<int>{1});
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(ThumbnailViewTest, EmptyGridSaysWhyInTheMiddle)
{
    EXPECT_TRUE(view->emptyMessage().isEmpty());
    delegate.count = 0;
    view->reloadData();
    EXPECT_EQ(view->emptyMessage(), QStringLiteral("No Available Puzzles"));
    delegate.loading = true;
    EXPECT_EQ(view->emptyMessage(), QStringLiteral("Waiting for Wrenmoor Website\u2026"));

    const QImage shot = view->grab().toImage();
    QRect ink;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixelColor(x, y) != QColor(Qt::white))
                ink |= QRect(x, y, 1, 1);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.center().x(), shot.width() / 2, 3);
    EXPECT_NEAR(ink.center().y(), shot.height() / 2, 12);
    EXPECT_GT(ink.width(), 250);
    EXPECT_TRUE(containsColor(shot, ink, GrayColor(3), 8));
}

TEST_F(ThumbnailViewTest, CellsShowPicturesCaptionsAndSeparators)
{
    delegate.longLabelIndex = 3;
    view->reloadData();
    view->selectIndex(2);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Highlight, QColor(255, 255, 120));
    palette.setColor(QPalette::Text, QColor(0, 0, 255));
    view->setPalette(palette);
    const QImage shot = view->grab().toImage();
    const GridSize size = view->gridSize();
    const int cellHeight = int(size.cellSize.height());

    // The separator below the first row spans the full width.
    const int separator = cellHeight + 9;
    for (int x : {0, 300, view->width() - 1})
        EXPECT_EQ(shot.pixelColor(x, separator), GrayColor(2)) << x;
    EXPECT_EQ(shot.pixelColor(300, separator - 2), QColor(Qt::white));

    // Captions: the default text colour, but black on a light selection fill.
    const int captionTop = int(view->rectForPicture(0).top()) + 200 + 4;
    const QRect captions0(int(view->rectForPicture(0).left()), captionTop, 200, cellHeight - 205);
    const QRect captions2(int(view->rectForPicture(2).left()), captionTop, 200, cellHeight - 205);
    EXPECT_TRUE(containsColor(shot, captions0, QColor(0, 0, 255), 40));
    EXPECT_TRUE(containsColor(shot, captions2, QColor(Qt::black), 40));
    EXPECT_FALSE(containsColor(shot, captions2, QColor(0, 0, 255), 40));
    EXPECT_EQ(shot.pixelColor((view->rectForPicture(2).topLeft() - QPointF(3, 3)).toPoint()), QColor(255, 255, 120));

    // A long caption is cut short inside its own cell.
    const QRectF fourth = view->rectForPicture(3);
    const QRect besideLong(int(fourth.right()) + 1, int(fourth.top()) + 204, 9, JPThumbnailView::textHeight());
    EXPECT_FALSE(containsColor(shot, besideLong, QColor(0, 0, 255), 80));

    // On a dark fill the captions take the highlighted-text colour.
    palette.setColor(QPalette::Highlight, QColor(20, 20, 90));
    palette.setColor(QPalette::HighlightedText, QColor(255, 255, 0));
    view->setPalette(palette);
    const QImage darkFill = view->grab().toImage();
    EXPECT_TRUE(containsColor(darkFill, captions2, QColor(255, 255, 0), 40));
}

}
