#include "support/widgets/cc_picture_collection.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

// The grey palette's white and middle grey: the grid's background in light and dark mode.
const QColor kLightBackground(255, 255, 255);
const QColor kDarkBackground(128, 128, 128);
constexpr double kSelectedOpacity = 0.9;

// The largest rectangle of the picture's proportions inside box, centred.
QRectF fitted(const QSizeF &picture, const QRectF &box)
{
    if (picture.isEmpty() || box.isEmpty())
        return {};
    const double scale = std::min(box.width() / picture.width(), box.height() / picture.height());
    const QSizeF size = picture * scale;
    return QRectF(box.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void insertSorted(QList<int> &list, int value)
{
    const auto at = std::lower_bound(list.begin(), list.end(), value);
    if (at == list.end() || *at != value)
        list.insert(at, value);
}

}

CCPictureCollection::CCPictureCollection(QWidget *parent)
    : m_scrollView(new QScrollArea(parent))
{
    m_scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->setWidgetResizable(false);
    m_scrollView->setFocusProxy(this);
    m_scrollView->setWidget(this);
    m_scrollView->installEventFilter(this);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CCPictureCollection::setDelegate(CCPictureCollectionDelegate *delegate)
{
    m_delegate = delegate;
    refreshDelegateFlags();
}

void CCPictureCollection::refreshDelegateFlags()
{
    m_allowMultiple = m_delegate && m_delegate->pictureCollectionAllowsMultipleSelection(this);
    m_requireEmptyLastCell = m_delegate && m_delegate->pictureCollectionRequireEmptyLastCell(this);
}

int CCPictureCollection::pictureCount() const
{
    return m_delegate ? std::max(0, m_delegate->numberOfPicturesInCollection(const_cast<CCPictureCollection *>(this)))
                      : 0;
}

int CCPictureCollection::usableWidth() const
{
    const int scroller = m_scrollView->verticalScrollBar()->sizeHint().width();
    return std::max(0, m_scrollView->width() - 2 * m_scrollView->frameWidth() - scroller);
}

int CCPictureCollection::visibleHeight() const
{
    return std::max(0, m_scrollView->height() - 2 * m_scrollView->frameWidth());
}

QRect CCPictureCollection::visibleArea() const
{
    return QRect(0, m_scrollView->verticalScrollBar()->value(), usableWidth(), visibleHeight());
}

GridSize CCPictureCollection::gridSizeFor(int columns, double cellHeight) const
{
    const int count = pictureCount();
    GridSize grid;
    grid.columns = std::max(1, columns);
    grid.rows = (count + grid.columns - 1) / grid.columns;
    if (m_requireEmptyLastCell && count % grid.columns == 0)
        ++grid.rows;
    const double cellWidth = std::floor(double(width() - kGap * grid.columns) / grid.columns);
    grid.cellSize = QSizeF(std::max(0.0, cellWidth), cellHeight);
    return grid;
}

GridSize CCPictureCollection::gridSize() const
{
    int side = 120;
    if (m_delegate)
        side = std::max(1, m_delegate->pictureCollectionImageSize(const_cast<CCPictureCollection *>(this)));
    return gridSizeFor(usableWidth() / (side + kGap), side);
}

double CCPictureCollection::rowHeight() const
{
    return gridSize().cellSize.height() + kGap;
}

QRectF CCPictureCollection::rectForPicture(int index) const
{
    if (index < 0)
        return {};
    const GridSize grid = gridSize();
    const int column = index % grid.columns;
    const int row = index / grid.columns;
    const QSizeF cell = grid.cellSize;
    return QRectF(kMargin + column * (cell.width() + kGap), kMargin + row * (cell.height() + kGap), cell.width(),
                  cell.height());
}

int CCPictureCollection::indexForPoint(QPointF point) const
{
    if (!(point.x() >= 0 && point.y() >= 0))
        return -1;
    const GridSize grid = gridSize();
    const double row = std::floor(point.y() / (grid.cellSize.height() + kGap));
    const double column = std::min(std::floor(point.x() / (grid.cellSize.width() + kGap)), double(grid.columns - 1));
    const double index = row * grid.columns + column;
    return index < pictureCount() ? int(index) : -1;
}

void CCPictureCollection::reloadData()
{
    refreshDelegateFlags();
    const int viewWidth = usableWidth();
    // The layout reads the view's width, so it is set before the height is worked out.
    resize(viewWidth, height());
    const GridSize grid = gridSize();
    const double content = (grid.cellSize.height() + kGap) * grid.rows + 1;
    resize(viewWidth, std::max(visibleHeight(), int(std::ceil(content))));
    update();
    const int count = pictureCount();
    if (m_liveResize) {
        m_selection.erase(std::remove_if(m_selection.begin(), m_selection.end(), [count](int i) { return i >= count; }),
                          m_selection.end());
        return;
    }
    m_selection.clear();
    m_anchor = -1;
    if (count > 0) {
        m_selection.append(0);
        ensureSelectionVisible();
    }
}

QList<int> CCPictureCollection::selectedIndexes() const
{
    return m_selection;
}

void CCPictureCollection::selectIndexes(const QList<int> &indexes)
{
    const int count = pictureCount();
    QList<int> chosen;
    for (int index : indexes)
        if (index >= 0 && index < count)
            insertSorted(chosen, index);
    if (!m_allowMultiple && chosen.size() > 1)
        chosen.resize(1);
    if (chosen.isEmpty() && count > 0)
        chosen.append(0);
    m_selection = chosen;
    m_anchor = chosen.isEmpty() ? -1 : chosen.first();
    ensureSelectionVisible();
    update();
}

void CCPictureCollection::selectIndex(int index)
{
    if (index < 0 || index >= pictureCount())
        return;
    m_selection = {index};
    m_anchor = index;
    ensureSelectionVisible();
    update();
    tellSelectionChanged();
}

void CCPictureCollection::extendSelection(int from, int to)
{
    if (!m_allowMultiple) {
        selectIndex(to);
        return;
    }
    const int count = pictureCount();
    if (count == 0)
        return;
    from = std::clamp(from, 0, count - 1);
    to = std::clamp(to, 0, count - 1);
    for (int i = std::min(from, to); i <= std::max(from, to); ++i)
        insertSorted(m_selection, i);
    m_anchor = from;
    ensureSelectionVisible();
    update();
    tellSelectionChanged();
}

void CCPictureCollection::ensureSelectionVisible()
{
    if (m_selection.isEmpty())
        return;
    const QRectF visible = visibleArea();
    for (int index : m_selection)
        if (visible.contains(rectForPicture(index)))
            return;
    const QRectF cell = rectForPicture(m_selection.first()).adjusted(-kMargin, -kMargin, kMargin, kMargin);
    const int screen = visibleHeight();
    if (cell.bottom() <= screen) {
        scrollToY(0);
        return;
    }
    const double row = rowHeight();
    const int cellsAbove = std::max(0, (int(screen / row) - 1) / 2);
    const double top = cell.top() - cellsAbove * row;
    scrollToY(int(std::clamp(top, 0.0, double(std::max(0, height() - screen)))));
}

void CCPictureCollection::scrollToY(int y)
{
    m_scrollView->verticalScrollBar()->setValue(y);
}

void CCPictureCollection::tellSelectionChanged()
{
    if (m_delegate)
        m_delegate->pictureCollectionSelectionChanged(this);
}

bool CCPictureCollection::isDarkMode() const
{
    return palette().color(QPalette::Window).lightness() < 128;
}

bool CCPictureCollection::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scrollView && event->type() == QEvent::Resize) {
        m_liveResize = true;
        reloadData();
        m_liveResize = false;
    }
    return QWidget::eventFilter(watched, event);
}

