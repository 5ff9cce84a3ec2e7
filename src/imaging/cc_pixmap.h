#pragma once

#include "imaging/kolor.h"

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSizeF>

#include <cstdlib>
#include <memory>
#include <optional>

class CCImage;
class QPainterPath;

// Largest bitmap we agree to allocate; anything bigger is a damaged or hostile picture.
inline constexpr int64_t kMaxBitmapPixels = 400'000'000;

// Pixel memory: width x height premultiplied pixels in top-down rows. Pixel (x, y) lies
// at byte y * bytesPerRow + x * 4, with bytes alpha, blue, green, red in memory; rows are
// padded to a multiple of 16 bytes. Owns its memory; move-only.
class PixelBitmap
{
public:
    int width() const { return m_width; }
    int height() const { return m_height; }
    qsizetype bytesPerRow() const { return m_bytesPerRow; }
    qsizetype byteCount() const { return m_bytesPerRow * m_height; }
    uint8_t *bytes() { return m_bytes.get(); }
    const uint8_t *bytes() const { return m_bytes.get(); }
    Pixel *row(int y) { return reinterpret_cast<Pixel *>(m_bytes.get() + y * m_bytesPerRow); }
    const Pixel *row(int y) const { return reinterpret_cast<const Pixel *>(m_bytes.get() + y * m_bytesPerRow); }

private:
    friend std::optional<PixelBitmap> CreateQuartzBitmap(int64_t width, int64_t height);
    struct FreeBytes
    {
        void operator()(uint8_t *bytes) const { std::free(bytes); }
    };
    PixelBitmap(std::unique_ptr<uint8_t, FreeBytes> bytes, int width, int height, qsizetype bytesPerRow);

    std::unique_ptr<uint8_t, FreeBytes> m_bytes;
    int m_width = 0;
    int m_height = 0;
    qsizetype m_bytesPerRow = 0;
};

// width * 4 rounded up to a multiple of 16.
qsizetype BytesPerRowForWidth(int64_t width);
// A cleared (all transparent) bitmap; none for a size below 1, above kMaxBitmapPixels
// or when memory runs out.
std::optional<PixelBitmap> CreateQuartzBitmap(int64_t width, int64_t height);

// The pixel buffer. Not locked: any number of threads may read one buffer at once
// (the const operations), but a buffer that is being changed belongs to one thread.
class CCPixmap
{
public:
    // None for a width or height of 0 (or below 1 after truncation), or too big.
    static std::unique_ptr<CCPixmap> initWithSize(QSizeF size);
    // The image drawn upright into a buffer of the image's size.
    static std::unique_ptr<CCPixmap> initWithImage(const CCImage &image);
    static std::unique_ptr<CCPixmap> initWithQuartzImage(const QImage &image);

    // Snapshots of the current pixels; null when memory runs out.
    std::unique_ptr<CCImage> createImage() const;
    // Format_ARGB32_Premultiplied, top row first.
    QImage createCGImage() const;
    std::unique_ptr<CCPixmap> copy() const;
    // Copies every byte when width, height and bytes per row match; otherwise nothing.
    void copyPixelsFromBitmap(const PixelBitmap &source);

    QSizeF size() const { return QSizeF(width(), height()); }
    int width() const { return m_bitmap.width(); }
    int height() const { return m_bitmap.height(); }
    qsizetype bytesPerRow() const { return m_bitmap.bytesPerRow(); }
    uint8_t *bytes() { return m_bitmap.bytes(); }
    const uint8_t *bytes() const { return m_bitmap.bytes(); }
    PixelBitmap &bitmap() { return m_bitmap; }
    const PixelBitmap &bitmap() const { return m_bitmap; }

    // The stored pixel, or in mode 1 its alpha as an opaque grey; none outside the buffer.
    std::optional<Pixel> getPixelColor(int x, int y) const;
    // kNoKolor outside the buffer. Coordinates are truncated toward zero.
    Kolor kolorAtPoint(QPointF point) const;
    // Ignored outside the buffer; leaves the hasAlpha cache alone.
    void setColor(Kolor kolor, QPointF point);

    // True when some pixel is not fully opaque; scans once, then answers from the cache.
    bool hasAlpha();
    // Records a known answer for hasAlpha.
    void setAlpha(bool hasAlpha);
    // Pixels with non-zero alpha.
    int64_t pixelCount() const;
    // The mean position of the pixels with non-zero alpha, in whole pixels.
    QPoint centerOfMass() const;

    // Display mode: 0 normal, 1 mask view, 2 opaque view.
    uint32_t pixmapMode() const { return m_pixmapMode; }
    void setPixmapMode(uint32_t mode) { m_pixmapMode = mode; }

    // The pixels at integer points inside the path (non-zero winding) in a new buffer the
    // size of the path's rounded bounds; none when nothing was copied. origin receives the
    // first copied column and row. Only reads this buffer.
    std::unique_ptr<CCPixmap> createPixmapForBezier(const QPainterPath &path, QPointF *origin = nullptr) const;
    // The same over a box of the caller's choosing (in this buffer's pixels) instead of the
    // path's rounded bounds.
    std::unique_ptr<CCPixmap> createPixmapForBezier(const QPainterPath &path, const QRect &box,
                                                    QPointF *origin = nullptr) const;
    // Rewrites every non-transparent pixel with a transparent four-neighbour, or on the
    // buffer's border, to edge; the others to interior, or leaves them when both are equal.
    void colorEdgesWith(Pixel edge, Pixel interior);
    // Black rim, white inside, transparent outside.
    void convertToMask();
    std::unique_ptr<CCPixmap> createMaskPixmap() const;

private:
    explicit CCPixmap(PixelBitmap bitmap);
    bool scanForAlpha() const;

    PixelBitmap m_bitmap;
    uint32_t m_pixmapMode = 0;
    bool m_alphaSet = false;
    bool m_hasAlpha = false;
};
