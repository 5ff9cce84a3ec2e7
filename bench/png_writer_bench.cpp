// Piece images are written as PNG on the hot path of puzzle creation. Compares Qt's PNG writer
// at its default setting and at quality 80 with our own writer, on 178 x 178 RGBA pieces: a
// picture inside a knobbed outline, transparent outside. Set TJ_BENCH_PICTURE to a photograph
// to cut the pieces from it instead of the generated picture.
#include "imaging/png_writer.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr int kPieceSide = 178;
constexpr int kPieceCount = 24;

QImage generatedPicture()
{
    const int width = 1600;
    const int height = 1200;
    std::mt19937 random(42);
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(120, 170, 230));
    sky.setColorAt(1, QColor(40, 90, 40));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 120; ++i) {
        const QPointF centre(random() % width, random() % height);
        const double radius = 10 + random() % 160;
        QRadialGradient blob(centre, radius);
        blob.setColorAt(0, QColor::fromHsv(int(random() % 360), 60 + int(random() % 180), 90 + int(random() % 160)));
        blob.setColorAt(1, Qt::transparent);
        painter.setBrush(blob);
        painter.drawEllipse(centre, radius, radius * 0.7);
    }
    painter.end();
    // Sensor-like noise: real photographs never have flat areas.
    std::normal_distribution<double> noise(0, 3.0);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const auto jitter = [&](int v) { return std::clamp(int(v + noise(random)), 0, 255); };
            line[x] = qRgb(jitter(qRed(line[x])), jitter(qGreen(line[x])), jitter(qBlue(line[x])));
        }
    }
    return image;
}

QImage piece(const QImage &picture, int index)
{
    QImage result(kPieceSide, kPieceSide, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    const double inset = kPieceSide * 0.2;
    const double body = kPieceSide - 2 * inset;
    const double knob = body * 0.17;
    QPainterPath outline;
    outline.setFillRule(Qt::WindingFill);
    outline.addRect(inset, inset, body, body);
    // Knobs out on two sides, holes on the others, as a typical inner piece.
    const bool flip = index % 2;
    outline.addEllipse(QPointF(kPieceSide / 2.0, flip ? inset - knob * 0.6 : kPieceSide - inset + knob * 0.6), knob,
                       knob);
    outline.addEllipse(QPointF(kPieceSide - inset + knob * 0.6, kPieceSide / 2.0), knob, knob);
    QPainterPath holes;
    holes.addEllipse(QPointF(inset + knob * 0.4, kPieceSide / 2.0), knob, knob);
    outline = outline.subtracted(holes);
    const int columns = picture.width() / int(body);
    const QPointF origin((index % columns) * body - inset, (index / columns) * body - inset);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(outline);
    painter.drawImage(QPointF(0, 0), picture, QRectF(origin, QSizeF(kPieceSide, kPieceSide)));
    return result;
}

const std::vector<QImage> &pieces()
{
    static const std::vector<QImage> list = [] {
        QImage picture;
        const QByteArray path = qgetenv("TJ_BENCH_PICTURE");
        if (!path.isEmpty())
            picture = QImage(QString::fromLocal8Bit(path)).convertToFormat(QImage::Format_RGB32);
        if (picture.width() < 800 || picture.height() < 600)
            picture = generatedPicture();
        std::vector<QImage> result;
        for (int i = 0; i < kPieceCount; ++i)
            result.push_back(piece(picture, i));
        return result;
    }();
    return list;
}

std::vector<uint8_t> abgr(const QImage &image)
{
    std::vector<uint8_t> bytes(size_t(image.width()) * image.height() * 4);
    uint8_t *out = bytes.data();
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x, out += 4) {
            out[0] = uint8_t(qAlpha(line[x]));
            out[1] = uint8_t(qBlue(line[x]));
            out[2] = uint8_t(qGreen(line[x]));
            out[3] = uint8_t(qRed(line[x]));
        }
    }
    return bytes;
}

QByteArray qtPng(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

template <typename Encode> void run(benchmark::State &state, Encode &&encode)
{
    const std::vector<QImage> &list = pieces();
    size_t index = 0;
    int64_t bytes = 0;
    int64_t count = 0;
    for (auto _ : state) {
        const QByteArray png = encode(index % list.size());
        benchmark::DoNotOptimize(png.constData());
        bytes += png.size();
        ++count;
        ++index;
    }
    state.counters["bytes_per_piece"] = double(bytes) / double(std::max<int64_t>(count, 1));
    state.SetItemsProcessed(count);
}

void QtDefault(benchmark::State &state)
{
    run(state, [](size_t i) { return qtPng(pieces()[i], -1); });
}

void QtQuality80(benchmark::State &state)
{
    run(state, [](size_t i) { return qtPng(pieces()[i], 80); });
}

void OursFromImage(benchmark::State &state)
{
    run(state, [](size_t i) { return EncodePng(pieces()[i]); });
}

void OursFromPixels(benchmark::State &state)
{
    static const std::vector<std::vector<uint8_t>> buffers = [] {
        std::vector<std::vector<uint8_t>> result;
        for (const QImage &image : pieces())
            result.push_back(abgr(image));
        return result;
    }();
    run(state, [](size_t i) { return EncodePng(buffers[i].data(), kPieceSide, kPieceSide, kPieceSide * 4); });
}

void OursToFile(benchmark::State &state)
{
    static const std::vector<std::vector<uint8_t>> buffers = [] {
        std::vector<std::vector<uint8_t>> result;
        for (const QImage &image : pieces())
            result.push_back(abgr(image));
        return result;
    }();
    const QString folder = QDir::tempPath() + QStringLiteral("/png_writer_bench");
    QDir().mkpath(folder);
    size_t index = 0;
    for (auto _ : state) {
        const size_t i = index++ % buffers.size();
        const QString path = folder + QStringLiteral("/%1.png").arg(i, 4, 10, QLatin1Char('0'));
        if (!WritePngFromPixels(path, buffers[i].data(), kPieceSide, kPieceSide, kPieceSide * 4))
            state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(int64_t(index));
    QDir(folder).removeRecursively();
}

}

BENCHMARK(QtDefault)->Unit(benchmark::kMillisecond);
BENCHMARK(QtQuality80)->Unit(benchmark::kMillisecond);
BENCHMARK(OursFromImage)->Unit(benchmark::kMillisecond);
BENCHMARK(OursFromPixels)->Unit(benchmark::kMillisecond);
BENCHMARK(OursToFile)->Unit(benchmark::kMillisecond);
