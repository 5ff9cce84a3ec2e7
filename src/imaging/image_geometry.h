#pragma once

#include <QImage>
#include <QRectF>

#include <memory>

class CCImage;
class QPainter;

// Fits content's size into box, centred, never enlarged; the result's position and size are
// whole numbers, each floored in single precision.
void CenterRectangle(QRectF &content, const QRectF &box);

// Flips drawing vertically within rect: translate by (x, y + height), scale by (1, -1),
// translate by (-x, -y).
void FlipContextCore(QPainter &painter, const QRectF &rect);

// A transparent premultiplied ARGB32 bitmap of the image's size (each part truncated) to
// paint into; null for a missing image or a size no bitmap can have.
QImage GraphicsContextForImage(const CCImage *image);

// Drawing into an image. Lock starts a painter on a bitmap of the image's size holding its
// current picture and makes it this thread's current painter (CurrentQuartzContext); unlock
// ends it and makes the bitmap the image's only representation. Locks nest per thread; unlock
// does nothing unless the image holds the innermost lock of the calling thread, so lock and
// unlock must run on the same thread. A refused lock logs "Image lock failed" and gives false.
bool LockImageFocus(CCImage *image);
void UnlockImageFocus(CCImage *image);
// A copy of the image, locked; null when the copy can't be locked. Unlock the copy when done.
std::unique_ptr<CCImage> LockImageFocusCopy(const CCImage *image);
// The painter of this thread's innermost image lock, or null.
QPainter *CurrentQuartzContext();

// Scoped LockImageFocus / UnlockImageFocus:
//     if (ImageFocus focus(&image); focus) focus.painter().fillRect(...);
class ImageFocus
{
public:
    explicit ImageFocus(CCImage *image);
    ~ImageFocus();
    ImageFocus(const ImageFocus &) = delete;
    ImageFocus &operator=(const ImageFocus &) = delete;

    explicit operator bool() const { return m_painter != nullptr; }
    // Valid only while locked.
    QPainter &painter() const { return *m_painter; }

private:
    CCImage *m_image;
    QPainter *m_painter = nullptr;
};
