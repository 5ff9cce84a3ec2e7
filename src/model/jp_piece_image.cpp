#include "model/jp_piece.h"

#include "imaging/cc_image.h"
#include "imaging/cc_pixmap.h"
#include "imaging/kolor.h"
#include "imaging/png_writer.h"
#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_style.h"
#include "support/log.h"

#include <QPainter>
#include <QTransform>

#include <cmath>

namespace {

// Rim and interior value: the rim turns mid-grey, the inside keeps the picture.
constexpr Pixel kRimGrey = 0x808080FF;


}

QString JPPiece::imagePath() const
{
    return m_puzzle->imagePathForIndex(m_pieceIndex);
}

bool JPPiece::createImageFromPixmap(const CCPixmap &picture)
{
    m_scaleForBezier = 1.0;
    createOutline();
    std::unique_ptr<CCPixmap> cut = picture.createPixmapForBezier(pictureOutline(), pixelBox());
    if (!cut)
        return false;
    cut->colorEdgesWith(kRimGrey, kRimGrey);
    // Written straight from the cut-out's pixels: the hot path of making a puzzle.
    const bool written = WritePngFromPixels(imagePath(), cut->bytes(), cut->width(), cut->height(), cut->bytesPerRow());
    m_image = cut->createImage();
    return written && m_image;
}

void JPPiece::loadImage()
{
    m_image = CCImage::initWithContentsOfFile(imagePath());
    if (m_image)
        return;
    if (isAssembly())
        LogString(QStringLiteral("Missing image in %1 (%2) for assembly %3")
                      .arg(m_puzzle->name())
                      .arg(m_puzzle->pieceCount())
                      .arg(qulonglong(m_pieceIndex)));
    else
        LogString(QStringLiteral("Missing image in %1 (%2) for piece (%3,%4)")
                      .arg(m_puzzle->name())
                      .arg(m_puzzle->pieceCount())
                      .arg(m_coord.x)
                      .arg(m_coord.y));
}

void JPPiece::drawSelected(QPainter &painter, bool selected, bool dimmed)
{
    const QRectF rect = enclosingRect(m_boardLocation, false);
    if (m_rotation != 0 && m_puzzle->rotate()) {
        painter.save();
        painter.translate(m_boardLocation);
        painter.rotate(double(m_rotation & 3) * 90.0);
        painter.translate(-m_boardLocation);
        drawInRect(painter, rect, selected, dimmed);
        painter.restore();
    } else {
        drawInRect(painter, rect, selected, dimmed);
    }
}

void JPPiece::drawInRect(QPainter &painter, const QRectF &rect, bool selected, bool dimmed)
{
    // The image and the outline are both placed where the picture puts them, so they line
    // up with each other and with the neighbours at any scale.
    if (!dimmed && !m_assembly && m_image)
        m_image->drawInRectNormally(painter, imageRectInEnclosingRect(rect));
    if (m_fullBezierWidth == 0.0) {
        m_scaleForBezier = 1.0;
        createOutline();
    }
    if (!(selected || dimmed))
        return;
    const QPainterPath outline = outlineInEnclosingRect(rect);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    if (selected) {
        painter.strokePath(outline, QPen(QColor(Qt::yellow), 6.0));
        painter.strokePath(outline, QPen(GrayColor(7), 2.0));
    } else {
        painter.strokePath(outline, QPen(OutlineColor(), 1.0));
    }
    painter.restore();
}
