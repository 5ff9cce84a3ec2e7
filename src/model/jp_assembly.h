#pragma once

#include "model/jp_piece.h"

#include <QImage>
#include <QRect>
#include <QSizeF>

#include <map>
#include <memory>
#include <unordered_map>
#include <utility>
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
    // Brings the composite image up to date with the members and queues it for this
    // assembly's image file, marked with memberSignature(). Only the members that joined
    // since it was last drawn are drawn, the picture growing where they reach past it; it is
    // drawn afresh from every member when whole is set, when there is none yet or when many
    // joined at once. The pixels are the same either way.
    void makeCompositeImage(bool whole = false);
    // Takes the picture read from the image file as the composite when it shows exactly
    // these members (its size and memberSignature() agree); false when it must be made again.
    bool adoptStoredComposite();
    // Names the members a composite image was drawn from; kept in the image file under
    // kMembersTextKey, so a file that no longer matches the document can be recognised.
    QString memberSignature() const;
    static const QString kMembersTextKey;
    // Where the composite image goes on the board at the current scale; empty without one.
    QRectF compositeRect();
    // Where the composite lies in the picture, in whole pixels; empty without one.
    QRect compositePictureRect() const { return m_image ? m_compositeRect : QRect(); }
    // The union of the members' image rectangles in picture pixels.
    QRectF membersImageRect() const;
    // Changes whenever the composite does; no two composites of a process share a value.
    uint64_t compositeRevision() const { return m_compositeRevision; }
    // Where the composite changed after the given revision of it (the places in the picture
    // of the members drawn since), so a copy taken then can be brought up to date; false when
    // it has been drawn afresh since, or the revision is not one of its own.
    bool compositeChangesSince(uint64_t revision, std::vector<QRect> &places) const;

    void saveToXml(CCXmlEncoder &encoder) const override;
    // Reads an `a` element. Members are entered in pieceMap (the first of each index) and
    // handed to owned; complete tells whether the closing tag was reached. Nothing read is
    // checked yet, and the image is read once the puzzle adopts the document.
    static std::unique_ptr<JPAssembly> initWithXml(CCXmlDecoder &decoder, JPPuzzle *puzzle,
                                                   std::map<uint64_t, JPPiece *> &pieceMap,
                                                   std::vector<std::unique_ptr<JPPiece>> &owned,
                                                   bool *complete = nullptr);

    // Refreshes the stale size for the current board scale.
    void refreshSize();

protected:
    void normaliseMembers();
    void addMember(JPPiece *piece);
    // The member's image rectangle in the picture; worked out once, as it means building
    // the member's outline.
    QRect placeOf(const JPPiece *member) const;
    bool drawWholeComposite();
    bool drawNewcomers();
    // Makes united the composite's part of the canvas, keeping the pixels of the old part and
    // clearing the rest; a larger canvas is made when united doesn't fit. False when it can't be.
    bool extendComposite(const QRect &united);
    void showComposite();

    std::vector<JPPiece *> m_pieces;
    JPPiece *m_hitPiece = nullptr;
    GridCoord m_maxCoord;
    unsigned m_edgeMask = 0;
    QSizeF m_currentSize;
    double m_scale = 0.0;
    bool m_calculatingSize = false;

    // The composite in premultiplied pixels: m_canvas covers m_canvasRect of the picture, with
    // room to grow around m_compositeRect, the part that holds the composite (and that m_image
    // shows); the members that joined since it was drawn; where each revision drew.
    QImage m_canvas;
    QRect m_canvasRect;
    QRect m_compositeRect;
    std::vector<JPPiece *> m_undrawn;
    size_t m_drawnCount = 0;
    uint64_t m_compositeRevision = 0;
    uint64_t m_wholeRevision = 0;
    std::vector<std::pair<uint64_t, QRect>> m_drawLog;
    mutable std::unordered_map<const JPPiece *, QRect> m_places;
};

namespace edge_bits {
constexpr unsigned kLeftBorder = 0x01;
constexpr unsigned kTopBorder = 0x02;
constexpr unsigned kRightBorder = 0x04;
constexpr unsigned kBottomBorder = 0x08;
constexpr unsigned kLeftKnob = 0x10;
constexpr unsigned kTopKnob = 0x20;
}
