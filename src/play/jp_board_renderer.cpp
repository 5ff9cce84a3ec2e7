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

void strokeSelected(QPainter &painter, const QPainterPath &outline)
{
    painter.strokePath(outline, QPen(QColor(Qt::yellow), 6.0));
    painter.strokePath(outline, QPen(GrayColor(7), 2.0));
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

void JPBoardRenderer::draw(QPainter &painter, const QRectF &dirty, JPBoardController &board, const JPBoardLook &look)
{
    drawBackground(painter, dirty, look);
    JPPuzzle *puzzle = board.puzzle();
    if (!puzzle)
        return;
    board.ensureLayout();
    if (board.dragType() == JPBoardController::DragTypeRect && !board.dragRect().isEmpty()) {
        const QRectF frame = board.dragRect().adjusted(0.5, 0.5, -0.5, -0.5);
        painter.fillRect(frame, fillColor());
        painter.setPen(frameColor());
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame);
    }
    const std::vector<JPPiece *> &selection = puzzle->selection();
    for (JPPiece *item : puzzle->pieces()) {
        const QRectF rect = JPBoardController::itemRect(item);
        // Turned pieces and outline strokes reach past the rectangle.
        const QRectF reach = rect.adjusted(-JPBoardController::kRedrawMargin, -JPBoardController::kRedrawMargin,
                                           JPBoardController::kRedrawMargin, JPBoardController::kRedrawMargin);
        if (!reach.intersects(dirty))
            continue;
        const bool selected = std::find(selection.begin(), selection.end(), item) != selection.end();
        drawItem(painter, item, selected, puzzle->edgesOnly() && !item->isEdge());
    }
    if (board.linkingPiece() && !m_linkImage.isNull())
        painter.drawImage(board.linkRect(), m_linkImage);
    pruneCache(puzzle->pieces());
}

void JPBoardRenderer::drawBackground(QPainter &painter, const QRectF &dirty, const JPBoardLook &look) const
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
    // Tiles are anchored at the origin; only those that meet the dirty area are drawn.
    const int firstColumn = std::max(0, int(std::floor(dirty.left() / tw)));
    const int firstRow = std::max(0, int(std::floor(dirty.top() / th)));
    for (int y = firstRow * th; y < dirty.bottom(); y += th)
        for (int x = firstColumn * tw; x < dirty.right(); x += tw)
            painter.drawImage(QPoint(x, y), texture);
    painter.restore();
}

const JPBoardRenderer::CachedImage *JPBoardRenderer::cachedImage(JPPiece *item)
{
    std::shared_ptr<const CCImage> source = item->sharedImage();
    if (!source || source->qimage().isNull())
        return nullptr;
    const double scale = item->puzzle()->scale();
    const uint64_t rotation = shownRotation(item);
    CachedImage &entry = m_cache[item];
    if (entry.source == source && entry.scale == scale && entry.rotation == rotation)
        return &entry;
    const QPointF anchor = item->boardLocation();
    QRectF target = item->imageRectInEnclosingRect(item->enclosingRect(anchor, false));
    const QSize pixels(std::max(1, int(std::lround(target.width()))), std::max(1, int(std::lround(target.height()))));
    QImage scaled = source->qimage().scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (rotation != 0) {
        scaled = scaled.transformed(QTransform().rotate(double(rotation) * 90.0));
        target = turnAbout(anchor, rotation).mapRect(target);
    }
    entry = CachedImage{std::move(source), scale, rotation,
                        scaled.convertToFormat(QImage::Format_ARGB32_Premultiplied), target, anchor};
    return &entry;
}

void JPBoardRenderer::drawItem(QPainter &painter, JPPiece *item, bool selected, bool dimmed)
{
    if (dimmed) {
        item->drawSelected(painter, selected, true);
        return;
    }
    if (item->isAssembly()) {
        ScaledComposite &copy = m_composites[item];
        if (UpdateScaledComposite(copy, *static_cast<JPAssembly *>(item), item->puzzle()->scale()))
            painter.drawImage(copy.topLeft(item->boardLocation()), copy.scaled);
    } else if (const CachedImage *cached = cachedImage(item)) {
        const QPointF moved = item->boardLocation() - cached->anchor;
        painter.drawImage(cached->target.topLeft() + moved, cached->scaled);
    }
    if (!selected)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    if (item->isAssembly()) {
        auto *assembly = static_cast<JPAssembly *>(item);
        for (JPPiece *member : assembly->pieces())
            strokeSelected(painter, member->outlineInEnclosingRect(assembly->rectForPiece(member)));
    } else {
        const QPointF centre = item->boardLocation();
        painter.setTransform(turnAbout(centre, shownRotation(item)), true);
        strokeSelected(painter, item->outlineInEnclosingRect(item->enclosingRect(centre, false)));
    }
    painter.restore();
}

void JPBoardRenderer::pruneCache(const std::vector<JPPiece *> &items)
{
    // Items leave the board when they join; their pictures go once the cache holds twice
    // as many entries as there are items.
    if (m_cache.size() + m_composites.size() <= 2 * items.size() + 16)
        return;
    const std::unordered_set<const JPPiece *> onBoard(items.begin(), items.end());
    std::erase_if(m_cache, [&](const auto &entry) { return !onBoard.contains(entry.first); });
    std::erase_if(m_composites, [&](const auto &entry) { return !onBoard.contains(entry.first); });
}

QImage RenderBoard(JPPuzzle *puzzle, QSize size, const JPBoardLook &look)
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
    JPBoardRenderer renderer;
    renderer.setLinkImage(JPBoardRenderer::loadLinkImage());
    QPainter painter(&image);
    renderer.draw(painter, QRectF(QPointF(0, 0), QSizeF(size)), board, look);
    return image;
}
