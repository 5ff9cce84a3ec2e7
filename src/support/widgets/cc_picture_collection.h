#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QWidget>

class CCPictureCollection;
class QScrollArea;

// The data source of a picture grid. Only the first two are required. A delegate that overrides
// one pictureCollection overload adds `using CCPictureCollectionDelegate::pictureCollection;`
// so the other stays visible.
class CCPictureCollectionDelegate
{
public:
    virtual ~CCPictureCollectionDelegate() = default;
    virtual int numberOfPicturesInCollection(CCPictureCollection *collection) = 0;
    // A null image leaves the cell without a picture.
    virtual QImage pictureCollection(CCPictureCollection *collection, int index) = 0;
    // Caption line labelIndex (0 or 1) under a picture; empty for none.
    virtual QString pictureCollection(CCPictureCollection * /*collection*/, int /*index*/, int /*labelIndex*/)
    {
        return {};
    }
    virtual void pictureCollectionSelectionChanged(CCPictureCollection * /*collection*/) { }
    // Told on a double click while something is selected.
    virtual void pictureCollectionDoubleClick(CCPictureCollection * /*collection*/) { }
    // Side of the square picture area of the generic grid.
    virtual int pictureCollectionImageSize(CCPictureCollection * /*collection*/) { return 120; }
    virtual bool pictureCollectionAllowsMultipleSelection(CCPictureCollection * /*collection*/) { return false; }
    // A grid that takes new pictures keeps an empty cell after the last one.
    virtual bool pictureCollectionRequireEmptyLastCell(CCPictureCollection * /*collection*/) { return false; }
    // JPThumbnailView shows "Waiting for Wrenmoor Website…" instead of "No Available Puzzles" while true.
    virtual bool pictureCollectionLoadingWebsiteInfo(CCPictureCollection * /*collection*/) { return false; }
};

struct GridSize
{
    int columns = 1;
    int rows = 0;
    QSizeF cellSize;
    bool operator==(const GridSize &) const = default;
};

// A scrolling grid of picture cells fed by a delegate: layout, selection by mouse and keyboard,
// scrolling. Cells are laid out row by row from the top left with 10-point gaps; the view's
// width follows the scroll area it lives in. scrollView() is a child of the parent given and
// owns the grid. Main thread only; the delegate is not owned and must outlive the grid or be
// reset first.
class CCPictureCollection : public QWidget
{
    Q_OBJECT

public:
    explicit CCPictureCollection(QWidget *parent = nullptr);

    // The scroll area holding the grid; put this in layouts.
    QScrollArea *scrollView() const { return m_scrollView; }
    CCPictureCollectionDelegate *delegate() const { return m_delegate; }
    void setDelegate(CCPictureCollectionDelegate *delegate);

    // Resizes the view to its content and, outside a resize, selects cell 0 again.
    virtual void reloadData();
    // Sorted copy.
    QList<int> selectedIndexes() const;
    bool isSelected(int index) const { return m_selection.contains(index); }
    // The whole list when multiple selection is allowed, otherwise only its smallest index;
    // an empty list selects cell 0. Scrolls the selection into view.
    virtual void selectIndexes(const QList<int> &indexes);
    // Replaces the selection, scrolls it into view and tells the delegate.
    void selectIndex(int index);
    // Adds every cell from one index to another; a plain selectIndex(to) without multiple selection.
    void extendSelection(int from, int to);
    void ensureSelectionVisible();

    // -1 for a point under no cell; a point in the gap right of the last column counts as that column.
    int indexForPoint(QPointF point) const;
    QRectF rectForPicture(int index) const;
    virtual GridSize gridSize() const;
    // The scroll area's width less its frame and vertical scroller.
    int usableWidth() const;
    int pictureCount() const;
    // The part of the view shown by the scroll area, in view coordinates.
    QRect visibleArea() const;

    // The standard move commands; the AndModifySelection forms extend a multiple selection.
    void moveLeft(bool modifySelection = false);
    void moveRight(bool modifySelection = false);
    void moveUp(bool modifySelection = false);
    void moveDown(bool modifySelection = false);
    void moveToBeginningOfDocument(bool modifySelection = false);
    void moveToEndOfDocument(bool modifySelection = false);
    void scrollPageUp();
    void scrollPageDown();

protected:
    // Space between cells, and half of it around the grid.
    static constexpr int kGap = 10;
    static constexpr int kMargin = 5;

    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

    // True while the view follows a resize of its scroll area: the selection stays.
    bool inLiveResize() const { return m_liveResize; }
    // Columns and cell width for a given number of columns, shared by the subclass layouts.
    GridSize gridSizeFor(int columns, double cellHeight) const;
    // Decided by the lightness of the palette's window colour.
    bool isDarkMode() const;
    void tellSelectionChanged();

private:
    void handleClick(int index, Qt::KeyboardModifiers modifiers);
    // Selects target, or only scrolls when that would leave a single selection unchanged.
    void moveTo(int target, bool modifySelection);
    void refreshDelegateFlags();
    void scrollToY(int y);
    int visibleHeight() const;
    double rowHeight() const;

    CCPictureCollectionDelegate *m_delegate = nullptr;
    QScrollArea *m_scrollView = nullptr;
    QList<int> m_selection;
    int m_firstClick = -1;
    // Where Shift-arrows extend a multiple selection from; -1 when unset.
    int m_anchor = -1;
    bool m_clickOnSelected = false;
    bool m_plainClick = false;
    bool m_allowMultiple = false;
    bool m_requireEmptyLastCell = false;
    bool m_liveResize = false;
};
