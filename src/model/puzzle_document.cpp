#include "model/puzzle_document.h"

#include "imaging/cc_image.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_xml.h"
#include "support/log.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

const QString kDamaged = QStringLiteral("the puzzle file is damaged");
const QString kLaterVersion = QStringLiteral("the puzzle file was created by a later version of Tobbin Puzzle.");

bool isFinitePoint(QPointF point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

bool positiveSize(QSizeF size)
{
    return std::isfinite(size.width()) && std::isfinite(size.height()) && size.width() > 0 && size.height() > 0;
}

bool failWith(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

// Reads the board's items up to the closing `pcs`; false when the document ends first. A
// piece cut off in the middle is left out, with everything after it.
bool readItems(CCXmlDecoder &decoder, JPPuzzle *puzzle, PuzzleDocument &document)
{
    if (!decoder.startTag() || decoder.endTag())
        return true;
    while (decoder.getNextTag()) {
        if (IsClosingTag(decoder, kTagPcs))
            return true;
        if (!decoder.startTag())
            continue;
        bool whole = false;
        if (decoder.key() == kTagA) {
            std::unique_ptr<JPAssembly> assembly =
                JPAssembly::initWithXml(decoder, puzzle, document.pieceMap, document.pieces, &whole);
            document.items.push_back(assembly.get());
            document.assemblies.push_back(std::move(assembly));
        } else if (decoder.key() == kTagPc) {
            std::unique_ptr<JPPiece> piece = JPPiece::initWithXml(decoder, puzzle, &whole);
            if (!whole)
                return false;
            document.pieceMap.emplace(piece->pieceIndex(), piece.get());
            document.items.push_back(piece.get());
            document.pieces.push_back(std::move(piece));
        } else {
            if (!decoder.endTag())
                decoder.skipTag();
            continue;
        }
        if (!whole)
            return false;
    }
    return false;
}

// Whether the grid, the board and every item make sense for this picture. Piece outlines and
// assembly pictures are made to these sizes, so none may reach past the picture: a damaged
// number would otherwise ask for gigabytes of pixels.
bool isSound(const PuzzleDocument &document, QSizeF picture)
{
    const GridCoord grid = document.maxCoord;
    const int64_t count = grid.x * grid.y;
    if (grid.x < 1 || grid.y < 1 || grid.x > kMaxPieceCount || grid.y > kMaxPieceCount || count > kMaxPieceCount
        || document.layoutExtent.x < 1 || document.layoutExtent.y < 1
        || document.layoutExtent.x * document.layoutExtent.y > 1000000)
        return false;
    const QSizeF base = document.baseSize;
    if (!positiveSize(base) || base.width() > picture.width() || base.height() > picture.height()
        || !(document.protrusion > 0) || document.protrusion > std::min(base.width(), base.height()))
        return false;
    // Each piece once, in its own cell of the grid.
    if (document.pieceMap.size() != document.pieces.size())
        return false;
    const QRectF withinPicture = QRectF(QPointF(0, 0), picture).adjusted(-1, -1, 1, 1);
    for (const auto &[index, piece] : document.pieceMap) {
        const GridCoord c = piece->coord();
        if (index >= uint64_t(count) || c.x < 0 || c.y < 0 || c.x >= grid.x || c.y >= grid.y
            || !positiveSize(piece->rect().size()) || !withinPicture.contains(piece->rect()))
            return false;
    }
    std::set<uint64_t> assemblyIds;
    for (const auto &assembly : document.assemblies) {
        const uint64_t id = assembly->pieceIndex();
        if (id < kFirstAssemblyId || id > kLastAssemblyId || !assemblyIds.insert(id).second)
            return false;
    }
    return true;
}

// An assembly needs two members: a lone one becomes a loose piece again, none is dropped.
void takeApartLoneAssemblies(PuzzleDocument &document, const QString &folder)
{
    std::vector<JPPiece *> items;
    for (JPPiece *item : document.items) {
        auto *assembly = item->isAssembly() ? static_cast<JPAssembly *>(item) : nullptr;
        if (!assembly || assembly->pieces().size() >= 2) {
            items.push_back(item);
            continue;
        }
        LogString(QStringLiteral("Assembly %1 in %2 has %3 pieces; it was taken apart")
                      .arg(qulonglong(assembly->pieceIndex()))
                      .arg(folder)
                      .arg(assembly->pieces().size()));
        for (JPPiece *member : assembly->pieces()) {
            member->setAssembly(nullptr);
            member->setDraggedLocation(QPointF(-1.0, -1.0));
            items.push_back(member);
        }
        document.obsoleteImages.push_back(assembly->imagePath());
        document.repaired = true;
        std::erase_if(document.assemblies, [assembly](const auto &owned) { return owned.get() == assembly; });
    }
    document.items = std::move(items);
}

}

bool ReadPuzzleDocument(const QString &path, JPPuzzle *puzzle, PuzzleDocument &document, QString *reason)
{
    std::unique_ptr<CCXmlDecoder> decoder = CCXmlDecoder::initWithFile(path);
    if (!decoder)
        return failWith(reason, kDamaged);
    decoder->setKeyDecoder(PuzzleKeyTable());
    if (!decoder->getNextTag() || decoder->key() != kTagJigsaw)
        return failWith(reason, kDamaged);
    if (decoder->integerAttributeForTag(QStringLiteral("ver")) >= 2)
        return failWith(reason, kLaterVersion);

    bool reading = decoder->startTag() && !decoder->endTag();
    while (reading && decoder->getNextTag()) {
        switch (decoder->key()) {
        case kTagBsize:
            document.baseSize = SizeFromText(decoder->value());
            break;
        case kTagCols:
            DecodePositionList(decoder->value(), document.colPositions);
            break;
        case kTagRows:
            DecodePositionList(decoder->value(), document.rowPositions);
            break;
        case kTagEdges:
            document.edgesOnly = decoder->integerValue() != 0;
            break;
        case kTagRot:
            document.rotate = decoder->integerValue() != 0;
            break;
        case kTagPin:
            document.pinned = decoder->integerValue() != 0;
            break;
        case kTagGapb:
            document.gapBegin = GridFromText(decoder->value());
            break;
        case kTagGape:
            document.gapEnd = GridFromText(decoder->value());
            break;
        case kTagLsize:
            document.layoutExtent = GridFromText(decoder->value());
            break;
        case kTagMaxCoord:
            document.maxCoord = GridFromText(decoder->value());
            break;
        case kTagNexta:
            document.nextAssemblyId = decoder->longValue();
            break;
        case kTagPina:
            document.pinnedId = decoder->longValue();
            break;
        case kTagKnob:
            document.protrusion = double(decoder->longValue());
            break;
        case kTagScale:
            document.scale = double(decoder->longValue()) / 1000000000000.0;
            break;
        case kTagPcs:
            reading = readItems(*decoder, puzzle, document);
            document.truncated = !reading;
            break;
        default:
            break;
        }
    }
    if (reading && !decoder->error().isEmpty())
        document.truncated = true;
    return true;
}

bool CheckPuzzleDocument(PuzzleDocument &document, const JPPuzzle &puzzle, QString *reason)
{
    if (!isSound(document, puzzle.image() ? puzzle.image()->size() : QSizeF()))
        return failWith(reason, kDamaged);
    // A non-positive scale was never laid out; one above 1 can't come from a layout either.
    if (!(document.scale > 0 && document.scale <= 1.0))
        document.scale = 0.0;
    // The next assembly must never take a piece's number or an existing assembly's, nor one a
    // document can't hold: a counter outside the identifiers is recomputed.
    uint64_t next = kFirstAssemblyId;
    if (document.nextAssemblyId >= int64_t(kFirstAssemblyId) && document.nextAssemblyId <= int64_t(kLastAssemblyId))
        next = uint64_t(document.nextAssemblyId);
    for (const auto &assembly : document.assemblies)
        next = std::max(next, assembly->pieceIndex() + 1);
    document.nextAssemblyId = int64_t(next > kLastAssemblyId ? kFirstAssemblyId : next);
    for (const auto &piece : document.pieces) {
        // Quarter turns, any other number modulo a whole turn; members are upright.
        piece->setRotation(piece->assembly() ? 0 : piece->rotation() & 3);
        // A location that is not a number never came from a drag: the piece is laid out anew.
        if (!isFinitePoint(piece->draggedLocation()))
            piece->setDraggedLocation(QPointF(-1.0, -1.0));
    }
    for (const auto &assembly : document.assemblies)
        if (!isFinitePoint(assembly->draggedLocation()))
            assembly->setDraggedLocation(QPointF(0.0, 0.0));
    takeApartLoneAssemblies(document, puzzle.filePath());
    return true;
}
