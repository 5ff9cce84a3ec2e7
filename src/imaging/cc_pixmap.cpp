#include "imaging/cc_pixmap.h"

#include "imaging/cc_image.h"
#include "imaging/pixel_kernels.h"

#include <QPainter>

#include <bit>
#include <cstring>

// Pixel words are read and written as native 32-bit values; the byte order of the layout
// (alpha at the lowest address) holds on little-endian machines only.
static_assert(std::endian::native == std::endian::little);

namespace {

template <typename Kernel>
void convertRows(uint8_t *destination, qsizetype destinationStride, const uint8_t *source, qsizetype sourceStride,
                 int width, int height, Kernel kernel)
{
    for (int y = 0; y < height; ++y)
        kernel(reinterpret_cast<uint32_t *>(destination + y * destinationStride),
               reinterpret_cast<const uint32_t *>(source + y * sourceStride), width);
}

// Copies an image of the bitmap's size into it, converting to our layout.
bool importPixels(PixelBitmap &bitmap, const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_ARGB32_Premultiplied:
        convertRows(bitmap.bytes(), bitmap.bytesPerRow(), image.constBits(), image.bytesPerLine(), bitmap.width(),
                    bitmap.height(), PixelsFromArgb);
        return true;
    case QImage::Format_RGB32:
        convertRows(bitmap.bytes(), bitmap.bytesPerRow(), image.constBits(), image.bytesPerLine(), bitmap.width(),
                    bitmap.height(), PixelsFromRgb);
        return true;
    default: {
        const QImage converted = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        return !converted.isNull() && importPixels(bitmap, converted);
    }
    }
}

// Draws the image over the whole bitmap, upright, source-over onto the cleared pixels.
bool drawImage(PixelBitmap &bitmap, const QImage &image)
{
    if (image.isNull())
        return false;
    if (image.width() == bitmap.width() && image.height() == bitmap.height())
        return importPixels(bitmap, image);
    QImage canvas(bitmap.width(), bitmap.height(), QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return false;
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    if (!painter.isActive())
        return false;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QRectF(0, 0, bitmap.width(), bitmap.height()), image);
    painter.end();
    return importPixels(bitmap, canvas);
}

// Truncates toward zero; none for coordinates that no buffer can hold.
std::optional<int> truncatedCoordinate(double value)
{
    if (!(value > -2147483648.0 && value < 2147483648.0))
        return std::nullopt;
    return static_cast<int>(value);
}

}

PixelBitmap::PixelBitmap(std::unique_ptr<uint8_t, FreeBytes> bytes, int width, int height, qsizetype bytesPerRow)
    : m_bytes(std::move(bytes))
    , m_width(width)
    , m_height(height)
    , m_bytesPerRow(bytesPerRow)
{
}

qsizetype BytesPerRowForWidth(int64_t width)
{
    return (width * 4 + 15) & ~qsizetype(15);
}

std::optional<PixelBitmap> CreateQuartzBitmap(int64_t width, int64_t height)
{
    if (width < 1 || height < 1 || width > kMaxBitmapPixels || height > kMaxBitmapPixels
        || width * height > kMaxBitmapPixels)
        return std::nullopt;
    const qsizetype bytesPerRow = BytesPerRowForWidth(width);
    std::unique_ptr<uint8_t, PixelBitmap::FreeBytes> bytes(
        static_cast<uint8_t *>(std::calloc(size_t(bytesPerRow) * size_t(height), 1)));
    if (!bytes)
        return std::nullopt;
    return PixelBitmap(std::move(bytes), int(width), int(height), bytesPerRow);
}

CCPixmap::CCPixmap(PixelBitmap bitmap)
    : m_bitmap(std::move(bitmap))
{
}

std::unique_ptr<CCPixmap> CCPixmap::initWithSize(QSizeF size)
{
    const double width = size.width(), height = size.height();
    // Also refuses NaN, negative and fractional sizes below one pixel.
    if (!(width >= 1.0 && height >= 1.0 && width <= double(kMaxBitmapPixels) && height <= double(kMaxBitmapPixels)))
        return nullptr;
    auto bitmap = CreateQuartzBitmap(int64_t(width), int64_t(height));
    if (!bitmap)
        return nullptr;
    return std::unique_ptr<CCPixmap>(new CCPixmap(std::move(*bitmap)));
}

