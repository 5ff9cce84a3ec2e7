#include "play/jp_board_renderer.h"

#include "imaging/cc_image.h"
#include "imaging/textures.h"
#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_style.h"
#include "play/jp_board_input.h"
#include "play/jp_pref_controller.h"
#include "support/paths.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {

// A picture made in part covers this much more than the view, so panning and dragging
// don't remake it at every step.
constexpr double kPartialMargin = 256.0;

const QColor &fillColor()
{
    static const QColor color = QColor::fromRgbF(0.4823529411764706f, 0.6235294117647059f, 1.0f, 0.3f);
    return color;
}

const QColor &frameColor()
{
    static const QColor color = QColor::fromRgbF(0.14901960784313725f, 0.14901960784313725f, 1.0f, 0.3f);
    return color;
}

QTransform turnAbout(QPointF centre, uint64_t quarters)
{
    QTransform turn;
    turn.translate(centre.x(), centre.y());
    turn.rotate(double(quarters) * 90.0);
    turn.translate(-centre.x(), -centre.y());
    return turn;
}

uint64_t shownRotation(const JPPiece *item)
{
    return (!item->isAssembly() && item->puzzle()->rotate()) ? (item->rotation() & 3) : 0;
}

// Strokes the item's outlines (every member's for an assembly, the piece's turned as shown),
// mapped by toView. Above zoom 1 the pens keep their width in view pixels.
void strokeOutlines(QPainter &painter, JPPiece *item, bool selected, const JPViewTransform &view)
{
    const bool cosmetic = !view.showsWholeBoard();
    const auto pen = [cosmetic](const QColor &color, double width) {
        QPen result(color, width);
        result.setCosmetic(cosmetic);
        return result;
    };
    const auto stroke = [&](const QPainterPath &outline) {
        if (selected) {
            painter.strokePath(outline, pen(QColor(Qt::yellow), 6.0));
            painter.strokePath(outline, pen(GrayColor(7), 2.0));
        } else {
            painter.strokePath(outline, pen(OutlineColor(), 1.0));
        }
    };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    const QTransform toView = cosmetic ? view.boardToView() : QTransform();
    if (item->isAssembly()) {
        auto *assembly = static_cast<JPAssembly *>(item);
        painter.setTransform(toView, true);
        for (JPPiece *member : assembly->pieces())
            stroke(member->outlineInEnclosingRect(assembly->rectForPiece(member)));
    } else {
        const QPointF centre = item->boardLocation();
        painter.setTransform(turnAbout(centre, shownRotation(item)) * toView, true);
        stroke(item->outlineInEnclosingRect(item->enclosingRect(centre, false)));
    }
    painter.restore();
}

// Where the item's image goes on the board, unturned; empty without one.
QRectF boardTarget(JPPiece *item)
{
    if (item->isAssembly())
        return static_cast<JPAssembly *>(item)->compositeRect();
    return item->imageRectInEnclosingRect(item->enclosingRect(item->boardLocation(), false));
}

// The part of `full` within `wanted`, widened to whole pixels of full's grid.
QRectF partOnGrid(const QRectF &full, const QRectF &wanted)
{
    const QRectF part = full & wanted;
    if (part.isEmpty())
        return QRectF();
    const double left = full.left() + std::floor(part.left() - full.left());
    const double top = full.top() + std::floor(part.top() - full.top());
    const double right = full.left() + std::ceil(part.right() - full.left());
    const double bottom = full.top() + std::ceil(part.bottom() - full.top());
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// The visible part of the board in the space of picture places (board units x zoom).
QRectF zoomedVisible(const JPViewTransform &view)
{
    return QRectF(view.origin() * view.zoom(), view.boardSize());
}

// How far the item has moved since its picture was made, in the picture's space.
QPointF movedSince(const JPItemPicture &picture, const JPPiece *item, double zoom)
{
    return (item->boardLocation() - picture.anchor) * zoom;
}

}

