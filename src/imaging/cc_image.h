#pragma once

#include <QImage>
#include <QSizeF>

#include <memory>

// The system's image object: a decoded picture that reports its size in pixels.
// Holds its pixels in a QImage (premultiplied ARGB32 where it was drawn by us).
class CCImage
{
public:
    // Wraps a bitmap; a width or height of 0 in size takes the bitmap's own.
    static std::unique_ptr<CCImage> initWithCGImage(const QImage &image, QSizeF size = {});

    const QImage &qimage() const { return m_image; }
    QSizeF size() const;

private:
    QImage m_image;
    QSizeF cachedSize;
};
