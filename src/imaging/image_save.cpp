#include "imaging/image_save.h"

#include "imaging/cc_image.h"
#include "imaging/image_geometry.h"
#include "imaging/png_writer.h"
#include "support/helpers.h"
#include "support/log.h"
#include "support/paths.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kThumbnailSide = 200.0;
constexpr double kThumbnailQuality = 0.7;
// A quality of exactly 0 would read as "encoder default" to some HEIC encoders.
constexpr double kSmallestHeicQuality = 0.0000002;
constexpr int kTiffLzwCompression = 1;
constexpr int kPdfPointsPerInch = 72;

const QString kQualityKey = QStringLiteral("quality");
const QString kCompressionKey = QStringLiteral("compression");

bool sameText(const QString &a, const QLatin1String &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

uint32_t automaticType(const QString &path, bool hasAlpha)
{
    const QString extension = path.isEmpty() ? QString() : pathExtension(path);
    if (extension.isEmpty())
        return hasAlpha ? ImageFileTypePNG : ImageFileTypeJPEG;
    if (sameText(extension, QLatin1String("png")))
        return ImageFileTypePNG;
    if (!hasAlpha || sameText(extension, QLatin1String("jpg")))
        return ImageFileTypeJPEG;
    return ImageFileTypeTIFF;
}

int writerQuality(double quality)
{
    return int(std::lround(quality * 100));
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString withFileName(const QString &path, const QString &name)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? name : path.left(slash + 1) + name;
}

// Fills in the format, its options and extension, and settles the path's extension and name.
void setImageFileInfo(ImageFileRecord &record)
{
    record.properties.clear();
    switch (record.type) {
    case ImageFileTypeHEIC: {
        record.extension = QStringLiteral("heic");
        record.typeIdentifier = QStringLiteral("public.heic");
        double quality = record.quality <= 0 ? kSmallestHeicQuality : std::min(record.quality, 1.0);
        record.properties.insert(kQualityKey, writerQuality(quality));
        break;
    }
    case ImageFileTypeJPEG:
        record.extension = QStringLiteral("jpg");
        record.typeIdentifier = QStringLiteral("public.jpeg");
        record.fileType = BitmapFileTypeJPEG;
        record.properties.insert(kQualityKey, writerQuality(std::clamp(record.quality, 0.0, 1.0)));
        break;
    case ImageFileTypePDF:
        record.extension = QStringLiteral("pdf");
        record.typeIdentifier = QStringLiteral("com.adobe.pdf");
        break;
    case ImageFileTypePNG:
        record.extension = QStringLiteral("png");
        record.typeIdentifier = QStringLiteral("public.png");
        record.fileType = BitmapFileTypePNG;
        break;
    default:
        record.extension = QStringLiteral("tiff");
        record.typeIdentifier = QStringLiteral("public.tiff");
        record.fileType = BitmapFileTypeTIFF;
        if (record.quality >= 1.0)
            record.properties.insert(kCompressionKey, kTiffLzwCompression);
        break;
    }

    if (record.path.isEmpty())
        return;
    if (pathExtension(record.path).compare(record.extension, Qt::CaseInsensitive) != 0)
        record.path = stringByReplacingExtension(record.path, record.extension);
    if (record.unique) {
        const QString name = UniqueName(fileNameMinusExtension(record.path), record.extension, folderOf(record.path));
        record.path = withFileName(record.path, name);
    }
}

QByteArray encodeWithQt(const QImage &bitmap, const QByteArray &format, const QVariantMap &properties)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return QByteArray();
    QImageWriter writer(&buffer, format);
    if (properties.contains(kQualityKey))
        writer.setQuality(properties.value(kQualityKey).toInt());
    writer.setCompression(properties.value(kCompressionKey, 0).toInt());
    if (!writer.write(bitmap))
        return QByteArray();
    return bytes;
}

QByteArray heicFormat()
{
    const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
    for (const char *name : {"heic", "heif"}) {
        if (formats.contains(name))
            return name;
    }
    return QByteArray();
}

