#pragma once

#include "model/jp_piece.h"

#include <QSizeF>

#include <map>
#include <memory>
#include <vector>

// A group of joined pieces that the board treats as one item. It takes its members' place
// in the puzzle's board list; the members stay owned by the puzzle and point back here
// through their assembly field. The assembly itself is owned by the puzzle too.
class JPAssembly : public JPPiece
{
public:
    explicit JPAssembly(JPPuzzle *puzzle);
    ~JPAssembly() override;

    bool isAssembly() const override { return true; }

    std::vector<JPPiece *> &pieces() { return m_pieces; }
    const std::vector<JPPiece *> &pieces() const { return m_pieces; }
    GridCoord maxCoord() const { return m_maxCoord; }
    void setMaxCoord(GridCoord coord) { m_maxCoord = coord; }
    unsigned edgeMask() const { return m_edgeMask; }
    JPPiece *hitPiece() const { return m_hitPiece; }
    double sizeScale() const { return m_scale; }

    // A new assembly of two neighbours, placed in the puzzle's board list: the stationary
    // piece stays where it lies and the moving one snaps beside it. Owned by the puzzle.
    static JPAssembly *initWithPiece1(JPPiece *stationary, JPPiece *moving);
    // Adds a loose piece, or every member of another assembly (which is then released).
    // Returns the assembly that survives: this one, or the pinned assembly when this one
    // was dropped onto it while pinning is on (this one is then released).
    JPAssembly *addPiece(JPPiece *item, bool wasMoving);
    // The item a drag of this assembly would join now, with the badge centre in point.
    JPPiece *pieceToLinkWith(QPointF &point);

    void setEdgeMask();
    bool isEdge() const override;
    // The pinned frame stays where it lies: it can't be picked up while pinning is on.
    bool canSelect() const override;
    QRectF bounds();
    QRectF enclosingRect() const override;
    QPointF originForCoord(GridCoord coord) const;
    QRectF rectForPiece(const JPPiece *member);
    void calculateSize(bool useImage);
    bool hitTest(QPointF point) override;
    void drawSelected(QPainter &painter, bool selected, bool dimmed) override;
    // Builds the composite image from the members' images and stores it as this
    // assembly's image file, marked with memberSignature().
    void makeCompositeImage();
    // Names the members a composite image was drawn from; kept in the image file under
    // kMembersTextKey, so a file that no longer matches the document can be recognised.
    QString memberSignature() const;
    static const QString kMembersTextKey;
    // Where the composite image goes on the board at the current scale; empty without one.
    QRectF compositeRect();
    // The union of the members' image rectangles in picture pixels.
    QRectF membersImageRect() const;

    void saveToXml(CCXmlEncoder &encoder) const override;
    // Reads an `a` element; members are entered in pieceMap (owned by the puzzle).
    // Reads an `a` element. Members are entered in pieceMap and handed to owned (the
    // puzzle's store); complete tells whether the closing tag was reached. Null when the
    // element repeats a piece index.
    static std::unique_ptr<JPAssembly> initWithXml(CCXmlDecoder &decoder, JPPuzzle *puzzle,
                                                   std::map<uint64_t, JPPiece *> &pieceMap,
                                                   std::vector<std::unique_ptr<JPPiece>> &owned,
                                                   bool *complete = nullptr);

    // Refreshes the stale size for the current board scale.
    void refreshSize();

protected:
    void normaliseMembers();
    void addMember(JPPiece *piece);

    std::vector<JPPiece *> m_pieces;
    JPPiece *m_hitPiece = nullptr;
    GridCoord m_maxCoord;
    unsigned m_edgeMask = 0;
    QSizeF m_currentSize;
    double m_scale = 0.0;
    bool m_calculatingSize = false;
};

namespace edge_bits {
constexpr unsigned kLeftBorder = 0x01;
constexpr unsigned kTopBorder = 0x02;
constexpr unsigned kRightBorder = 0x04;
constexpr unsigned kBottomBorder = 0x08;
constexpr unsigned kLeftKnob = 0x10;
constexpr unsigned kTopKnob = 0x20;
}