JPItemPicture MakeItemPicture(JPPiece *item, double zoom, const QRectF &wanted)
{
    JPItemPicture picture;
    const std::shared_ptr<const CCImage> image = item->sharedImage();
    if (item->isAssembly())
        picture.revision = static_cast<const JPAssembly *>(item)->compositeRevision();
    else
        picture.source = image;
    picture.scale = item->puzzle()->scale();
    picture.rotation = shownRotation(item);
    picture.anchor = item->boardLocation();
    if (!image || image->qimage().isNull())
        return picture;
    const QImage &source = image->qimage();
    const QRectF target = boardTarget(item);
    if (target.isEmpty())
        return picture;
    const QRectF zoomed(target.topLeft() * zoom, target.size() * zoom);
    const QSize pixels(std::max(1, int(std::lround(zoomed.width()))), std::max(1, int(std::lround(zoomed.height()))));
    const QTransform turn = turnAbout(picture.anchor * zoom, picture.rotation);
    picture.full = picture.rotation != 0 ? turn.mapRect(zoomed) : zoomed;
    if (wanted.isEmpty() || qsizetype(pixels.width()) * pixels.height() <= JPBoardRenderer::kWholePictureLimit) {
        QImage scaled = source.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (picture.rotation != 0)
            scaled = scaled.transformed(QTransform().rotate(double(picture.rotation) * 90.0));
        picture.scaled = scaled.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        picture.target = picture.full;
        return picture;
    }
    // Only the part in view: the image is sampled straight into it, so the cost and the
    // memory follow the view's size, not the picture's.
    picture.target = partOnGrid(picture.full, wanted);
    if (picture.target.isEmpty())
        return picture;
    picture.scaled = QImage(picture.target.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    if (picture.scaled.isNull())
        return picture;
    picture.scaled.fill(Qt::transparent);
    QPainter painter(&picture.scaled);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    QTransform place = QTransform::fromScale(zoomed.width() / source.width(), zoomed.height() / source.height());
    place *= QTransform::fromTranslate(zoomed.left(), zoomed.top());
    if (picture.rotation != 0)
        place *= turn;
    place *= QTransform::fromTranslate(-picture.target.left(), -picture.target.top());
    painter.setTransform(place);
    painter.drawImage(QPointF(0, 0), source);
    return picture;
}

JPBoardLook JPBoardLook::fromPreferences()
{
    const JPPrefController *prefs = JPPrefController::sharedInstance();
    return JPBoardLook{prefs->useColor(), prefs->textureIndex(), prefs->backgroundColor()};
}

QImage JPBoardRenderer::loadLinkImage()
{
    const QString path = ResourcePath(QStringLiteral("tools/Link.png"));
    return path.isEmpty() ? QImage() : QImage(path);
}

void JPBoardRenderer::clearCache()
{
    m_cache = PictureCache();
    m_composites.clear();
    m_zoomCaches.clear();
}

qsizetype JPBoardRenderer::zoomedBytes() const
{
    qsizetype bytes = 0;
    for (const PictureCache &cache : m_zoomCaches)
        bytes += cache.bytes;
    return bytes;
}

void JPBoardRenderer::draw(QPainter &painter, const QRectF &dirty, JPBoardController &board, const JPBoardLook &look,
                           const JPViewTransform &view)
{
    ++m_frame;
    drawBackground(painter, dirty, look, view);
    JPPuzzle *puzzle = board.puzzle();
    if (!puzzle)
        return;
    board.ensureLayout();
    if (board.dragType() == JPBoardController::DragTypeRect && !board.dragRect().isEmpty()) {
        const QRectF frame = view.toView(board.dragRect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.fillRect(frame, fillColor());
        painter.setPen(frameColor());
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame);
    }
    PictureCache &cache = view.showsWholeBoard() ? m_cache : zoomCache(view.zoom());
    const QRectF boardDirty = view.toBoard(dirty);
    const std::vector<JPPiece *> &selection = puzzle->selection();
    for (JPPiece *item : puzzle->pieces()) {
        const QRectF rect = JPBoardController::itemRect(item);
        // Turned pieces and outline strokes reach past the rectangle.
        const QRectF reach = rect.adjusted(-JPBoardController::kRedrawMargin, -JPBoardController::kRedrawMargin,
                                           JPBoardController::kRedrawMargin, JPBoardController::kRedrawMargin);
        if (!reach.intersects(boardDirty))
            continue;
        const bool selected = std::find(selection.begin(), selection.end(), item) != selection.end();
        drawItem(painter, item, selected, puzzle->edgesOnly() && !item->isEdge(), view, cache);
    }
    if (board.linkingPiece() && !m_linkImage.isNull()) {
        // The badge keeps its size in view pixels at every zoom.
        QRectF badge = board.linkRect();
        if (!view.showsWholeBoard())
            badge.moveCenter(view.toView(badge.center()));
        painter.drawImage(badge, m_linkImage);
    }
    if (view.showsWholeBoard()) {
        pruneCache(m_cache, puzzle->pieces());
        pruneComposites(puzzle->pieces());
    } else
        trimZoomCache(cache, puzzle->pieces(), view);
}

void JPBoardRenderer::drawBackground(QPainter &painter, const QRectF &dirty, const JPBoardLook &look,
                                     const JPViewTransform &view) const
{
    const QImage texture = look.useColor ? QImage() : TextureImage(look.textureIndex);
    if (texture.isNull()) {
        painter.fillRect(dirty, look.backgroundColor.isValid() ? look.backgroundColor : QColor(209, 209, 209));
        return;
    }
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const int tw = texture.width();
    const int th = texture.height();
    // Tiles are anchored at the board's origin, so the felt moves with the board when it is
    // panned; they keep their own size at every zoom. Only those that meet the dirty area are drawn.
    const QPoint anchor = view.toView(QPointF(0, 0)).toPoint();
    const int firstColumn = std::max(0, int(std::floor((dirty.left() - anchor.x()) / tw)));
    const int firstRow = std::max(0, int(std::floor((dirty.top() - anchor.y()) / th)));
    for (int y = anchor.y() + firstRow * th; y < dirty.bottom(); y += th)
        for (int x = anchor.x() + firstColumn * tw; x < dirty.right(); x += tw)
            painter.drawImage(QPoint(x, y), texture);
    painter.restore();
}

JPBoardRenderer::PictureCache &JPBoardRenderer::zoomCache(double zoom)
{
    auto found = std::find_if(m_zoomCaches.begin(), m_zoomCaches.end(),
                              [zoom](const PictureCache &cache) { return cache.zoom == zoom; });
    if (found == m_zoomCaches.end()) {
        if (m_zoomCaches.size() >= kZoomLevelsKept) {
            const auto older = [](const PictureCache &a, const PictureCache &b) { return a.lastUse < b.lastUse; };
            auto oldest = std::min_element(m_zoomCaches.begin(), m_zoomCaches.end(), older);
            m_zoomCaches.erase(oldest);
        }
        m_zoomCaches.emplace_back();
        m_zoomCaches.back().zoom = zoom;
        found = m_zoomCaches.end() - 1;
    }
    found->lastUse = m_frame;
    return *found;
}

const JPItemPicture *JPBoardRenderer::cachedPicture(PictureCache &cache, JPPiece *item, const JPViewTransform &view)
{
    const std::shared_ptr<const CCImage> source = item->sharedImage();
    if (!source || source->qimage().isNull())
        return nullptr;
    JPItemPicture &entry = cache.pictures[item];
    const bool sameImage = item->isAssembly()
        ? entry.revision == static_cast<const JPAssembly *>(item)->compositeRevision()
        : entry.source == source;
    bool current = sameImage && entry.scale == item->puzzle()->scale() && entry.rotation == shownRotation(item);
    if (current && entry.target != entry.full) {
        const QRectF needed = zoomedVisible(view).translated(-movedSince(entry, item, view.zoom())) & entry.full;
        current = needed.isEmpty() || entry.target.contains(needed);
    }
    if (!current) {
        const QRectF wanted = view.showsWholeBoard()
            ? QRectF()
            : zoomedVisible(view).adjusted(-kPartialMargin, -kPartialMargin, kPartialMargin, kPartialMargin);
        cache.bytes -= entry.scaled.sizeInBytes();
        entry = MakeItemPicture(item, view.zoom(), wanted);
        cache.bytes += entry.scaled.sizeInBytes();
    }
    return entry.scaled.isNull() ? nullptr : &entry;
}

void JPBoardRenderer::drawItem(QPainter &painter, JPPiece *item, bool selected, bool dimmed,
                               const JPViewTransform &view, PictureCache &cache)
{
    if (dimmed) {
        if (view.showsWholeBoard())
            item->drawSelected(painter, selected, true);
        else
            strokeOutlines(painter, item, selected, view);
        return;
    }
    if (item->isAssembly() && view.showsWholeBoard()) {
        ScaledComposite &copy = m_composites[item];
        if (UpdateScaledComposite(copy, *static_cast<JPAssembly *>(item), item->puzzle()->scale()))
            painter.drawImage(copy.topLeft(item->boardLocation()), copy.scaled);
    } else if (const JPItemPicture *picture = cachedPicture(cache, item, view)) {
        const double zoom = view.zoom();
        // At zoom 1 this is exactly the picture's place plus the distance moved.
        painter.drawImage(picture->target.topLeft() + movedSince(*picture, item, zoom) - view.origin() * zoom,
                          picture->scaled);
    }
    if (selected)
        strokeOutlines(painter, item, true, view);
}

void JPBoardRenderer::pruneCache(PictureCache &cache, const std::vector<JPPiece *> &items)
{
    // Items leave the board when they join; their pictures go once the cache holds twice
    // as many entries as there are items.
    if (cache.pictures.size() <= 2 * items.size() + 16)
        return;
    const std::unordered_set<const JPPiece *> onBoard(items.begin(), items.end());
    std::erase_if(cache.pictures, [&](const auto &entry) {
        if (onBoard.contains(entry.first))
            return false;
        cache.bytes -= entry.second.scaled.sizeInBytes();
        return true;
    });
}

void JPBoardRenderer::pruneComposites(const std::vector<JPPiece *> &items)
{
    if (m_composites.size() <= 2 * items.size() + 16)
        return;
    const std::unordered_set<const JPPiece *> onBoard(items.begin(), items.end());
    std::erase_if(m_composites, [&](const auto &entry) { return !onBoard.contains(entry.first); });
}

void JPBoardRenderer::trimZoomCache(PictureCache &cache, const std::vector<JPPiece *> &items,
                                    const JPViewTransform &view) const
{
    if (cache.bytes <= m_zoomBudget && cache.pictures.size() <= 2 * items.size() + 16)
        return;
    const std::unordered_set<const JPPiece *> onBoard(items.begin(), items.end());
    const QRectF visible = zoomedVisible(view);
    const QSizeF reach = view.boardSize();
    // First what is off the board or more than a view away, then all but what is in view.
    const QRectF nearby = visible.adjusted(-reach.width(), -reach.height(), reach.width(), reach.height());
    for (const QRectF &keep : {nearby, visible}) {
        std::erase_if(cache.pictures, [&](const auto &entry) {
            const JPItemPicture &picture = entry.second;
            // An item off the board may be gone: only its key is looked at.
            bool drop = !onBoard.contains(entry.first);
            if (!drop) {
                const auto *item = entry.first;
                drop = !picture.full.translated(movedSince(picture, item, view.zoom())).intersects(keep);
            }
            if (drop)
                cache.bytes -= picture.scaled.sizeInBytes();
            return drop;
        });
        if (cache.bytes <= m_zoomBudget)
            return;
    }
}

QImage RenderBoard(JPPuzzle *puzzle, QSize size, const JPBoardLook &look, double zoom, std::optional<QPointF> at)
{
    constexpr int kMaxSide = 16384;
    if (size.isEmpty() || size.width() > kMaxSide || size.height() > kMaxSide)
        return QImage();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    JPBoardController board;
    board.setPuzzle(puzzle);
    board.setViewSize(QSizeF(size));
    board.ensureLayout();
    JPViewTransform view(QSizeF(size), JPViewTransform::maxZoomForScale(puzzle ? puzzle->scale() : 0.0));
    view.setZoom(zoom, QPointF(0, 0));
    view.centerOn(at.value_or(QPointF(size.width() / 2.0, size.height() / 2.0)));
    JPBoardRenderer renderer;
    renderer.setLinkImage(JPBoardRenderer::loadLinkImage());
    QPainter painter(&image);
    renderer.draw(painter, QRectF(QPointF(0, 0), QSizeF(size)), board, look, view);
    return image;
}