QByteArray encodePdf(const QImage &bitmap, const QRectF &rectangle)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return QByteArray();
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfPointsPerInch);
        const QPageSize pageSize(rectangle.size(), QPageSize::Point, QString(), QPageSize::ExactMatch);
        if (!writer.setPageLayout(QPageLayout(pageSize, QPageLayout::Portrait, QMarginsF())))
            return QByteArray();
        QPainter painter;
        if (!painter.begin(&writer))
            return QByteArray();
        painter.setClipRect(rectangle);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rectangle, bitmap);
        if (!painter.end())
            return QByteArray();
    }
    return bytes;
}

QByteArray encodeBitmap(const QImage &bitmap, const ImageFileRecord &record)
{
    switch (record.type) {
    case ImageFileTypeHEIC: {
        const QByteArray format = heicFormat();
        return format.isEmpty() ? QByteArray() : encodeWithQt(bitmap, format, record.properties);
    }
    case ImageFileTypeJPEG:
        return encodeWithQt(bitmap.hasAlphaChannel() ? bitmap.convertToFormat(QImage::Format_RGB32) : bitmap, "jpeg",
                            record.properties);
    case ImageFileTypePNG:
        return EncodePng(bitmap);
    default:
        return encodeWithQt(bitmap, "tiff", record.properties);
    }
}

// For the bitmap encoder: a representation of exactly the pixel size, the last one first.
QImage exactRepresentation(const CCImage &image, QSize pixels)
{
    const std::vector<QImage> &representations = image.representations();
    for (auto it = representations.rbegin(); it != representations.rend(); ++it) {
        if (it->size() == pixels)
            return *it;
    }
    return QImage();
}

}

bool SaveImageCore(const CCImage *image, ImageFileRecord &record, double width, double height)
{
    record.writeFailed = false;
    record.data.clear();
    if (!image || image->representations().empty())
        return false;
    const QSizeF own = image->size();
    const QSizeF requested = width > 0 && height > 0 ? QSizeF(width, height) : own;
    record.rectangle = QRectF(QPointF(0, 0), requested);
    const QSize pixels = PixelSizeForSize(requested);
    if (pixels.isEmpty())
        return false;

    QImage bitmap;
    const bool bitmapEncoderType = record.type == ImageFileTypeJPEG || record.type >= ImageFileTypePNG;
    if (bitmapEncoderType && requested == own)
        bitmap = exactRepresentation(*image, pixels);
    if (bitmap.isNull()) {
        bitmap = image->representations().front();
        if (record.type == ImageFileTypeAutomatic)
            record.type = automaticType(record.path, bitmap.hasAlphaChannel());
    }
    setImageFileInfo(record);

    QByteArray bytes;
    if (record.type == ImageFileTypePDF) {
        bytes = encodePdf(bitmap, record.rectangle);
    } else {
        if (bitmap.size() != pixels)
            bitmap = ScaledBitmap(bitmap, pixels);
        if (!bitmap.isNull())
            bytes = encodeBitmap(bitmap, record);
    }
    if (bytes.isEmpty())
        return false;
    if (record.path.isEmpty()) {
        record.data = bytes;
        return true;
    }
    // Encoding comes first so that a failed encoder leaves an existing file alone.
    if (!record.unique)
        QFile::remove(record.path);
    if (!WriteBytesToFile(record.path, bytes)) {
        record.writeFailed = true;
        return false;
    }
    return QFileInfo::exists(record.path);
}

QString ResizeImageAndSaveToJPEG(const CCImage *image)
{
    if (!image)
        return QString();
    QRectF content(QPointF(0, 0), image->size());
    CenterRectangle(content, QRectF(0, 0, kThumbnailSide, kThumbnailSide));
    ImageFileRecord record;
    record.path = stringByAppendingFile(QDir::tempPath(), guidString(), QStringLiteral("jpg"));
    record.type = ImageFileTypeJPEG;
    record.quality = kThumbnailQuality;
    record.unique = false;
    if (!SaveImageCore(image, record, content.width(), content.height()))
        return QString();
    return record.path;
}

QByteArray TiffFromImage(const CCImage *image)
{
    QByteArray bytes;
    if (image && !image->representations().empty())
        bytes = encodeWithQt(image->representations().front(), "tiff", QVariantMap());
    if (bytes.isEmpty())
        LogString(QStringLiteral("TIFFRepresentation failed"));
    return bytes;
}
