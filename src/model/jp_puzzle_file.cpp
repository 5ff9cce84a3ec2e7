#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_xml.h"

#include "imaging/cc_image.h"
#include "imaging/image_write_queue.h"

#include "support/cc_xml_encoder.h"
#include "support/helpers.h"
#include "support/log.h"
#include "support/property_list.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

const QString kDamaged = QStringLiteral("the puzzle file is damaged");
const QString kLaterVersion = QStringLiteral("the puzzle file was created by a later version of Tobbin Puzzle.");

bool isClosing(const CCXmlDecoder &decoder, int key)
{
    return decoder.key() == key && !decoder.startTag();
}

GridCoord gridFromText(const QString &text)
{
    const QPointF point = PointFromText(text);
    const auto truncate = [](double v) -> int64_t {
        return std::isfinite(v) && std::fabs(v) < 9e15 ? int64_t(v) : int64_t(-1);
    };
    return {truncate(point.x()), truncate(point.y())};
}

QPointF draggedFromText(const QString &text)
{
    QPointF point = PointFromText(text);
    // A location that is not a number never came from a drag: the piece is laid out anew.
    if (!std::isfinite(point.x()) || !std::isfinite(point.y()))
        return QPointF(-1.0, -1.0);
    return point;
}

bool positiveSize(QSizeF size)
{
    return std::isfinite(size.width()) && std::isfinite(size.height()) && size.width() > 0 && size.height() > 0;
}

}

void JPPiece::saveToXml(CCXmlEncoder &encoder) const
{
    encoder.addAttribute(QStringLiteral("id"), int(m_pieceIndex));
    encoder.openTag(QStringLiteral("pc"));
    encoder.addTag(QStringLiteral("rect"), RectText(m_rect));
    encoder.addTag(QStringLiteral("coord"), PointText(QPointF(double(m_coord.x), double(m_coord.y))));
    if (!m_assembly) {
        encoder.addTag(QStringLiteral("loose"), PointText(QPointF(double(m_looseCoord.x), double(m_looseCoord.y))));
        if (m_draggedLocation.x() >= 0)
            encoder.addTag(QStringLiteral("drag"), PointText(m_draggedLocation));
        if (m_rotation != 0)
            encoder.addTag(QStringLiteral("rot"), int(m_rotation & 3));
    }
    encoder.openTag(QStringLiteral("xs"));
    for (const Connection &c : m_connections) {
        encoder.addAttribute(QStringLiteral("id"), c.piece ? int(c.piece->pieceIndex()) : -1);
        encoder.addAttribute(QStringLiteral("bnd"), int(std::min<uint64_t>(c.shapeIndex, 0x7fffffff)));
        encoder.addAttribute(QStringLiteral("knob"), c.protrudes ? 1 : 0);
        encoder.openAndCloseTag(QStringLiteral("x"));
    }
    encoder.closeTag(QStringLiteral("xs"));
    encoder.closeTag(QStringLiteral("pc"));
}

std::unique_ptr<JPPiece> JPPiece::initWithXml(CCXmlDecoder &decoder, JPPuzzle *puzzle, bool *complete)
{
    bool closed = false;
    auto result = readPieceElement(decoder, puzzle, closed);
    if (closed)
        result->loadImage();
    if (complete)
        *complete = closed;
    return result;
}

std::unique_ptr<JPPiece> JPPiece::readPieceElement(CCXmlDecoder &decoder, JPPuzzle *puzzle, bool &closed)
{
    auto piece = std::make_unique<JPPiece>(puzzle);
    const int id = decoder.integerAttributeForTag(QStringLiteral("id"));
    piece->m_pieceIndex = id < 0 ? uint64_t(-1) : uint64_t(id);
    piece->m_rotation = 0;
    closed = false;
    if (decoder.endTag()) {
        closed = true; // <pc/>: nothing inside
        return piece;
    }
    while (decoder.getNextTag()) {
        if (isClosing(decoder, kTagPc)) {
            closed = true;
            break;
        }
        switch (decoder.key()) {
        case kTagRect:
            piece->m_rect = RectFromText(decoder.value());
            break;
        case kTagCoord:
            piece->m_coord = gridFromText(decoder.value());
            break;
        case kTagLoose:
            piece->m_looseCoord = gridFromText(decoder.value());
            break;
        case kTagDrag:
            piece->m_draggedLocation = draggedFromText(decoder.value());
            break;
        case kTagRot:
            // Quarter turns: any other number reads modulo a whole turn.
            piece->m_rotation = uint64_t(((decoder.integerValue() % 4) + 4) % 4);
            break;
        case kTagXs: {
            if (!decoder.startTag() || decoder.endTag())
                break;
            int side = 0;
            while (decoder.getNextTag() && decoder.key() == kTagX) {
                if (!decoder.startTag())
                    continue;
                if (side < 4) {
                    Connection &c = piece->m_connections[size_t(side)];
                    c.neighbourNumber = decoder.integerAttributeForTag(QStringLiteral("id"));
                    const int bnd = decoder.integerAttributeForTag(QStringLiteral("bnd"));
                    c.shapeIndex = bnd < 0 ? uint64_t(-1) : uint64_t(bnd);
                    c.protrudes = decoder.integerAttributeForTag(QStringLiteral("knob")) != 0 ? 1 : 0;
                }
                ++side;
            }
            if (isClosing(decoder, kTagPc)) {
                closed = true;
                return piece;
            }
            break;
        }
        default:
            break;
        }
    }
    return piece;
}

