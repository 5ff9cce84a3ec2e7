#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QPainter;

// The bitmap size for a floating-point size: each part truncated; (0, 0) when either part is
// below one pixel or the bitmap would be absurdly large.
QSize PixelSizeForSize(QSizeF size);
// The bitmap drawn scaled to fill pixels with smooth filtering, premultiplied ARGB32 when it
// has alpha and RGB32 otherwise; null when it can't be made.
QImage ScaledBitmap(const QImage &bitmap, QSize pixels);

// The system's image object: one or more bitmaps of the same picture (an icon file's sizes, a
// TIFF's pages) and a size in pixels. The size is that of the smallest representation unless
// a size was set explicitly (cachedSize). A plain value: copies share pixels until written.
// Not locked; one thread at a time per object.
class CCImage
{
public:
    CCImage() = default;

    // Decodes a file (every type Qt reads, upright by its orientation tag), then, when size is
    // not zero, re-renders at that size. Null when unreadable, truncated or larger than
    // 400 megapixels.
    static std::unique_ptr<CCImage> initWithContentsOfFile(const QString &path, QSizeF size = {});
    static std::unique_ptr<CCImage> initWithData(const QByteArray &data, QSizeF size = {});
    // The clipboard's picture; on a high-density screen its size is divided by the screen's
    // pixel ratio and the picture re-rendered at that size. Main thread only.
    static std::unique_ptr<CCImage> initWithPasteboard();
    // Wraps a bitmap; a width or height of 0 in size takes the bitmap's own, then the bitmap
    // is re-rendered when the size differs from its own.
    static std::unique_ptr<CCImage> initWithCGImage(const QImage &image, QSizeF size = {});
    // Several bitmaps of one picture; null ones are dropped, none left gives null.
    static std::unique_ptr<CCImage> initWithRepresentations(std::vector<QImage> representations);
    // An image with no pixels yet, to be drawn into (LockImageFocus); null for an empty size.
    static std::unique_ptr<CCImage> initWithSize(QSizeF size);
    // Encodes the source in memory (PNG when it has alpha, else JPEG at full quality) at size
    // (zero: its own) and decodes the result.
    static std::unique_ptr<CCImage> initWithImage(const CCImage &source, QSizeF size = {});

    // The explicit size when both parts are non-zero, else sizeFromReps().
    QSizeF size() const;
    // The pixel size of the narrowest representation, the first of equals; (0, 0) for none.
    QSizeF sizeFromReps() const;
    // A copy sized to size: re-rendered (smooth scaling) when the representations' size
    // differs; a plain copy for a zero (or negative) width or height. Null when no bitmap can be made.
    std::unique_ptr<CCImage> newImageWithRequestedSize(QSizeF size) const;
    // Draws the whole image into rect, source-over at full opacity, upright even when the
    // painter's transform is flipped vertically.
    void drawInRectNormally(QPainter &painter, const QRectF &rect) const;
    // Lower-case file extensions of every picture type Qt's readers know.
    static QStringList fileExtensions();

    // The representation that defines the size; a null QImage for an image not yet drawn.
    const QImage &qimage() const;
    const std::vector<QImage> &representations() const { return m_representations; }
    // The representation best suited to fill pixelWidth device pixels.
    const QImage &representationForWidth(qreal pixelWidth) const;
    bool hasAlpha() const { return qimage().hasAlphaChannel(); }
    // Replaces every representation with one bitmap, keeping the size.
    void setImage(const QImage &image);

private:
    std::vector<QImage> m_representations;
    QSizeF cachedSize;
};
