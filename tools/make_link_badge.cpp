// Draws the link badge shown where two pieces would join: resources/tools/Link.png.
//   build/tools/make_link_badge OUT.png
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_link_badge OUT.png\n");
        return 2;
    }
    constexpr int kSize = 128;
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 255, 255, 235), 6));
    painter.setBrush(QColor(40, 160, 70, 220));
    painter.drawEllipse(QRectF(5, 5, kSize - 10, kSize - 10));
    // Two chain links, turned 45 degrees and overlapping in the middle.
    painter.translate(kSize / 2.0, kSize / 2.0);
    painter.rotate(-45);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 9, Qt::SolidLine, Qt::RoundCap));
    painter.drawRoundedRect(QRectF(-40, -14, 48, 28), 14, 14);
    painter.drawRoundedRect(QRectF(-8, -14, 48, 28), 14, 14);
    painter.end();
    return image.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
