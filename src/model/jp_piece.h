#pragma once

#include "model/grid_coord.h"

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class CCImage;
class CCXmlEncoder;
class CCXmlDecoder;
class JPAssembly;
class JPPiece;
class JPPuzzle;
class QPainter;

// The joint on one side of a piece. While a document is being read the neighbour is held
// as a number (neighbourNumber) until every piece exists.
struct Connection
{
    JPPiece *piece = nullptr;
    uint64_t shapeIndex = 0;
    int8_t protrudes = 0;
    int64_t neighbourNumber = -1;
};

// True when the side has a neighbour and carries the knob of their joint.
inline bool Protrudes(const Connection &connection)
{
    return connection.piece && connection.protrudes;
}

// One piece of the grid, or (as the JPAssembly subclass) a group of joined pieces.
// A piece refers to its puzzle and assembly without owning them; the puzzle owns every
// piece and every assembly (see JPPuzzle).
class JPPiece
{
public:
    explicit JPPiece(JPPuzzle *puzzle);
    virtual ~JPPiece();
    JPPiece(const JPPiece &) = delete;
    JPPiece &operator=(const JPPiece &) = delete;

    virtual bool isAssembly() const { return false; }

    JPPuzzle *puzzle() const { return m_puzzle; }
    JPAssembly *assembly() const { return m_assembly; }
    void setAssembly(JPAssembly *assembly) { m_assembly = assembly; }

    const CCImage *image() const { return m_image.get(); }
    void setImage(std::shared_ptr<const CCImage> image) { m_image = std::move(image); }
    std::shared_ptr<const CCImage> sharedImage() const { return m_image; }

    const Connection &connectionAtIndex(int side) const;
    void setConnection(const Connection &connection, int side);

    QRectF rect() const { return m_rect; }
    void setRect(const QRectF &rect) { m_rect = rect; }
    QRectF currentRect() const { return m_currentRect; }
    QRectF setCurrentRect();

    uint64_t pieceIndex() const { return m_pieceIndex; }
    void setPieceIndex(uint64_t index) { m_pieceIndex = index; }
    uint64_t rotation() const { return m_rotation; }
    void setRotation(uint64_t rotation) { m_rotation = rotation; }
    GridCoord coord() const { return m_coord; }
    void setCoord(GridCoord coord) { m_coord = coord; }
    GridCoord looseCoord() const { return m_looseCoord; }
    void setLooseCoord(GridCoord coord) { m_looseCoord = coord; }
    QPointF draggedLocation() const { return m_draggedLocation; }
    // Also moves the piece: the dragged location is where it now lies.
    void setDraggedLocation(QPointF location);
    QPointF boardLocation() const { return m_boardLocation; }
    void setBoardLocation(QPointF location) { m_boardLocation = location; }
    QPointF centerPoint() const { return m_boardLocation; }
    bool wasSelected() const { return m_wasSelected; }
    void setWasSelected(bool selected) { m_wasSelected = selected; }

    // Outline.
    const QPainterPath &bezier() const { return m_bezier; }
    QPointF bezierOrigin() const { return m_bezierOrigin; }
    double scaleForBezier() const { return m_scaleForBezier; }
    void setScaleForBezier(double scale) { m_scaleForBezier = scale; }
    double fullBezierWidth() const { return m_fullBezierWidth; }
    void createOutline();
    // The outline at scale 1 placed over the piece's place in the picture.
    QPainterPath pictureOutline() const;
    // One side of that outline alone, from the corner where the outline reaches it.
    QPainterPath pictureSide(int side) const;
    // The outline moved so that its bounding box starts at the rectangle's origin.
    QPainterPath newBezierInRect(const QRectF &rect) const;
    // The outline at the scale and place given by an enclosing rectangle (base rectangle plus
    // knobs, as enclosingRect measures it), exactly where the picture puts it.
    QPainterPath outlineInEnclosingRect(const QRectF &rect);
    // Where the piece image goes for that enclosing rectangle.
    QRectF imageRectInEnclosingRect(const QRectF &rect) const;

    virtual bool isEdge() const;
    virtual bool canSelect() const;
    QRectF enclosingRect(QPointF center, bool rotate, double scale) const;
    QRectF enclosingRect(QPointF center, bool rotate) const;
    virtual QRectF enclosingRect() const;
    // Where the piece image lies in the picture, in whole pixels.
    QRectF imageRect() const;
    // Where the enclosing rectangle starts in the picture: the base rectangle's corner less
    // a knob's depth on the left and top sides that carry knobs.
    QPointF enclosingOrigin() const;
    QRect pixelBox() const;
    bool hitTest(QPointF point, const QRectF &rect);
    virtual bool hitTest(QPointF point);

    // Linking: whether a dragged rectangle meets rect2 across board edge `edge` within the
    // snapping tolerances; centerPoint receives the badge centre on success.
    bool canLinkEdges(int edge, const QRectF &rect1, const QRectF &rect2, bool protrudes, QPointF *centerPoint) const;
    // The same against this item's own enclosing rectangle.
    bool canLinkEdges(int edge, const QRectF &rect, bool protrudes, QPointF *centerPoint) const;

    // Piece images.
    QString imagePath() const;
    bool createImageFromPixmap(const class CCPixmap &picture);
    void loadImage();
    virtual void drawSelected(QPainter &painter, bool selected, bool dimmed);
    void drawInRect(QPainter &painter, const QRectF &rect, bool selected, bool dimmed);

    // Puzzle file.
    virtual void saveToXml(CCXmlEncoder &encoder) const;
    // Reads a `pc` element as written, unchecked; complete tells whether its closing tag was
    // reached. The image is read once the puzzle adopts the document.
    static std::unique_ptr<JPPiece> initWithXml(CCXmlDecoder &decoder, JPPuzzle *puzzle, bool *complete = nullptr);

private:
    QPainterPath outlineAtScale(double scale, QPointF *origin) const;
    // Appends one side's curve to path; a side without a usable shape stays straight.
    void appendSide(QPainterPath &path, double scale, int side, QPointF start) const;

protected:
    JPPuzzle *m_puzzle = nullptr;
    JPAssembly *m_assembly = nullptr;
    std::shared_ptr<const CCImage> m_image;
    QPainterPath m_bezier;
    QPointF m_bezierOrigin;
    double m_scaleForBezier = 0.0;
    double m_fullBezierWidth = 0.0;
    std::array<Connection, 4> m_connections{};
    QRectF m_rect;
    QRectF m_currentRect;
    uint64_t m_pieceIndex = 0;
    uint64_t m_rotation = 0;
    GridCoord m_coord;
    GridCoord m_looseCoord;
    QPointF m_draggedLocation{-1.0, -1.0};
    QPointF m_boardLocation{-1.0, -1.0};
    bool m_wasSelected = false;

private:
    friend class JPAssembly;
};