void JPPuzzle::saveToXml(CCXmlEncoder &encoder) const
{
    encoder.addAttribute(QStringLiteral("ver"), 1);
    encoder.openTag(QStringLiteral("jigsaw"));
    encoder.addTag(QStringLiteral("id"), m_guid);
    encoder.addTag(QStringLiteral("size"), int(integerForKey(m_puzzleDict, QStringLiteral("count"))));
    const auto grid = [](GridCoord c) { return PointText(QPointF(double(c.x), double(c.y))); };
    encoder.addTag(QStringLiteral("maxCoord"), grid(m_maxCoord));
    encoder.addTag(QStringLiteral("lsize"), grid(m_layoutExtent));
    encoder.addTag(QStringLiteral("gapb"), grid(m_gapBegin));
    encoder.addTag(QStringLiteral("gape"), grid(m_gapEnd));
    encoder.addTag(QStringLiteral("bsize"), SizeText(m_baseSize));
    encoder.addTag(QStringLiteral("knob"), int(m_protrusion));
    encoder.addTag(QStringLiteral("scale"), qint64(m_scale * 1000000000000.0));
    if (m_rotate)
        encoder.addTag(QStringLiteral("rot"), 1);
    if (m_edgesOnly)
        encoder.addTag(QStringLiteral("edges"), 1);
    if (m_pinned)
        encoder.addTag(QStringLiteral("pin"), 1);
    encoder.addTag(QStringLiteral("nexta"), int(m_nextAssemblyId));
    if (m_pinnedAssembly)
        encoder.addTag(QStringLiteral("pina"), int(m_pinnedAssembly->pieceIndex()));
    QString positions;
    CreatePositionList(m_colPositions, positions);
    encoder.addTag(QStringLiteral("cols"), positions);
    CreatePositionList(m_rowPositions, positions);
    encoder.addTag(QStringLiteral("rows"), positions);
    encoder.openTag(QStringLiteral("pcs"));
    for (const JPPiece *item : m_pieces)
        item->saveToXml(encoder);
    encoder.closeTag(QStringLiteral("pcs"));
    encoder.closeTag(QStringLiteral("jigsaw"));
}