void CCPictureCollection::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), isDarkMode() ? kDarkBackground : kLightBackground);
    if (!m_delegate)
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF dirty = event->rect();
    const GridSize grid = gridSize();
    const int count = pictureCount();
    const int firstRow = std::max(0, int(std::floor(dirty.top() / (grid.cellSize.height() + kGap))));
    for (int index = firstRow * grid.columns; index < count; ++index) {
        const QRectF cell = rectForPicture(index);
        if (cell.top() - kMargin >= dirty.bottom())
            break;
        QRectF area = cell;
        // The last column takes the leftover width so the selection reaches the edge.
        if (index % grid.columns == grid.columns - 1)
            area.setRight(width() - kMargin);
        area.adjust(-kMargin, -kMargin, kMargin, kMargin);
        if (!area.intersects(dirty))
            continue;
        const bool selected = isSelected(index);
        if (selected)
            painter.fillRect(area, palette().color(QPalette::Active, QPalette::Highlight));
        const QImage picture = m_delegate->pictureCollection(this, index);
        if (picture.isNull())
            continue;
        painter.setOpacity(selected ? kSelectedOpacity : 1.0);
        painter.drawImage(fitted(picture.size(), cell), picture);
        painter.setOpacity(1.0);
    }
}

void CCPictureCollection::handleClick(int index, Qt::KeyboardModifiers modifiers)
{
    m_firstClick = index;
    m_clickOnSelected = false;
    m_plainClick = false;
    if (index < 0) {
        m_anchor = -1;
        return;
    }
    if (modifiers & Qt::ControlModifier) {
        if (!isSelected(index)) {
            if (!m_allowMultiple)
                m_selection.clear();
            insertSorted(m_selection, index);
        } else if (m_selection.size() > 1) {
            m_selection.removeOne(index);
        }
        m_anchor = index;
    } else if ((modifiers & Qt::ShiftModifier) && m_allowMultiple && !m_selection.isEmpty()) {
        const int from = index < m_selection.first() ? m_selection.first() : m_selection.last();
        for (int i = std::min(from, index); i <= std::max(from, index); ++i)
            insertSorted(m_selection, i);
        m_anchor = from;
    } else {
        m_plainClick = true;
        m_clickOnSelected = isSelected(index);
        if (!m_clickOnSelected)
            m_selection = {index};
        m_anchor = index;
    }
    update();
}

