// Draws the six tool-strip images into a folder (resources/tools by default):
//     make_tool_images [FOLDER]
// Each is 48 x 48 pixels, shown at 24 x 24 points so it stays sharp on high-density screens.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

constexpr int kSide = 48;
const QColor kInk(0x33, 0x36, 0x3b);
const QColor kAccent(0x2f, 0x6f, 0xc4);
const QColor kWarm(0xd9, 0x4f, 0x3d);
constexpr double kStroke = 3.5;

QPen inkPen(double width = kStroke)
{
    return QPen(kInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawImage(QPainter &p)
{
    const QRectF frame(5, 9, 38, 30);
    p.setPen(inkPen());
    p.setBrush(QColor(0xe8, 0xf1, 0xfb));
    p.drawRoundedRect(frame, 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf2, 0xb6, 0x2c));
    p.drawEllipse(QPointF(32, 18), 4, 4);
    QPainterPath hills;
    hills.moveTo(7, 37);
    hills.lineTo(18, 22);
    hills.lineTo(26, 31);
    hills.lineTo(31, 26);
    hills.lineTo(41, 37);
    hills.closeSubpath();
    p.setBrush(kAccent);
    p.drawPath(hills);
}

void drawPin(QPainter &p)
{
    p.translate(24, 24);
    p.rotate(35);
    p.setPen(inkPen());
    p.drawLine(QPointF(0, 6), QPointF(0, 21));
    p.setBrush(kWarm);
    QPainterPath head;
    head.moveTo(-6, -17);
    head.lineTo(6, -17);
    head.lineTo(4, -4);
    head.lineTo(10, 4);
    head.lineTo(-10, 4);
    head.lineTo(-4, -4);
    head.closeSubpath();
    p.drawPath(head);
}

void drawEdges(QPainter &p)
{
    // A 4 x 4 board with only its frame pieces filled in.
    const double cell = 9.0;
    const double origin = 6.0;
    p.setPen(QPen(kInk, 1.5));
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const bool edge = row == 0 || row == 3 || column == 0 || column == 3;
            p.setBrush(edge ? QBrush(kAccent) : QBrush(Qt::NoBrush));
            p.setPen(edge ? QPen(kInk, 1.5) : QPen(QColor(0x9a, 0x9d, 0xa3), 1.2, Qt::DotLine));
            p.drawRect(QRectF(origin + column * cell, origin + row * cell, cell, cell));
        }
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(inkPen(2.5));
    p.drawRect(QRectF(origin, origin, 4 * cell, 4 * cell));
}

void drawRotate(QPainter &p)
{
    p.setPen(inkPen());
    p.setBrush(Qt::NoBrush);
    const QRectF circle(9, 9, 30, 30);
    p.drawArc(circle, 100 * 16, 280 * 16);
    // Arrow head at the arc's open end, pointing along the turn.
    QPainterPath head;
    head.moveTo(21, 3);
    head.lineTo(30, 9.5);
    head.lineTo(21, 16);
    head.closeSubpath();
    p.setBrush(kInk);
    p.setPen(QPen(kInk, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(head);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRect(QRectF(19, 19, 10, 10));
}

void drawLockDrag(QPainter &p)
{
    // A pointer with a small padlock: the piece stays attached after the click.
    QPainterPath arrow;
    arrow.moveTo(8, 5);
    arrow.lineTo(8, 35);
    arrow.lineTo(15, 28);
    arrow.lineTo(20, 39);
    arrow.lineTo(25, 37);
    arrow.lineTo(20, 26);
    arrow.lineTo(30, 26);
    arrow.closeSubpath();
    p.setPen(inkPen(2.5));
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    p.setBrush(Qt::NoBrush);
    p.setPen(inkPen(3.0));
    p.drawArc(QRectF(31, 23, 10, 12), 0, 180 * 16);
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(28, 29, 16, 14), 2, 2);
}

void drawPanic(QPainter &p)
{
    // A window dropping out of sight.
    p.setPen(inkPen(2.5));
    p.setBrush(QColor(0xe8, 0xf1, 0xfb));
    p.drawRoundedRect(QRectF(6, 6, 36, 24), 3, 3);
    p.drawLine(QPointF(6, 12), QPointF(42, 12));
    p.setPen(inkPen());
    p.drawLine(QPointF(24, 19), QPointF(24, 38));
    p.setPen(Qt::NoPen);
    p.setBrush(kWarm);
    QPainterPath head;
    head.moveTo(15, 32);
    head.lineTo(33, 32);
    head.lineTo(24, 43);
    head.closeSubpath();
    p.drawPath(head);
}

bool writeImage(const QDir &folder, const char *name, const std::function<void(QPainter &)> &draw)
{
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
    }
    const QString path = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "can't write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QString target = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/tools");
    QDir folder(target);
    if (!folder.exists() && !QDir().mkpath(target)) {
        std::fprintf(stderr, "can't make %s\n", qPrintable(target));
        return 1;
    }
    bool ok = true;
    ok &= writeImage(folder, "Image", drawImage);
    ok &= writeImage(folder, "Pin", drawPin);
    ok &= writeImage(folder, "Edges", drawEdges);
    ok &= writeImage(folder, "Rotate", drawRotate);
    ok &= writeImage(folder, "LockDrag", drawLockDrag);
    ok &= writeImage(folder, "Panic", drawPanic);
    return ok ? 0 : 1;
}