bool JPPuzzle::loadFromXml(const QString &path, QString *reason)
{
    const auto failWith = [reason](const QString &text) {
        if (reason)
            *reason = text;
        return false;
    };
    std::unique_ptr<CCXmlDecoder> decoder = CCXmlDecoder::initWithFile(path);
    if (!decoder)
        return failWith(kDamaged);
    decoder->setKeyDecoder(PuzzleKeyTable());
    if (!decoder->getNextTag() || decoder->key() != kTagJigsaw)
        return failWith(kDamaged);
    if (decoder->integerAttributeForTag(QStringLiteral("ver")) >= 2)
        return failWith(kLaterVersion);

    std::map<uint64_t, JPPiece *> pieceMap;
    std::vector<std::unique_ptr<JPPiece>> loose;
    std::vector<std::unique_ptr<JPAssembly>> assemblies;
    std::vector<JPPiece *> order;
    int64_t pinnedId = 0;
    int64_t nexta = 0;
    double rawScale = 0;
    bool complete = true;
    m_colPositions.clear();
    m_rowPositions.clear();

    bool reading = decoder->startTag() && !decoder->endTag();
    while (reading && decoder->getNextTag()) {
        switch (decoder->key()) {
        case kTagBsize: m_baseSize = SizeFromText(decoder->value()); break;
        case kTagCols: DecodePositionList(decoder->value(), m_colPositions); break;
        case kTagRows: DecodePositionList(decoder->value(), m_rowPositions); break;
        case kTagEdges: m_edgesOnly = decoder->integerValue() != 0; break;
        case kTagRot: m_rotate = decoder->integerValue() != 0; break;
        case kTagPin: m_pinned = decoder->integerValue() != 0; break;
        case kTagGapb: m_gapBegin = gridFromText(decoder->value()); break;
        case kTagGape: m_gapEnd = gridFromText(decoder->value()); break;
        case kTagLsize: m_layoutExtent = gridFromText(decoder->value()); break;
        case kTagMaxCoord: m_maxCoord = gridFromText(decoder->value()); break;
        case kTagNexta: nexta = decoder->longValue(); break;
        case kTagPina: pinnedId = decoder->longValue(); break;
        case kTagKnob: m_protrusion = double(decoder->longValue()); break;
        case kTagScale: rawScale = double(decoder->longValue()) / 1000000000000.0; break;
        case kTagPcs: {
            if (!decoder->startTag() || decoder->endTag())
                break;
            bool closed = false;
            while (decoder->getNextTag()) {
                if (isClosing(*decoder, kTagPcs)) {
                    closed = true;
                    break;
                }
                if (!decoder->startTag())
                    continue;
                if (decoder->key() == kTagA) {
                    bool whole = false;
                    std::unique_ptr<JPAssembly> assembly =
                        JPAssembly::initWithXml(*decoder, this, pieceMap, loose, &whole);
                    if (!assembly)
                        return failWith(kDamaged);
                    order.push_back(assembly.get());
                    assemblies.push_back(std::move(assembly));
                    if (!whole)
                        break;
                } else if (decoder->key() == kTagPc) {
                    bool whole = false;
                    std::unique_ptr<JPPiece> piece = JPPiece::initWithXml(*decoder, this, &whole);
                    if (!whole)
                        break; // cut off inside the piece: keep what came before it
                    if (!pieceMap.emplace(piece->pieceIndex(), piece.get()).second)
                        return failWith(kDamaged);
                    order.push_back(piece.get());
                    loose.push_back(std::move(piece));
                } else if (!decoder->endTag()) {
                    decoder->skipTag();
                }
            }
            if (!closed)
                complete = false;
            reading = closed;
            break;
        }
        default:
            break;
        }
    }
    if (reading && !decoder->error().isEmpty())
        complete = false;

    // The grid and the board must make sense before anything is built on them.
    const int64_t count = m_maxCoord.x * m_maxCoord.y;
    if (m_maxCoord.x < 1 || m_maxCoord.y < 1 || m_maxCoord.x > kMaxPieceCount || m_maxCoord.y > kMaxPieceCount
        || count > kMaxPieceCount || !positiveSize(m_baseSize) || !(m_protrusion > 0)
        || m_layoutExtent.x < 1 || m_layoutExtent.y < 1 || m_layoutExtent.x * m_layoutExtent.y > 1000000)
        return failWith(kDamaged);
    // Piece outlines and assembly pictures are made to these sizes, so none may reach past the
    // picture: a damaged number would otherwise ask for gigabytes of pixels.
    const QSizeF picture = m_image ? m_image->size() : QSizeF();
    const QRectF withinPicture = QRectF(QPointF(0, 0), picture).adjusted(-1, -1, 1, 1);
    if (m_baseSize.width() > picture.width() || m_baseSize.height() > picture.height()
        || m_protrusion > std::min(m_baseSize.width(), m_baseSize.height()))
        return failWith(kDamaged);
    for (const auto &[index, piece] : pieceMap) {
        const GridCoord c = piece->coord();
        if (index >= uint64_t(count) || c.x < 0 || c.y < 0 || c.x >= m_maxCoord.x || c.y >= m_maxCoord.y
            || !positiveSize(piece->rect().size()) || !withinPicture.contains(piece->rect()))
            return failWith(kDamaged);
    }
    std::set<uint64_t> assemblyIds;
    uint64_t largestAssemblyId = 0;
    for (const auto &assembly : assemblies) {
        const uint64_t id = assembly->pieceIndex();
        if (id < kFirstAssemblyId || id > kLastAssemblyId || !assemblyIds.insert(id).second)
            return failWith(kDamaged);
        largestAssemblyId = std::max(largestAssemblyId, id);
    }
    // A non-positive scale was never laid out; one above 1 can't come from a layout either.
    m_scale = rawScale > 0 && rawScale <= 1.0 ? rawScale : 0.0;
    // The next assembly must never take a piece's number or an existing assembly's, nor one a
    // document can't hold: a counter outside the identifiers is recomputed.
    const bool nextaValid = nexta >= int64_t(kFirstAssemblyId) && nexta <= int64_t(kLastAssemblyId);
    m_nextAssemblyId = std::max<uint64_t>({nextaValid ? uint64_t(nexta) : 0, kFirstAssemblyId, largestAssemblyId + 1});
    if (m_nextAssemblyId > kLastAssemblyId)
        m_nextAssemblyId = kFirstAssemblyId;

    // Everything read is owned by the puzzle from here on.
    m_pieces.clear();
    m_allPieces = std::move(loose);
    std::sort(m_allPieces.begin(), m_allPieces.end(),
              [](const auto &a, const auto &b) { return a->pieceIndex() < b->pieceIndex(); });
    for (auto &assembly : assemblies)
        adoptAssembly(std::move(assembly));
    m_originPiece = pieceWithIndex(0);
    mapPieceIndexes(order, pieceMap);
    for (JPPiece *item : order) {
        if (!item->isAssembly()) {
            m_pieces.push_back(item);
            continue;
        }
        auto *assembly = static_cast<JPAssembly *>(item);
        if (assembly->pieces().size() >= 2) {
            m_pieces.push_back(assembly);
            if (pinnedId > 0 && assembly->pieceIndex() == uint64_t(pinnedId))
                m_pinnedAssembly = assembly;
            continue;
        }
        // An assembly needs two members: a lone one becomes a loose piece again, none is dropped.
        LogString(QStringLiteral("Assembly %1 in %2 has %3 pieces; it was taken apart")
                      .arg(qulonglong(assembly->pieceIndex()))
                      .arg(m_filePath)
                      .arg(assembly->pieces().size()));
        for (JPPiece *member : assembly->pieces()) {
            member->setAssembly(nullptr);
            member->setDraggedLocation(QPointF(-1.0, -1.0));
            m_pieces.push_back(member);
        }
        m_dirty = true;
        addFileToDelete(assembly->imagePath());
        releaseAssembly(assembly);
    }
    for (JPPiece *item : m_pieces) {
        if (!item->isAssembly())
            continue;
        auto *assembly = static_cast<JPAssembly *>(item);
        assembly->setEdgeMask();
        // A link rewrites the composite image at once, the document only at the next save:
        // after a crash in between the image no longer matches its members. The image file
        // names the members it was drawn from.
        if (!assembly->adoptStoredComposite()) {
            LogString(QStringLiteral("Rebuilt the image of assembly %1 in %2")
                          .arg(qulonglong(assembly->pieceIndex()))
                          .arg(m_filePath));
            assembly->makeCompositeImage(true);
        }
    }

    if (!complete) {
        m_documentTruncated = true;
        LogString(QStringLiteral("Puzzle file \"%1\" ends early; read %2 items").arg(path).arg(m_pieces.size()));
    }
    return true;
}

