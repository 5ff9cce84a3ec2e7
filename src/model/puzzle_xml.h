#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

#include "model/grid_coord.h"
#include "support/cc_xml_decoder.h"

// Tag numbers of the puzzle document.
enum PuzzleTag : int {
    kTagA = 1,
    kTagBsize,
    kTagBnd,
    kTagCols,
    kTagX,
    kTagXs,
    kTagCoord,
    kTagDrag,
    kTagEdges,
    kTagGapb,
    kTagGape,
    kTagId,
    kTagLsize,
    kTagLoose,
    kTagMaxCoord,
    kTagNexta,
    kTagPc,
    kTagPcs,
    kTagPin,
    kTagPina,
    kTagKnob,
    kTagRect,
    kTagJigsaw,
    kTagRot,
    kTagRows,
    kTagScale,
    kTagSize,
    kTagVer,
};

// The 28 tag names of the puzzle document with their numbers ("a" 1 ... "ver" 28).
const CCXmlKeyTable &PuzzleKeyTable();
// Installs the table as the reader's class-wide key table (done once at start-up).
void InstallPuzzleKeyTable();

// True on the closing tag of key (an empty element has none).
inline bool IsClosingTag(const CCXmlDecoder &decoder, int key)
{
    return decoder.key() == key && !decoder.startTag();
}

// Text forms of the document.
QString NumberText(double value);
QString PointText(QPointF point);
QString SizeText(QSizeF size);
QString RectText(const QRectF &rect);
// Lenient readers: missing or unreadable numbers read as 0.
QPointF PointFromText(const QString &text);
// Grid values are whole numbers: each coordinate truncated toward zero.
GridCoord GridFromText(const QString &text);
QSizeF SizeFromText(const QString &text);
QRectF RectFromText(const QString &text);

void CreatePositionList(const std::vector<double> &positions, QString &text);
void DecodePositionList(const QString &text, std::vector<double> &positions);
