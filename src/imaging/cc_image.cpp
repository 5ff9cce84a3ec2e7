#include "imaging/cc_image.h"

#include "imaging/image_decode.h"
#include "imaging/image_save.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace {

// Larger sides than this are a mistake, not a picture.
constexpr double kMaxPixelSide = 1'000'000;

std::unique_ptr<CCImage> fromRepresentations(std::vector<QImage> representations, QSizeF size)
{
    auto image = CCImage::initWithRepresentations(std::move(representations));
    if (!image)
        return nullptr;
    return image->newImageWithRequestedSize(size);
}

}

QSize PixelSizeForSize(QSizeF size)
{
    const double width = std::trunc(size.width());
    const double height = std::trunc(size.height());
    if (!(width >= 1 && height >= 1 && width <= kMaxPixelSide && height <= kMaxPixelSide)
        || width * height > double(kMaxImagePixels))
        return QSize();
    return QSize(int(width), int(height));
}

QImage ScaledBitmap(const QImage &bitmap, QSize pixels)
{
    if (bitmap.isNull() || pixels.isEmpty())
        return QImage();
    const QImage::Format format = bitmap.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (bitmap.size() == pixels)
        return bitmap.convertToFormat(format);
    return bitmap.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(format);
}

std::unique_ptr<CCImage> CCImage::initWithContentsOfFile(const QString &path, QSizeF size)
{
    // Every file is read as bytes first, which also covers the "ai" files that are decoded
    // from their raw bytes.
    const QByteArray bytes = ReadImageFileBytes(path);
    if (bytes.isEmpty())
        return nullptr;
    return initWithData(bytes, size);
}

std::unique_ptr<CCImage> CCImage::initWithData(const QByteArray &data, QSizeF size)
{
    return fromRepresentations(DecodeImageRepresentations(data), size);
}

std::unique_ptr<CCImage> CCImage::initWithPasteboard()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return nullptr;
    const QImage picture = QGuiApplication::clipboard()->image();
    if (picture.isNull() || qint64(picture.width()) * picture.height() > kMaxImagePixels)
        return nullptr;
    auto image = initWithCGImage(picture);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal scale = screen ? screen->devicePixelRatio() : 1.0;
    if (!image || scale <= 1.0)
        return image;
    return image->newImageWithRequestedSize(image->size() / scale);
}

std::unique_ptr<CCImage> CCImage::initWithCGImage(const QImage &image, QSizeF size)
{
    if (image.isNull())
        return nullptr;
    const QSizeF wanted(size.width() > 0 ? size.width() : image.width(),
                        size.height() > 0 ? size.height() : image.height());
    return fromRepresentations({image}, wanted);
}

std::unique_ptr<CCImage> CCImage::initWithRepresentations(std::vector<QImage> representations)
{
    std::erase_if(representations, [](const QImage &image) { return image.isNull(); });
    if (representations.empty())
        return nullptr;
    auto image = std::make_unique<CCImage>();
    image->m_representations = std::move(representations);
    image->cachedSize = image->sizeFromReps();
    return image;
}

std::unique_ptr<CCImage> CCImage::initWithSize(QSizeF size)
{
    if (!(size.width() > 0 && size.height() > 0))
        return nullptr;
    auto image = std::make_unique<CCImage>();
    image->cachedSize = size;
    return image;
}

std::unique_ptr<CCImage> CCImage::initWithImage(const CCImage &source, QSizeF size)
{
    ImageFileRecord record;
    record.type = ImageFileTypeAutomatic;
    record.quality = 1.0;
    if (!SaveImageCore(&source, record, size.width(), size.height()))
        return nullptr;
    return initWithData(record.data);
}

QSizeF CCImage::size() const
{
    if (cachedSize.width() != 0 && cachedSize.height() != 0)
        return cachedSize;
    return sizeFromReps();
}

QSizeF CCImage::sizeFromReps() const
{
    QSizeF result;
    bool found = false;
    for (const QImage &representation : m_representations) {
        if (!found || representation.width() < result.width()) {
            result = QSizeF(representation.size());
            found = true;
        }
    }
    return result;
}

std::unique_ptr<CCImage> CCImage::newImageWithRequestedSize(QSizeF size) const
{
    auto result = std::make_unique<CCImage>(*this);
    // QSizeF() is (-1, -1): anything not positive counts as "no size requested".
    if (!(size.width() > 0 && size.height() > 0))
        return result;
    result->cachedSize = size;
    if (m_representations.empty() || sizeFromReps() == size)
        return result;
    const QSize pixels = PixelSizeForSize(size);
    const QImage scaled = ScaledBitmap(representationForWidth(pixels.width()), pixels);
    if (scaled.isNull())
        return nullptr;
    result->m_representations = {scaled};
    return result;
}

void CCImage::drawInRectNormally(QPainter &painter, const QRectF &rect) const
{
    if (m_representations.empty() || rect.isEmpty())
        return;
    const QTransform &device = painter.combinedTransform();
    const qreal scale = std::sqrt(std::abs(device.determinant()));
    const QImage &bitmap = representationForWidth(rect.width() * scale);
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QTransform &world = painter.worldTransform();
    if (world.determinant() < 0 && world.m22() < 0) {
        // A vertically flipped target would show the picture upside down: flip it back.
        painter.translate(0, rect.top() + rect.bottom());
        painter.scale(1, -1);
    }
    painter.drawImage(rect, bitmap);
    painter.restore();
}

QStringList CCImage::fileExtensions()
{
    QStringList extensions;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        extensions << QString::fromLatin1(format).toLower();
    extensions.removeDuplicates();
    return extensions;
}

const QImage &CCImage::qimage() const
{
    static const QImage none;
    if (m_representations.empty())
        return none;
    const QImage *smallest = &m_representations.front();
    for (const QImage &representation : m_representations) {
        if (representation.width() < smallest->width())
            smallest = &representation;
    }
    return *smallest;
}

const QImage &CCImage::representationForWidth(qreal pixelWidth) const
{
    // The smallest bitmap that needs no enlarging, else the largest there is.
    const QImage *best = nullptr;
    for (const QImage &representation : m_representations) {
        if (!best) {
            best = &representation;
            continue;
        }
        const bool fits = representation.width() >= pixelWidth;
        const bool bestFits = best->width() >= pixelWidth;
        if ((fits && (!bestFits || representation.width() < best->width()))
            || (!fits && !bestFits && representation.width() > best->width()))
            best = &representation;
    }
    return best ? *best : qimage();
}

void CCImage::setImage(const QImage &image)
{
    m_representations.clear();
    if (!image.isNull())
        m_representations.push_back(image);
}
