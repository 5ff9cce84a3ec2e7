#pragma once

#include "play/jp_view_transform.h"
#include "play/scaled_composite.h"

#include <QColor>
#include <QImage>
#include <QRectF>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class CCImage;
class JPBoardController;
class JPPiece;
class QPainter;

// How the board's background looks: the texture, or a plain colour.
struct JPBoardLook
{
    bool useColor = false;
    int textureIndex = 7;
    QColor backgroundColor;
    // The look the preferences ask for.
    static JPBoardLook fromPreferences();
};

// An item's picture made for one zoom: its image scaled (and turned) to the size it shows
// at, and where that goes. Places are in view pixels of the board at that zoom with the
// origin at the board's (board units x zoom), for the item lying at `anchor`; an item that
// has moved since is drawn shifted by the distance moved. A large picture at a high zoom is
// made only in part (`target` within `full`).
struct JPItemPicture
{
    // A piece's image, whose pixels never change. An assembly's picture changes in place as
    // members join, so only its revision is kept: holding it would make every join copy it.
    std::shared_ptr<const CCImage> source;
    uint64_t revision = 0;
    double scale = 0.0;
    uint64_t rotation = 0;
    QImage scaled;
    QRectF target;
    QPointF anchor;
    QRectF full;
};

// The picture of an item at `zoom` view pixels per board unit, made from its full-resolution
// image. Whole unless it would exceed kWholePictureLimit pixels and `wanted` is given: then
// only the part within `wanted` (same space as JPItemPicture places) is made. The result has
// a null image when the item has no picture.
JPItemPicture MakeItemPicture(JPPiece *item, double zoom, const QRectF &wanted = QRectF());

// Draws the board: background, selection rectangle, items in list order and the link
// badge. The board view and the headless render command share it, so both draw alike.
// Keeps every item's picture scaled to the board scale, so a frame at zoom 1 never
// rescales a picture; above zoom 1 only items in view get pictures at that zoom, in a
// bounded cache. Main thread only.
class JPBoardRenderer
{
public:
    // Pictures larger than this (in pixels) are made only for the part in view.
    static constexpr qsizetype kWholePictureLimit = 2048 * 2048;
    // What the pictures of one zoom may hold before those far from view are dropped.
    static constexpr qsizetype kZoomBudgetBytes = qsizetype(96) << 20;
    void setZoomBudget(qsizetype bytes) { m_zoomBudget = bytes; }
    // Zooms whose pictures are kept, so stepping back and forth needs no rescaling.
    static constexpr size_t kZoomLevelsKept = 2;

    // Draws the part of the view within dirty (view pixels) as `view` shows the board; fits
    // the puzzle to the view first when the view's size changed. The default view shows the
    // whole board, where view pixels are board units.
    void draw(QPainter &painter, const QRectF &dirty, JPBoardController &board, const JPBoardLook &look,
              const JPViewTransform &view = JPViewTransform());
    void setLinkImage(const QImage &image) { m_linkImage = image; }
    void clearCache();
    // The bytes held by pictures made for zooms above 1.
    qsizetype zoomedBytes() const;
    // The shipped badge image; null when the resource is missing.
    static QImage loadLinkImage();

private:
    struct PictureCache
    {
        std::unordered_map<const JPPiece *, JPItemPicture> pictures;
        qsizetype bytes = 0;
        double zoom = 1.0;
        uint64_t lastUse = 0;
    };
    void drawBackground(QPainter &painter, const QRectF &dirty, const JPBoardLook &look,
                        const JPViewTransform &view) const;
    void drawItem(QPainter &painter, JPPiece *item, bool selected, bool dimmed, const JPViewTransform &view,
                  PictureCache &cache);
    // The item's picture from cache, made again when the item's image, scale or turn changed
    // or when a partial picture no longer covers the view; null when it has none.
    const JPItemPicture *cachedPicture(PictureCache &cache, JPPiece *item, const JPViewTransform &view);
    PictureCache &zoomCache(double zoom);
    static void pruneCache(PictureCache &cache, const std::vector<JPPiece *> &items);
    void pruneComposites(const std::vector<JPPiece *> &items);
    void trimZoomCache(PictureCache &cache, const std::vector<JPPiece *> &items, const JPViewTransform &view) const;

    PictureCache m_cache;
    // Assemblies' pictures at zoom 1, brought up to date where members joined rather than
    // scaled anew.
    std::unordered_map<const JPPiece *, ScaledComposite> m_composites;
    std::vector<PictureCache> m_zoomCaches;
    uint64_t m_frame = 0;
    qsizetype m_zoomBudget = kZoomBudgetBytes;
    QImage m_linkImage;
};

class JPPuzzle;
// The board of a puzzle at a view size, drawn as the board view draws it at that size
// (fitting the puzzle to it first), at a zoom with the board point `at` as near the centre
// as the board's edges allow (default: the board's centre). Null when the size is empty or
// too large.
QImage RenderBoard(JPPuzzle *puzzle, QSize size, const JPBoardLook &look, double zoom = 1.0,
                   std::optional<QPointF> at = std::nullopt);
