#include "model/jp_assembly.h"

#include "imaging/cc_image.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_xml.h"
#include "support/cc_xml_encoder.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

JPAssembly::JPAssembly(JPPuzzle *puzzle)
    : JPPiece(puzzle)
{
    m_rotation = 0;
}

JPAssembly::~JPAssembly() = default;

void JPAssembly::setEdgeMask()
{
    m_edgeMask = 0;
    m_scale = 0.0;
    for (const JPPiece *member : m_pieces) {
        for (int side = 0; side < 4; ++side)
            if (!member->connectionAtIndex(side).piece)
                m_edgeMask |= 1u << side;
        if (member->coord().x == m_coord.x && Protrudes(member->connectionAtIndex(0)))
            m_edgeMask |= edge_bits::kLeftKnob;
        if (member->coord().y == m_coord.y && Protrudes(member->connectionAtIndex(1)))
            m_edgeMask |= edge_bits::kTopKnob;
    }
}

bool JPAssembly::isEdge() const
{
    return (m_edgeMask & 0x0F) != 0;
}

bool JPAssembly::canSelect() const
{
    if (m_puzzle->pinned() && m_puzzle->pinnedAssembly() == this)
        return false;
    return JPPiece::canSelect();
}

void JPAssembly::refreshSize()
{
    if (m_puzzle->scale() != m_scale) {
        m_scale = m_puzzle->scale();
        calculateSize(true);
    }
}

QRectF JPAssembly::bounds()
{
    refreshSize();
    return QRectF(m_boardLocation, m_currentSize);
}

QRectF JPAssembly::enclosingRect() const
{
    // Sizes refresh lazily; a const caller gets the size as last computed.
    return QRectF(m_boardLocation, m_currentSize);
}

QPointF JPAssembly::originForCoord(GridCoord coord) const
{
    double x = m_boardLocation.x();
    double y = m_boardLocation.y();
    if (coord.x != m_coord.x)
        x += (m_puzzle->colPosition(coord.x) - m_puzzle->colPosition(m_coord.x)) * m_scale;
    if (coord.y != m_coord.y)
        y += (m_puzzle->rowPosition(coord.y) - m_puzzle->rowPosition(m_coord.y)) * m_scale;
    return {x, y};
}

QRectF JPAssembly::rectForPiece(const JPPiece *member)
{
    const double s0 = m_scale;
    const QSizeF size = member->enclosingRect(QPointF(0, 0), false, s0).size();
    QPointF origin = originForCoord(member->coord());
    if (!m_calculatingSize && m_puzzle->scale() != m_scale) {
        m_scale = m_puzzle->scale();
        calculateSize(true);
    }
    const double k = m_puzzle->protrusion() * m_scale;
    const bool leftKnob = m_edgeMask & edge_bits::kLeftKnob;
    const bool topKnob = m_edgeMask & edge_bits::kTopKnob;
    const bool side0 = Protrudes(member->connectionAtIndex(0));
    const bool side1 = Protrudes(member->connectionAtIndex(1));
    double x = origin.x();
    double y = origin.y();
    if (member->coord().x == m_coord.x) {
        if (leftKnob && !side0)
            x += k;
    } else {
        if (leftKnob)
            x += k;
        if (side0)
            x -= k;
    }
    if (member->coord().y == m_coord.y) {
        if (topKnob && !side1)
            y += k;
    } else {
        if (topKnob)
            y += k;
        if (side1)
            y -= k;
    }
    return QRectF(x, y, size.width(), size.height());
}

void JPAssembly::calculateSize(bool useImage)
{
    if (!useImage || !m_image) {
        m_calculatingSize = true;
        QRectF united;
        bool first = true;
        for (const JPPiece *member : m_pieces) {
            const QRectF r = rectForPiece(member);
            united = first ? r : united.united(r);
            first = false;
        }
        m_currentSize = united.size();
        m_calculatingSize = false;
    } else {
        m_currentSize = m_image->size() * m_scale;
    }
}

bool JPAssembly::hitTest(QPointF point)
{
    if (!bounds().contains(point) || m_pieces.empty())
        return false;
    for (auto it = m_pieces.rbegin(); it != m_pieces.rend(); ++it) {
        m_hitPiece = *it;
        if ((*it)->hitTest(point, rectForPiece(*it)))
            return true;
    }
    m_hitPiece = m_pieces.front();
    return false;
}