void CCPictureCollection::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    handleClick(indexForPoint(event->position()), event->modifiers());
}

void CCPictureCollection::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    handleClick(indexForPoint(event->position()), event->modifiers());
    if (!m_selection.isEmpty() && m_delegate)
        m_delegate->pictureCollectionDoubleClick(this);
}

void CCPictureCollection::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (m_firstClick < 0)
        return;
    if (m_plainClick && m_clickOnSelected && m_selection.size() > 1) {
        m_selection = {m_firstClick};
        update();
    }
    m_firstClick = -1;
    tellSelectionChanged();
}

void CCPictureCollection::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool control = modifiers & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Left:
        moveLeft(shift);
        break;
    case Qt::Key_Right:
        moveRight(shift);
        break;
    case Qt::Key_Up:
        if (control)
            moveToBeginningOfDocument(shift);
        else
            moveUp(shift);
        break;
    case Qt::Key_Down:
        if (control)
            moveToEndOfDocument(shift);
        else
            moveDown(shift);
        break;
    case Qt::Key_Home:
        moveToBeginningOfDocument(shift);
        break;
    case Qt::Key_End:
        moveToEndOfDocument(shift);
        break;
    case Qt::Key_PageUp:
        scrollPageUp();
        break;
    case Qt::Key_PageDown:
        scrollPageDown();
        break;
    default:
        // Return, Enter and Escape go on to the dialog's default and cancel buttons.
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CCPictureCollection::moveTo(int target, bool modifySelection)
{
    if (modifySelection && m_allowMultiple) {
        int from = m_anchor;
        if (from < 0)
            from = m_selection.isEmpty()       ? target
                : target < m_selection.first() ? m_selection.first()
                                               : m_selection.last();
        extendSelection(from, target);
        return;
    }
    if (m_selection.size() == 1 && m_selection.first() == target)
        ensureSelectionVisible();
    else
        selectIndex(target);
}

void CCPictureCollection::moveLeft(bool modifySelection)
{
    if (pictureCount() == 0)
        return;
    const int target = m_selection.isEmpty() ? 0 : std::max(0, m_selection.first() - 1);
    moveTo(target, modifySelection);
}

void CCPictureCollection::moveRight(bool modifySelection)
{
    const int count = pictureCount();
    if (count == 0)
        return;
    const int target = m_selection.isEmpty() ? count - 1 : std::min(count - 1, m_selection.last() + 1);
    moveTo(target, modifySelection);
}

void CCPictureCollection::moveUp(bool modifySelection)
{
    if (pictureCount() == 0)
        return;
    const int target = m_selection.isEmpty() ? 0 : std::max(0, m_selection.first() - gridSize().columns);
    moveTo(target, modifySelection);
}

void CCPictureCollection::moveDown(bool modifySelection)
{
    const int count = pictureCount();
    if (count == 0)
        return;
    int target = count - 1;
    if (!m_selection.isEmpty()) {
        const int columns = gridSize().columns;
        const int last = m_selection.last();
        // On the last row the selection stays; from the row above a short last row it
        // stops at the last cell.
        target = last / columns == (count - 1) / columns ? last : std::min(count - 1, last + columns);
    }
    moveTo(target, modifySelection);
}

void CCPictureCollection::moveToBeginningOfDocument(bool modifySelection)
{
    if (pictureCount() > 0)
        moveTo(0, modifySelection);
}

void CCPictureCollection::moveToEndOfDocument(bool modifySelection)
{
    const int count = pictureCount();
    if (count > 0)
        moveTo(count - 1, modifySelection);
}

void CCPictureCollection::scrollPageUp()
{
    const int rows = std::max(1, int(visibleHeight() / rowHeight()));
    scrollToY(m_scrollView->verticalScrollBar()->value() - int(rows * rowHeight()));
}

void CCPictureCollection::scrollPageDown()
{
    const int rows = std::max(1, int(visibleHeight() / rowHeight()));
    scrollToY(m_scrollView->verticalScrollBar()->value() + int(rows * rowHeight()));
}
