#include "app/jp_thumbnail_view.h"

#include "imaging/image_geometry.h"
#include "imaging/kolor.h"
#include "play/cc_popover_base_vc.h"
#include "support/cc_kernel.h"
#include "support/cc_notifier.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

struct CaptionMetrics
{
    QFont font;
    int textHeight = 0;
};

std::optional<CaptionMetrics> captionMetrics;

const CaptionMetrics &sharedCaptionMetrics()
{
    if (!captionMetrics) {
        CaptionMetrics made;
        made.font = CCKernel::sharedInstance()->systemFont();
        made.textHeight = QFontMetrics(made.font).height() - 1;
        captionMetrics = made;
    }
    return *captionMetrics;
}

constexpr double kSelectedOpacity = 0.9;
constexpr double kMessagePointSize = 24;
// Gap between the picture and the first caption line, and between the two lines.
constexpr int kCaptionGap = 4;

double luminance(const QColor &color)
{
    return 0.3 * color.redF() + 0.59 * color.greenF() + 0.11 * color.blueF();
}

}

JPThumbnailView::JPThumbnailView(QWidget *parent)
    : CCPictureCollection(parent)
{
    sharedCaptionMetrics();
    connect(CCNotifier::sharedInstance(), &CCNotifier::posted, this, [this](const QString &name) {
        if (name == QLatin1String(kReloadNotification))
            delayedReload();
    });
}

QFont JPThumbnailView::captionFont()
{
    return sharedCaptionMetrics().font;
}

int JPThumbnailView::textHeight()
{
    return sharedCaptionMetrics().textHeight;
}

GridSize JPThumbnailView::gridSize() const
{
    const double cellHeight = 2 * (textHeight() + kCaptionGap) + kPictureSide + 1;
    return gridSizeFor(width() / kColumnWidth, cellHeight);
}

void JPThumbnailView::reloadData()
{
    CCPictureCollection::reloadData();
    if (!inLiveResize())
        tellSelectionChanged();
}

void JPThumbnailView::selectIndexes(const QList<int> &indexes)
{
    CCPictureCollection::selectIndexes(indexes);
    tellSelectionChanged();
}

void JPThumbnailView::delayedReload()
{
    reloadData();
}

QString JPThumbnailView::emptyMessage() const
{
    if (pictureCount() > 0)
        return {};
    auto *self = const_cast<JPThumbnailView *>(this);
    if (delegate() && delegate()->pictureCollectionLoadingWebsiteInfo(self))
        return QStringLiteral("Waiting for Wrenmoor Website\u2026");
    return QStringLiteral("No Available Puzzles");
}

void JPThumbnailView::keyPressEvent(QKeyEvent *event)
{
    CCPopoverBaseVC::closePopovers();
    CCPictureCollection::keyPressEvent(event);
}

void JPThumbnailView::paintEvent(QPaintEvent *event)
{
    const bool dark = isDarkMode();
    const QRectF dirty = event->rect();
    QPainter painter(this);
    painter.fillRect(dirty, dark ? palette().color(QPalette::Base) : GrayColor(1));
    const int count = pictureCount();
    if (count == 0) {
        drawEmptyMessage(painter, emptyMessage());
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const GridSize grid = gridSize();
    const double cellWidth = grid.cellSize.width();
    const double cellHeight = grid.cellSize.height();
    const double rowStep = cellHeight + kGap;
    // Separators are one pixel high, filling the row of pixels a half-point line would cover.
    QList<QRectF> separators;
    for (int row = std::max(0, int(std::floor(dirty.top() / rowStep))); row * grid.columns < count; ++row) {
        const double y = row * rowStep;
        if (y >= dirty.bottom())
            break;
        const double separator = y + cellHeight + kGap - 1;
        if (separator >= dirty.top() && separator < dirty.bottom())
            separators.append(QRectF(0, separator, width(), 1));
        for (int column = 0; column < grid.columns && row * grid.columns + column < count; ++column) {
            const QRectF area(column * (cellWidth + kGap), y, cellWidth + kGap, cellHeight + kGap - 1);
            if (area.intersects(dirty))
                drawImage(painter, row * grid.columns + column, area);
        }
    }
    const QColor line = dark ? GrayColor(5) : GrayColor(2);
    for (const QRectF &separator : separators)
        painter.fillRect(separator, line);
}

void JPThumbnailView::drawEmptyMessage(QPainter &painter, const QString &message)
{
    QFont font = CCKernel::sharedInstance()->systemFont();
    font.setPointSizeF(kMessagePointSize);
    const QFontMetricsF metrics(font);
    const double x = std::floor((width() - metrics.horizontalAdvance(message)) / 2);
    const double y = std::floor((height() - metrics.height()) / 2);
    painter.setFont(font);
    painter.setPen(isDarkMode() ? GrayColor(5) : GrayColor(3));
    painter.drawText(QPointF(x, y + metrics.ascent()), message);
}

void JPThumbnailView::drawImage(QPainter &painter, int index, const QRectF &area)
{
    const bool selected = isSelected(index);
    QColor textColor = palette().color(QPalette::Text);
    if (selected) {
        const QColor fill = palette().color(QPalette::Active, QPalette::Highlight);
        painter.fillRect(area, fill);
        // On a dark fill the palette's own highlighted-text colour keeps captions readable.
        textColor =
            luminance(fill) >= 0.5 ? GrayColor(7) : palette().color(QPalette::Active, QPalette::HighlightedText);
    }
    const QImage picture = delegate() ? delegate()->pictureCollection(this, index) : QImage();
    if (picture.isNull())
        return;
    const int lineHeight = textHeight();
    const QRectF frame = area.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QRectF pictureArea(frame.x(), frame.y(), frame.width(), frame.height() - 2 * (lineHeight + kCaptionGap));
    QRectF pictureRect(QPointF(), picture.size());
    CenterRectangle(pictureRect, pictureArea);
    painter.setOpacity(selected ? kSelectedOpacity : 1.0);
    painter.drawImage(pictureRect, picture);
    painter.setOpacity(1.0);

    const QFont font = captionFont();
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(textColor);
    QRectF line(frame.x(), pictureArea.bottom() + kCaptionGap, frame.width(), lineHeight);
    for (int labelIndex = 0; labelIndex < 2; ++labelIndex) {
        const QString label = delegate()->pictureCollection(this, index, labelIndex);
        if (!label.isEmpty()) {
            const QString shown = metrics.elidedText(label, Qt::ElideRight, line.width());
            painter.drawText(line, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, shown);
        }
        line.translate(0, lineHeight + kCaptionGap);
    }
}