void JPAssembly::drawSelected(QPainter &painter, bool selected, bool dimmed)
{
    refreshSize();
    if (!dimmed) {
        if (m_image && !m_pieces.empty())
            m_image->drawInRectNormally(painter, compositeRect());
        if (!selected)
            return;
    }
    for (JPPiece *member : m_pieces)
        member->drawInRect(painter, rectForPiece(member), selected, dimmed);
}

void JPAssembly::saveToXml(CCXmlEncoder &encoder) const
{
    encoder.addAttribute(QStringLiteral("id"), int(m_pieceIndex));
    encoder.openTag(QStringLiteral("a"));
    encoder.addTag(QStringLiteral("coord"), PointText(QPointF(double(m_coord.x), double(m_coord.y))));
    encoder.addTag(QStringLiteral("maxCoord"), PointText(QPointF(double(m_maxCoord.x), double(m_maxCoord.y))));
    encoder.addTag(QStringLiteral("drag"), PointText(m_draggedLocation));
    encoder.openTag(QStringLiteral("pcs"));
    for (const JPPiece *member : m_pieces)
        member->saveToXml(encoder);
    encoder.closeTag(QStringLiteral("pcs"));
    encoder.closeTag(QStringLiteral("a"));
}

std::unique_ptr<JPAssembly> JPAssembly::initWithXml(CCXmlDecoder &decoder, JPPuzzle *puzzle,
                                                    std::map<uint64_t, JPPiece *> &pieceMap,
                                                    std::vector<std::unique_ptr<JPPiece>> &owned, bool *complete)
{
    auto assembly = std::make_unique<JPAssembly>(puzzle);
    const int id = decoder.integerAttributeForTag(QStringLiteral("id"));
    assembly->m_pieceIndex = id < 0 ? 0 : uint64_t(id);
    bool closed = decoder.endTag();
    bool cutOff = false;
    while (!closed && !cutOff && decoder.getNextTag()) {
        if (IsClosingTag(decoder, kTagA)) {
            closed = true;
            break;
        }
        switch (decoder.key()) {
        case kTagCoord:
            assembly->m_coord = GridFromText(decoder.value());
            break;
        case kTagMaxCoord:
            assembly->m_maxCoord = GridFromText(decoder.value());
            break;
        case kTagDrag:
            assembly->m_boardLocation = assembly->m_draggedLocation = PointFromText(decoder.value());
            break;
        case kTagPcs: {
            if (!decoder.startTag() || decoder.endTag())
                break;
            while (decoder.getNextTag()) {
                if (decoder.key() != kTagPc)
                    break;
                if (!decoder.startTag())
                    continue;
                bool whole = false;
                std::unique_ptr<JPPiece> piece = JPPiece::initWithXml(decoder, puzzle, &whole);
                if (!whole) {
                    cutOff = true;
                    break;
                }
                pieceMap.emplace(piece->pieceIndex(), piece.get());
                piece->m_assembly = assembly.get();
                assembly->m_pieces.push_back(piece.get());
                owned.push_back(std::move(piece));
            }
            if (IsClosingTag(decoder, kTagA))
                closed = true;
            break;
        }
        default:
            break;
        }
    }
    if (complete)
        *complete = closed;
    assembly->normaliseMembers();
    return assembly;
}

void JPAssembly::normaliseMembers()
{
    // Members in reading order, and the covered cells taken from the members themselves, so
    // a damaged document can't place them anywhere but where their picture neighbours are.
    std::sort(m_pieces.begin(), m_pieces.end(), [](const JPPiece *a, const JPPiece *b) {
        return a->coord().y != b->coord().y ? a->coord().y < b->coord().y : a->coord().x < b->coord().x;
    });
    if (m_pieces.empty())
        return;
    GridCoord low = m_pieces.front()->coord();
    GridCoord high = low;
    for (const JPPiece *member : m_pieces) {
        low = {std::min(low.x, member->coord().x), std::min(low.y, member->coord().y)};
        high = {std::max(high.x, member->coord().x), std::max(high.y, member->coord().y)};
    }
    m_coord = low;
    m_maxCoord = high;
}
