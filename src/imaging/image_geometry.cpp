#include "imaging/image_geometry.h"

#include "imaging/cc_image.h"
#include "support/log.h"

#include <QPainter>

#include <cmath>
#include <vector>

namespace {

struct Focus
{
    CCImage *image = nullptr;
    QImage canvas;
    QPainter painter;
};

// Entries live on the heap: a painter keeps the address of the bitmap it paints on.
thread_local std::vector<std::unique_ptr<Focus>> t_focusStack;

double floorSingle(double value)
{
    return std::floor(static_cast<float>(value));
}

}

void CenterRectangle(QRectF &content, const QRectF &box)
{
    double width = content.width();
    double height = content.height();
    if (width > box.width() || height > box.height()) {
        const double fittedHeight = box.width() * height / width;
        if (fittedHeight > box.height()) {
            width = box.height() * width / height;
            height = box.height();
        } else {
            width = box.width();
            height = fittedHeight;
        }
    }
    content = QRectF(floorSingle(box.x() + (box.width() - width) / 2),
                     floorSingle(box.y() + (box.height() - height) / 2), floorSingle(width), floorSingle(height));
}

void FlipContextCore(QPainter &painter, const QRectF &rect)
{
    painter.translate(rect.x(), rect.y() + rect.height());
    painter.scale(1, -1);
    painter.translate(-rect.x(), -rect.y());
}

QImage GraphicsContextForImage(const CCImage *image)
{
    if (!image)
        return QImage();
    const QSize pixels = PixelSizeForSize(image->size());
    if (pixels.isEmpty())
        return QImage();
    QImage canvas(pixels, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return QImage();
    canvas.fill(Qt::transparent);
    return canvas;
}

bool LockImageFocus(CCImage *image)
{
    auto focus = std::make_unique<Focus>();
    focus->image = image;
    focus->canvas = GraphicsContextForImage(image);
    if (focus->canvas.isNull() || !focus->painter.begin(&focus->canvas)) {
        LogString(QStringLiteral("Image lock failed"));
        return false;
    }
    image->drawInRectNormally(focus->painter, QRectF(focus->canvas.rect()));
    t_focusStack.push_back(std::move(focus));
    return true;
}

void UnlockImageFocus(CCImage *image)
{
    if (t_focusStack.empty() || t_focusStack.back()->image != image)
        return;
    std::unique_ptr<Focus> focus = std::move(t_focusStack.back());
    t_focusStack.pop_back();
    focus->painter.end();
    image->setImage(focus->canvas);
}

std::unique_ptr<CCImage> LockImageFocusCopy(const CCImage *image)
{
    if (!image)
        return nullptr;
    auto copy = std::make_unique<CCImage>(*image);
    if (!LockImageFocus(copy.get()))
        return nullptr;
    return copy;
}

QPainter *CurrentQuartzContext()
{
    return t_focusStack.empty() ? nullptr : &t_focusStack.back()->painter;
}

ImageFocus::ImageFocus(CCImage *image)
    : m_image(image)
{
    if (LockImageFocus(image))
        m_painter = CurrentQuartzContext();
}

ImageFocus::~ImageFocus()
{
    if (m_painter)
        UnlockImageFocus(m_image);
}
