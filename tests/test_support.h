#pragma once

// The test programs' shared support: temporary folders, fixtures beside the tests, printers
// that make failures readable, a picture to cut, and (test_helpers.h) waiting on conditions,
// recording opened links and small file helpers.

#include "test_helpers.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRadialGradient>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <cmath>
#include <cstdint>
#include <ostream>

// Failures show text, points and rectangles instead of their bytes.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QPointF &point, std::ostream *os)
{
    *os << '(' << point.x() << ", " << point.y() << ')';
}

inline void PrintTo(const QSizeF &size, std::ostream *os)
{
    *os << size.width() << " x " << size.height();
}

inline void PrintTo(const QRectF &rect, std::ostream *os)
{
    *os << '(' << rect.x() << ", " << rect.y() << ' ' << rect.width() << " x " << rect.height() << ')';
}

namespace tj::test {

// A Kolor or pixel that gtest prints in hexadecimal: EXPECT_EQ(Hex{actual}, Hex{expected}).
struct Hex
{
    uint32_t value;
    bool operator==(const Hex &) const = default;
};

inline void PrintTo(const Hex &hex, std::ostream *out)
{
    *out << "0x" << std::hex << std::uppercase << hex.value << std::dec;
}

// Two points within tolerance of each other, each coordinate.
inline ::testing::AssertionResult Near(QPointF actual, QPointF expected, double tolerance = 1e-6)
{
    if (std::abs(actual.x() - expected.x()) <= tolerance && std::abs(actual.y() - expected.y()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.x() << ", " << actual.y() << ") is not (" << expected.x()
                                         << ", " << expected.y() << ")";
}

// A deterministic photograph-like picture: smooth gradients, hard edges and fine detail, so
// piece images can be compared with it pixel by pixel.
inline QImage MakeTestPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] =
                qRgb((x * 255) / std::max(1, width - 1), (y * 255) / std::max(1, height - 1), ((x ^ y) * 7) & 0xFF);
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(width * 0.6, height * 0.4, std::min(width, height) * 0.3);
    glow.setColorAt(0, QColor(255, 240, 200));
    glow.setColorAt(1, Qt::transparent);
    painter.setBrush(glow);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(width * 0.6, height * 0.4), width * 0.3, height * 0.3);
    painter.setBrush(QColor(20, 60, 160));
    painter.drawRect(QRectF(width * 0.1, height * 0.7, width * 0.25, height * 0.2));
    return image;
}

// Four flat quadrants, red, green / blue, yellow, whose corners show where a picture was turned
// or flipped.
inline QImage FourQuadrants(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, QColor(220, 30, 30));
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, QColor(30, 200, 40));
    painter.fillRect(0, height / 2, width / 2, height - height / 2, QColor(30, 40, 210));
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, QColor(230, 220, 40));
    return image;
}

// A colour (or pixel) within tolerance of another in each of red, green and blue.
inline ::testing::AssertionResult NearColor(QColor actual, QColor expected, int tolerance = 40)
{
    if (std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual.name().toStdString() << " is not near "
                                         << expected.name().toStdString();
}

// MakeTestPicture written as a file of the given name (its extension picks the format) in a
// fresh folder; the file's path.
QString WriteTestPicture(int width, int height, const QString &name = QStringLiteral("picture.jpg"));

// The temporary folder that stands in for the home folder during this test run.
QString homeFolder();

// A fresh empty folder inside the temporary home, unique per call.
QString freshFolder(const QString &prefix = QStringLiteral("case"));

// Folder of checked-in test fixtures beside the test sources ("data" next to the test).
inline QString dataFolder()
{
#ifdef TJ_TEST_DATA
    return QStringLiteral(TJ_TEST_DATA);
#else
    return QString();
#endif
}

}
