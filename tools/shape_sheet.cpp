// Contact sheet of the knob profiles, for judging them by eye:
//   shape_sheet SHEET.png [PIECES.png]
// SHEET shows every profile as the top side of a piece, with its vertices marked.
// PIECES shows blocks of 2 x 2 pieces, together and pulled apart, with translucent fills
// so that a knob that does not match its hole shows up as an overlap or a gap.
#include "model/shape_defs.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kColumns = 8;
constexpr int kCellWidth = 250;
constexpr int kCellHeight = 150;
constexpr double kMargin = 10.0;

struct Side
{
    int shape = -1; // -1: a straight border
    bool protrudes = false;
};

// Appends one side. x of the profile runs along `along` from `origin`; the knob bulges
// along `outward` (or against it for a hole). Sides walked backwards share the curve of
// the neighbour that walks it forwards.
void appendSide(QPainterPath &path, const Side &side, QPointF origin, QPointF along, QPointF outward, double unit,
                bool backward)
{
    const ShapeDef *def = ShapeForIndex(side.shape);
    if (!def)
        return;
    const double sign = side.protrudes ? 1.0 : -1.0;
    auto map = [&](double x, double y) { return origin + along * (x * unit) - outward * (y * unit * sign); };
    const auto &v = def->vertices;
    const int n = def->count;
    if (!backward) {
        path.lineTo(map(v[0].x, v[0].y));
        for (int k = 1; k < n; ++k)
            path.cubicTo(map(v[k].d1x, v[k].d1y), map(v[k].d2x, v[k].d2y), map(v[k].x, v[k].y));
    } else {
        path.lineTo(map(v[n - 1].x, v[n - 1].y));
        for (int k = n - 1; k >= 1; --k)
            path.cubicTo(map(v[k].d2x, v[k].d2y), map(v[k].d1x, v[k].d1y), map(v[k - 1].x, v[k - 1].y));
    }
}

// A square piece of side `size` at `at`, sides numbered left, top, right, bottom.
QPainterPath pieceOutline(const std::array<Side, 4> &sides, QPointF at, double size)
{
    const double unit = size / 300.0;
    const QPointF tl = at, tr = at + QPointF(size, 0), br = at + QPointF(size, size), bl = at + QPointF(0, size);
    QPainterPath path(tl);
    path.setFillRule(Qt::WindingFill);
    appendSide(path, sides[1], tl, {1, 0}, {0, -1}, unit, false);
    path.lineTo(tr);
    appendSide(path, sides[2], tr, {0, 1}, {1, 0}, unit, false);
    path.lineTo(br);
    appendSide(path, sides[3], bl, {1, 0}, {0, 1}, unit, true);
    path.lineTo(bl);
    appendSide(path, sides[0], tl, {0, 1}, {-1, 0}, unit, true);
    path.closeSubpath();
    return path;
}

QImage contactSheet()
{
    const int rows = (kShapeCount + kColumns - 1) / kColumns;
    QImage image(kColumns * kCellWidth, rows * kCellHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(250, 248, 240));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(QFont(QStringLiteral("Sans"), 10));
    const double unit = (kCellWidth - 2 * kMargin) / 300.0;
    for (int index = 0; index < kShapeCount; ++index) {
        const QPointF cell((index % kColumns) * kCellWidth, (index / kColumns) * kCellHeight);
        const QPointF origin = cell + QPointF(kMargin, kMargin + 105 * unit);
        QPainterPath path(origin);
        appendSide(path, {index, true}, origin, {1, 0}, {0, -1}, unit, false);
        path.lineTo(origin + QPointF(300 * unit, 0));
        path.lineTo(origin + QPointF(300 * unit, 28));
        path.lineTo(origin + QPointF(0, 28));
        path.closeSubpath();
        painter.setPen(QPen(QColor(60, 50, 40), 1.2));
        painter.setBrush(index < kSimpleShapeCount ? QColor(120, 160, 210) : QColor(210, 150, 110));
        painter.drawPath(path);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(200, 30, 30));
        const ShapeDef &def = g_shapeDefs[static_cast<size_t>(index)];
        for (int k = 0; k < def.count; ++k) {
            const auto &v = def.vertices[static_cast<size_t>(k)];
            painter.drawEllipse(origin + QPointF(v.x * unit, v.y * unit), 1.8, 1.8);
        }
        painter.setPen(Qt::black);
        painter.drawText(cell + QPointF(6, 16), QString::number(index));
        painter.setPen(QPen(QColor(200, 200, 190), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(cell, QSizeF(kCellWidth, kCellHeight)));
    }
    return image;
}

// Blocks of 2 x 2 pieces, each block with four joints of its own, drawn assembled and
// pulled apart.
QImage interlockingPieces()
{
    constexpr double size = 120.0;
    constexpr int blocks = 6;
    constexpr double blockWidth = 3.4 * size;
    QImage image(static_cast<int>(blocks * blockWidth), static_cast<int>(2 * 3.3 * size),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(250, 248, 240));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const std::array<QColor, 4> colours = {QColor(220, 80, 60, 150), QColor(60, 140, 220, 150),
                                           QColor(80, 180, 90, 150), QColor(230, 180, 40, 150)};
    for (int block = 0; block < blocks; ++block) {
        // Shapes spread across the table so that both halves and the waves are seen.
        const std::array<int, 4> joints = {(block * 11) % kShapeCount, (block * 11 + 28) % kShapeCount,
                                           (block * 11 + 5) % kShapeCount, (block * 11 + 33) % kShapeCount};
        const std::array<bool, 4> knobs = {block % 2 == 0, block % 3 == 0, block % 2 == 1, block % 3 != 0};
        for (int spread = 0; spread < 2; ++spread) {
            const QPointF base(block * blockWidth + 0.6 * size, (spread * 3.3 + 0.6) * size);
            const double gap = spread ? 0.45 * size : 0.0;
            for (int row = 0; row < 2; ++row) {
                for (int column = 0; column < 2; ++column) {
                    std::array<Side, 4> sides;
                    // Joint 0/1: between the columns of row 0/1; joint 2/3: between the rows
                    // of column 0/1. The first named piece carries `knobs` as its direction.
                    if (column == 0)
                        sides[2] = {joints[row], knobs[row]};
                    else
                        sides[0] = {joints[row], !knobs[row]};
                    if (row == 0)
                        sides[3] = {joints[2 + column], knobs[2 + column]};
                    else
                        sides[1] = {joints[2 + column], !knobs[2 + column]};
                    const QPointF at = base + QPointF(column * (size + gap), row * (size + gap));
                    painter.setPen(QPen(QColor(40, 40, 40), 1.0));
                    painter.setBrush(colours[static_cast<size_t>(row * 2 + column)]);
                    painter.drawPath(pieceOutline(sides, at, size));
                }
            }
        }
    }
    return image;
}

}

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s SHEET.png [PIECES.png]\n", argv[0]);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    if (!contactSheet().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "can't write %s\n", argv[1]);
        return 1;
    }
    if (argc == 3 && !interlockingPieces().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "can't write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
