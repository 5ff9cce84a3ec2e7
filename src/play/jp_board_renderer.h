#pragma once

#include "play/scaled_composite.h"

#include <QColor>
#include <QImage>
#include <QRectF>

#include <memory>
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

// Draws the board: background, selection rectangle, items in list order and the link
// badge. The board view and the headless render command share it, so both draw alike.
// Keeps every item's picture scaled to the current board scale, so a frame never rescales
// a picture. Main thread only.
class JPBoardRenderer
{
public:
    // Draws the part of the board within dirty; fits the puzzle to the view first when
    // the view's size changed.
    void draw(QPainter &painter, const QRectF &dirty, JPBoardController &board, const JPBoardLook &look);
    void setLinkImage(const QImage &image) { m_linkImage = image; }
    const QImage &linkImage() const { return m_linkImage; }
    void clearCache()
    {
        m_cache.clear();
        m_composites.clear();
    }
    // The shipped badge image; null when the resource is missing.
    static QImage loadLinkImage();

private:
    struct CachedImage
    {
        std::shared_ptr<const CCImage> source;
        double scale = 0.0;
        uint64_t rotation = 0;
        QImage scaled;
        QRectF target;
        QPointF anchor;
    };
    void drawBackground(QPainter &painter, const QRectF &dirty, const JPBoardLook &look) const;
    void drawItem(QPainter &painter, JPPiece *item, bool selected, bool dimmed);
    // A loose piece's picture at board scale and the rectangle it goes in; null when it has none.
    const CachedImage *cachedImage(JPPiece *item);
    void pruneCache(const std::vector<JPPiece *> &items);

    std::unordered_map<const JPPiece *, CachedImage> m_cache;
    // Assemblies' pictures, brought up to date where members joined rather than scaled anew.
    std::unordered_map<const JPPiece *, ScaledComposite> m_composites;
    QImage m_linkImage;
};

class JPPuzzle;
// The whole board of a puzzle at a view size, drawn as the board view draws it at that
// size (fitting the puzzle to it first). Null when the size is empty or too large.
QImage RenderBoard(JPPuzzle *puzzle, QSize size, const JPBoardLook &look);
