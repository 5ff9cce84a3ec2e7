#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <QVariantMap>

#include <cstdint>

class CCImage;

// Image file types of the save routine; any value above 4 means TIFF.
enum ImageFileType : uint32_t {
    ImageFileTypeAutomatic = 0,
    ImageFileTypeHEIC = 1,
    ImageFileTypeJPEG = 2,
    ImageFileTypePDF = 3,
    ImageFileTypePNG = 4,
    ImageFileTypeTIFF = 5,
};

// The bitmap encoder's own numbering of file types.
enum BitmapFileType : uint32_t {
    BitmapFileTypeTIFF = 0,
    BitmapFileTypeJPEG = 3,
    BitmapFileTypePNG = 4,
};

// Parameter block of SaveImageCore: the caller fills path, type, quality and unique; the
// routine fills the rest.
struct ImageFileRecord
{
    // In: the file to write, or empty to encode into data. Out: the path actually attempted
    // (extension corrected, made unique).
    QString path;
    // Out: the encoded bytes when no path was given.
    QByteArray data;
    // In: one of ImageFileType. Out: the type chosen when it was automatic.
    uint32_t type = ImageFileTypeAutomatic;
    // In: 0.0-1.0 for JPEG and HEIC; for TIFF, 1.0 or more asks for LZW compression.
    double quality = 1.0;
    // In: false replaces an existing file; true picks a new unique name in the same folder.
    bool unique = false;
    // Out: set when encoded bytes could not be written to the path.
    bool writeFailed = false;

    // Filled by the routine: encoder options ("quality" 0-100, "compression" 1 for LZW), the
    // bitmap encoder's file type, the format's type identifier, its extension and the output
    // rectangle in pixels (points for PDF).
    QVariantMap properties;
    uint32_t fileType = BitmapFileTypeTIFF;
    QString typeIdentifier;
    QString extension;
    QRectF rectangle;
};

// Writes image as PNG, JPEG, TIFF, HEIC (where Qt has an encoder) or one-page PDF, at
// width x height (0 in either: the image's own size). With a path, true when the whole file
// was written there; without one, true when record.data holds the encoding. No state is
// shared between calls: safe from several threads at once.
bool SaveImageCore(const CCImage *image, ImageFileRecord &record, double width = 0, double height = 0);

// Saves a thumbnail: the image fitted into 200 x 200 (never enlarged) as a JPEG of quality 0.7
// named by a fresh GUID in the temporary folder. The path written, or empty on failure.
QString ResizeImageAndSaveToJPEG(const CCImage *image);

// The image's first representation as an uncompressed TIFF; empty (and logged) on failure.
QByteArray TiffFromImage(const CCImage *image);
