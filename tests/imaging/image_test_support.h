#pragma once

// Pictures and outside decoders shared by the imaging tests.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QRadialGradient>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <random>

namespace tj::test {

// ImageMagick's own program, not any wrapper earlier on the PATH.
inline const QString kImageMagick = QStringLiteral("/usr/bin/convert");

inline bool imageMagickAvailable()
{
    return QFile::exists(kImageMagick);
}

// Runs ImageMagick with arguments; true when it exits normally with status 0.
inline bool runImageMagick(const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(kImageMagick, arguments);
    if (!process.waitForFinished(60000))
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The file decoded by ImageMagick as 8-bit straight RGBA bytes, row after row.
inline QByteArray imageMagickRgba(const QString &path)
{
    QByteArray bytes;
    if (!runImageMagick({path, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgba:-")}, &bytes))
        return QByteArray();
    return bytes;
}

// Straight RGBA bytes of an image, rows packed.
inline QByteArray straightRgba(const QImage &image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QByteArray bytes;
    for (int y = 0; y < rgba.height(); ++y)
        bytes.append(reinterpret_cast<const char *>(rgba.constScanLine(y)), rgba.width() * 4);
    return bytes;
}

// Something like a photograph: soft gradients, a few shapes and fine noise.
inline QImage photoLike(int width, int height, uint32_t seed)
{
    std::mt19937 random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor::fromHsv(int(random() % 360), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(int(random() % 360), 180, 90));
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < 6; ++i) {
        const QPointF centre(random() % width, random() % height);
        QRadialGradient blob(centre, width / 3.0);
        blob.setColorAt(0, QColor::fromHsv(int(random() % 360), 200, 220, 200));
        blob.setColorAt(1, Qt::transparent);
        painter.setBrush(blob);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(centre, width / 3.0, height / 4.0);
    }
    painter.end();
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb p = line[x];
            const auto jitter = [&](int v) { return std::clamp(v + noise(random), 0, 255); };
            line[x] = qRgb(jitter(qRed(p)), jitter(qGreen(p)), jitter(qBlue(p)));
        }
    }
    return image;
}

// A jigsaw piece: the picture inside a square with knobs, antialiased, transparent outside.
inline QImage pieceLike(const QImage &picture, int side)
{
    QImage piece(side, side, QImage::Format_ARGB32_Premultiplied);
    piece.fill(Qt::transparent);
    const double inset = side * 0.2;
    const double body = side - 2 * inset;
    QPainterPath outline;
    outline.setFillRule(Qt::WindingFill);
    outline.addRect(inset, inset, body, body);
    const double knob = body * 0.18;
    outline.addEllipse(QPointF(side / 2.0, inset - knob * 0.6), knob, knob);
    outline.addEllipse(QPointF(side - inset + knob * 0.6, side / 2.0), knob, knob);
    QPainterPath hole;
    hole.addEllipse(QPointF(side / 2.0, side - inset - knob * 0.4), knob, knob);
    outline = outline.subtracted(hole);
    QPainter painter(&piece);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(outline);
    painter.drawImage(QRectF(0, 0, side, side), picture);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(255, 255, 255, 90), 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    return piece;
}

// Every pixel a random valid premultiplied value, alpha spread over its whole range.
inline QImage randomPremultiplied(int width, int height, uint32_t seed)
{
    std::mt19937 random(seed);
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int alpha = int(random() % 256);
            const auto channel = [&] { return alpha == 0 ? 0 : int(random() % (alpha + 1)); };
            const int red = channel();
            const int green = channel();
            const int blue = channel();
            line[x] = qRgba(red, green, blue, alpha);
        }
    }
    return image;
}

}
