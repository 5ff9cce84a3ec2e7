#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_document.h"
#include "model/puzzle_xml.h"

#include "imaging/image_write_queue.h"

#include "support/cc_xml_encoder.h"
#include "support/helpers.h"
#include "support/log.h"
#include "support/property_list.h"
#include "support/puzzle_keys.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

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
    auto piece = std::make_unique<JPPiece>(puzzle);
    const int id = decoder.integerAttributeForTag(QStringLiteral("id"));
    piece->m_pieceIndex = id < 0 ? uint64_t(-1) : uint64_t(id);
    piece->m_rotation = 0;
    bool closed = decoder.endTag(); // <pc/>: nothing inside
    while (!closed && decoder.getNextTag()) {
        if (IsClosingTag(decoder, kTagPc)) {
            closed = true;
            break;
        }
        switch (decoder.key()) {
        case kTagRect:
            piece->m_rect = RectFromText(decoder.value());
            break;
        case kTagCoord:
            piece->m_coord = GridFromText(decoder.value());
            break;
        case kTagLoose:
            piece->m_looseCoord = GridFromText(decoder.value());
            break;
        case kTagDrag:
            piece->m_draggedLocation = PointFromText(decoder.value());
            break;
        case kTagRot:
            piece->m_rotation = uint64_t(decoder.integerValue());
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
            closed = IsClosingTag(decoder, kTagPc);
            break;
        }
        default:
            break;
        }
    }
    if (complete)
        *complete = closed;
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
    PuzzleDocument document;
    if (!ReadPuzzleDocument(path, this, document, reason) || !CheckPuzzleDocument(document, *this, reason))
        return false;
    adoptDocument(document);
    if (document.truncated)
        LogString(QStringLiteral("Puzzle file \"%1\" ends early; read %2 items").arg(path).arg(m_pieces.size()));
    return true;
}

void JPPuzzle::adoptDocument(PuzzleDocument &document)
{
    m_maxCoord = document.maxCoord;
    m_layoutExtent = document.layoutExtent;
    m_gapBegin = document.gapBegin;
    m_gapEnd = document.gapEnd;
    m_baseSize = document.baseSize;
    m_protrusion = document.protrusion;
    m_scale = document.scale;
    m_rotate = document.rotate;
    m_edgesOnly = document.edgesOnly;
    m_pinned = document.pinned;
    m_nextAssemblyId = uint64_t(document.nextAssemblyId);
    m_colPositions = std::move(document.colPositions);
    m_rowPositions = std::move(document.rowPositions);
    m_documentTruncated = document.truncated;
    m_dirty = document.repaired;
    for (const QString &obsolete : document.obsoleteImages)
        addFileToDelete(obsolete);

    // Pictures are read only now that the grid they belong to is known to be sound.
    m_allPieces = std::move(document.pieces);
    std::sort(m_allPieces.begin(), m_allPieces.end(),
              [](const auto &a, const auto &b) { return a->pieceIndex() < b->pieceIndex(); });
    for (const auto &piece : m_allPieces)
        piece->loadImage();
    m_originPiece = pieceWithIndex(0);
    mapPieceIndexes(document.items, document.pieceMap);
    m_pieces = document.items;
    for (auto &owned : document.assemblies) {
        JPAssembly *assembly = adoptAssembly(std::move(owned));
        if (document.pinnedId > 0 && assembly->pieceIndex() == uint64_t(document.pinnedId))
            m_pinnedAssembly = assembly;
        assembly->loadImage();
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