void JPPuzzle::mapPieceIndexes(const std::vector<JPPiece *> &items, const std::map<uint64_t, JPPiece *> &map)
{
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        JPPiece *item = *it;
        if (item->isAssembly()) {
            mapPieceIndexes(static_cast<JPAssembly *>(item)->pieces(), map);
            continue;
        }
        for (int side = 0; side < 4; ++side) {
            Connection c = item->connectionAtIndex(side);
            c.piece = nullptr;
            if (c.neighbourNumber >= 0) {
                const auto found = map.find(uint64_t(c.neighbourNumber));
                if (found != map.end() && found->second != item)
                    c.piece = found->second;
            }
            item->setConnection(c, side);
        }
    }
}

bool JPPuzzle::writeInfo()
{
    return WritePropertyList(QDir(m_filePath).filePath(QStringLiteral("info.plist")), m_puzzleDict);
}

void JPPuzzle::keepDamagedDocument()
{
    // The document was read only in part; the next save would replace the rest for good.
    const QString document = QDir(m_filePath).filePath(QStringLiteral("puzzle.xml"));
    const QString kept = document + QStringLiteral(".damaged");
    QFile::remove(kept);
    if (QFile::copy(document, kept))
        LogString(QStringLiteral("Kept the damaged puzzle file of \"%1\" as %2").arg(m_filePath, kept));
    m_documentTruncated = false;
}

void JPPuzzle::waitForImageWrites() const
{
    CCImageWriteQueue::sharedInstance().waitForFolder(QDir(m_filePath).filePath(QStringLiteral("Pieces")));
}

bool JPPuzzle::save()
{
    // The document may name only pictures that are whole on disk, and the files it stops
    // naming may go only once nothing is writing them any more.
    waitForImageWrites();
    bool ok = true;
    if (m_infoDirty) {
        if (writeInfo())
            m_infoDirty = false;
        else {
            LogString(QStringLiteral("Can't save puzzle \"%1\": info.plist can't be written").arg(m_filePath));
            ok = false;
        }
    }
    if (!m_dirty)
        return ok;
    if (m_documentTruncated)
        keepDamagedDocument();
    CCXmlEncoder encoder;
    saveToXml(encoder);
    QSaveFile file(QDir(m_filePath).filePath(QStringLiteral("puzzle.xml")));
    const QByteArray bytes = encoder.xml().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        LogString(QStringLiteral("Can't save puzzle \"%1\": %2").arg(m_filePath, file.errorString()));
        return false;
    }
    m_dirty = false;
    for (const QString &obsolete : m_deletePaths)
        QFile::remove(obsolete);
    m_deletePaths.clear();
    return ok;
}
