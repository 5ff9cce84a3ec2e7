// Draws the application icon, a jigsaw piece holding a warm little landscape, at every size
// of kApplicationIconSizes into a resource folder (resources/ by default):
//     make_icon [RESOURCE_FOLDER]
// Each size is drawn from the outline itself rather than scaled from the largest, so the
// outline stays one crisp pixel wide at 16 and 32 pixels.

#include "app/app_icon.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// The proportions of a knob, in units of the side's length.
struct Knob
{
    double neck; // where the neck leaves the side, from the side's start
    double head; // half the head's width, less its bulge
    double depth; // how far the head reaches out
};

// As on a cardboard piece: a narrow neck opening into a round head.
constexpr Knob kKnob{0.36, 0.12, 0.33};
// Wider and deeper, so that the knob survives at a few pixels.
constexpr Knob kBoldKnob{0.31, 0.17, 0.37};
constexpr Knob kTinyKnob{0.30, 0.20, 0.44};

// One side of a piece from (0, 0) to (1, 0) with a knob bulging towards negative y.
QPainterPath knobEdge(const Knob &k)
{
    QPainterPath edge;
    edge.moveTo(0, 0);
    edge.lineTo(k.neck, 0);
    edge.cubicTo(k.neck + 0.05, 0, k.neck + 0.07, -0.04, k.neck + 0.04, -0.09);
    edge.cubicTo(0.5 - k.head - 0.04, -0.19, 0.5 - k.head, -k.depth, 0.50, -k.depth);
    edge.cubicTo(0.5 + k.head, -k.depth, 0.5 + k.head + 0.04, -0.19, 1 - k.neck - 0.04, -0.09);
    edge.cubicTo(1 - k.neck - 0.07, -0.04, 1 - k.neck - 0.05, 0, 1 - k.neck, 0);
    edge.lineTo(1, 0);
    return edge;
}

// Appends the side from `from` to `to` (clockwise round the piece) to path: outward > 0
// for a knob, < 0 for a hole, 0 for a straight edge.
void addSide(QPainterPath &path, QPointF from, QPointF to, double outward, const Knob &knob)
{
    if (outward == 0) {
        path.lineTo(to);
        return;
    }
    const QPointF along = to - from;
    // Outward from a clockwise outline in y-down coordinates is the left-hand normal.
    const QPointF normal(along.y(), -along.x());
    const QTransform map(along.x(), along.y(), -normal.x() * outward, -normal.y() * outward, from.x(), from.y());
    const QPainterPath edge = map.map(knobEdge(knob));
    for (int i = 1; i < edge.elementCount(); ++i) {
        const QPainterPath::Element e = edge.elementAt(i);
        if (e.type == QPainterPath::LineToElement) {
            path.lineTo(e);
        } else if (e.type == QPainterPath::CurveToElement) {
            path.cubicTo(e, edge.elementAt(i + 1), edge.elementAt(i + 2));
            i += 2;
        }
    }
}

// The piece in a unit square body: knobs at the top and right, a hole at the left (left
// straight when hole is false), and a straight bottom edge, so it reads as a piece from the frame.
QPainterPath pieceOutline(const Knob &knob, bool hole)
{
    QPainterPath path;
    path.moveTo(0, 0);
    addSide(path, QPointF(0, 0), QPointF(1, 0), 1.0, knob);
    addSide(path, QPointF(1, 0), QPointF(1, 1), 1.0, knob);
    addSide(path, QPointF(1, 1), QPointF(0, 1), 0.0, knob);
    addSide(path, QPointF(0, 1), QPointF(0, 0), hole ? -1.0 : 0.0, knob);
    path.closeSubpath();
    path.setFillRule(Qt::WindingFill);
    return path;
}

// The outline scaled and centred into a square canvas of side size, leaving margin free.
QPainterPath fittedOutline(int size, double margin, const Knob &knob, bool hole)
{
    const QPainterPath unit = pieceOutline(knob, hole);
    const QRectF bounds = unit.boundingRect();
    const double room = size - 2 * margin;
    const double scale = room / std::max(bounds.width(), bounds.height());
    QTransform fit;
    fit.translate(size / 2.0, size / 2.0);
    fit.scale(scale, scale);
    fit.translate(-bounds.center().x(), -bounds.center().y());
    return fit.map(unit);
}

