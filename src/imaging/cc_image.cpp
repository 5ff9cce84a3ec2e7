#include "imaging/cc_image.h"

std::unique_ptr<CCImage> CCImage::initWithCGImage(const QImage &image, QSizeF size)
{
    if (image.isNull())
        return nullptr;
    auto result = std::make_unique<CCImage>();
    result->m_image = image;
    result->cachedSize = QSizeF(size.width() > 0 ? size.width() : image.width(),
                                size.height() > 0 ? size.height() : image.height());
    return result;
}

QSizeF CCImage::size() const
{
    return cachedSize;
}