std::unique_ptr<CCPixmap> CCPixmap::initWithImage(const CCImage &image)
{
    auto pixmap = initWithSize(image.size());
    if (!pixmap || !drawImage(pixmap->m_bitmap, image.qimage()))
        return nullptr;
    return pixmap;
}

std::unique_ptr<CCPixmap> CCPixmap::initWithQuartzImage(const QImage &image)
{
    auto pixmap = initWithSize(QSizeF(image.width(), image.height()));
    if (!pixmap || !drawImage(pixmap->m_bitmap, image))
        return nullptr;
    return pixmap;
}

std::unique_ptr<CCImage> CCPixmap::createImage() const
{
    const QImage image = createCGImage();
    if (image.isNull())
        return nullptr;
    return CCImage::initWithCGImage(image);
}

QImage CCPixmap::createCGImage() const
{
    QImage image(width(), height(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    convertRows(image.bits(), image.bytesPerLine(), bytes(), bytesPerRow(), width(), height(), ArgbFromPixels);
    return image;
}

std::unique_ptr<CCPixmap> CCPixmap::copy() const
{
    auto result = initWithSize(size());
    if (result)
        result->copyPixelsFromBitmap(m_bitmap);
    return result;
}

void CCPixmap::copyPixelsFromBitmap(const PixelBitmap &source)
{
    if (source.width() != width() || source.height() != height() || source.bytesPerRow() != bytesPerRow())
        return;
    if (source.bytes() != bytes())
        std::memcpy(bytes(), source.bytes(), size_t(source.byteCount()));
    m_alphaSet = false;
}

std::optional<Pixel> CCPixmap::getPixelColor(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width() || y >= height())
        return std::nullopt;
    const Pixel pixel = m_bitmap.row(y)[x];
    if (m_pixmapMode == 1) {
        const uint32_t gray = 255 - PixelAlpha(pixel);
        return PixelFromKolor(MakeKolor(gray, gray, gray, 100));
    }
    return pixel;
}

Kolor CCPixmap::kolorAtPoint(QPointF point) const
{
    const auto x = truncatedCoordinate(point.x()), y = truncatedCoordinate(point.y());
    if (!x || !y)
        return kNoKolor;
    return KolorFromPixel(getPixelColor(*x, *y).value_or(0));
}

void CCPixmap::setColor(Kolor kolor, QPointF point)
{
    const auto x = truncatedCoordinate(point.x()), y = truncatedCoordinate(point.y());
    if (!x || !y || *x < 0 || *y < 0 || *x >= width() || *y >= height())
        return;
    m_bitmap.row(*y)[*x] = PixelFromKolor(kolor);
}

bool CCPixmap::scanForAlpha() const
{
    for (int y = 0; y < height(); ++y)
        if (!AllOpaque(m_bitmap.row(y), width()))
            return true;
    return false;
}

bool CCPixmap::hasAlpha()
{
    if (!m_alphaSet) {
        m_hasAlpha = scanForAlpha();
        m_alphaSet = true;
    }
    return m_hasAlpha;
}

void CCPixmap::setAlpha(bool hasAlpha)
{
    m_alphaSet = true;
    m_hasAlpha = hasAlpha;
}

int64_t CCPixmap::pixelCount() const
{
    // An unknown answer is worked out here rather than taken from the unset field.
    if (!(m_alphaSet ? m_hasAlpha : scanForAlpha()))
        return int64_t(width()) * height();
    int64_t count = 0;
    for (int y = 0; y < height(); ++y)
        count += CountVisible(m_bitmap.row(y), width());
    return count;
}

QPoint CCPixmap::centerOfMass() const
{
    if (!(m_alphaSet ? m_hasAlpha : scanForAlpha()))
        return QPoint(width() / 2, height() / 2);
    // Sums of x + 1 and y + 1 over the counted pixels, as the column and row counts weigh them.
    int64_t count = 0, sumX = 0, sumY = 0;
    for (int y = 0; y < height(); ++y) {
        const Pixel *row = m_bitmap.row(y);
        int64_t rowCount = 0;
        for (int x = 0; x < width(); ++x) {
            const int64_t present = PixelAlpha(row[x]) != 0;
            rowCount += present;
            sumX += present * (x + 1);
        }
        count += rowCount;
        sumY += rowCount * (y + 1);
    }
    if (count == 0)
        return QPoint(0, 0);
    return QPoint(int(sumX / count - 1), int(sumY / count - 1));
}