// A sunset landscape: golden sky, a pale sun, two ranges of hills in deepening reds.
void paintPicture(QPainter &p, const QRectF &area, bool detailed, bool sun)
{
    QLinearGradient sky(area.topLeft(), area.bottomLeft());
    sky.setColorAt(0.0, QColor(0xff, 0xd8, 0x6e));
    sky.setColorAt(0.55, QColor(0xf7, 0x9d, 0x3c));
    sky.setColorAt(1.0, QColor(0xe0, 0x5d, 0x35));
    p.fillRect(area, sky);

    const double w = area.width();
    const double h = area.height();
    const QPointF origin = area.topLeft();
    const auto at = [&](double x, double y) { return origin + QPointF(x * w, y * h); };

    if (detailed) {
        const QPointF sunCentre = at(0.66, 0.40);
        QRadialGradient glow(sunCentre, 0.24 * w);
        glow.setColorAt(0.0, QColor(255, 247, 214, 200));
        glow.setColorAt(1.0, QColor(255, 247, 214, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(sunCentre, 0.24 * w, 0.24 * w);
    }
    p.setPen(Qt::NoPen);
    if (sun) {
        p.setBrush(QColor(0xff, 0xf4, 0xcf));
        p.drawEllipse(at(0.66, 0.40), 0.10 * w, 0.10 * w);
    }

    QPainterPath far;
    far.moveTo(at(0.0, 0.70));
    far.cubicTo(at(0.18, 0.56), at(0.30, 0.58), at(0.44, 0.66));
    far.cubicTo(at(0.58, 0.74), at(0.74, 0.56), at(1.0, 0.62));
    far.lineTo(at(1.0, 1.0));
    far.lineTo(at(0.0, 1.0));
    far.closeSubpath();
    p.setBrush(QColor(0xc4, 0x4a, 0x31));
    p.drawPath(far);

    QPainterPath near;
    near.moveTo(at(0.0, 0.80));
    near.cubicTo(at(0.24, 0.72), at(0.46, 0.90), at(0.70, 0.80));
    near.cubicTo(at(0.84, 0.74), at(0.94, 0.78), at(1.0, 0.80));
    near.lineTo(at(1.0, 1.0));
    near.lineTo(at(0.0, 1.0));
    near.closeSubpath();
    p.setBrush(QColor(0x8c, 0x2f, 0x24));
    p.drawPath(near);
}

// Three box blurs in each direction come close to a Gaussian; premultiplied pixels blur
// correctly channel by channel.
void blur(QImage &image, int radius)
{
    const int w = image.width();
    const int h = image.height();
    std::vector<QRgb> line(size_t(std::max(w, h)));
    const auto pass = [&](int count, int length, auto pixel) {
        for (int i = 0; i < count; ++i) {
            for (int j = 0; j < length; ++j)
                line[size_t(j)] = *pixel(i, j);
            std::array<int, 4> sum{};
            const auto add = [&](int j, int sign) {
                const QRgb c = line[size_t(std::clamp(j, 0, length - 1))];
                sum[0] += sign * qAlpha(c);
                sum[1] += sign * qRed(c);
                sum[2] += sign * qGreen(c);
                sum[3] += sign * qBlue(c);
            };
            for (int j = -radius; j <= radius; ++j)
                add(j, 1);
            const int span = 2 * radius + 1;
            for (int j = 0; j < length; ++j) {
                *pixel(i, j) = qRgba(sum[1] / span, sum[2] / span, sum[3] / span, sum[0] / span);
                add(j + radius + 1, 1);
                add(j - radius, -1);
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(h, w, [&](int y, int x) { return reinterpret_cast<QRgb *>(image.scanLine(y)) + x; });
        pass(w, h, [&](int x, int y) { return reinterpret_cast<QRgb *>(image.scanLine(y)) + x; });
    }
}

// A soft shadow of the piece, a little below it.
QImage shadowFor(const QPainterPath &outline, int size)
{
    QImage shadow(size, size, QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    QPainter p(&shadow);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(outline.translated(0, size * 0.02), QColor(40, 16, 8, 120));
    p.end();
    blur(shadow, std::max(1, size / 90));
    return shadow;
}

QImage drawIcon(int size)
{
    const bool detailed = size >= 48;
    // At 16 pixels a hole reads as a notch and the sun as a stray pixel.
    const bool tiny = size <= 16;
    // Thin outlines at small sizes would blur into the fill; large ones stay in proportion.
    const double line = std::max(1.0, size / 56.0);
    const double margin = detailed ? size * 0.06 : tiny ? 0.5 : line;
    const Knob &knob = tiny ? kTinyKnob : size <= 32 ? kBoldKnob : kKnob;
    const QPainterPath outline = fittedOutline(size, margin + line / 2, knob, !tiny);

    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (detailed)
        p.drawImage(QPointF(0, 0), shadowFor(outline, size));

    p.save();
    p.setClipPath(outline);
    paintPicture(p, outline.boundingRect(), detailed, !tiny);
    if (size >= 128) {
        // A faint light edge inside the outline gives the cardboard some thickness.
        p.setPen(QPen(QColor(255, 255, 255, 60), line * 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(outline.translated(line * 0.6, line * 0.6));
    }
    p.restore();

    p.setPen(QPen(QColor(0x4a, 0x22, 0x16), line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

}

int main(int argc, char *argv[])
{
    // Drawing needs no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources");
    for (int size : kApplicationIconSizes) {
        const QString path = QDir(root).filePath(ApplicationIconResource(size));
        if (!QDir().mkpath(QFileInfo(path).path()) || !drawIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "make_icon: can't write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
