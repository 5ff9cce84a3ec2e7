#include "model/puzzle_xml.h"

#include <QStringList>

#include <charconv>
#include <cmath>

const CCXmlKeyTable &PuzzleKeyTable()
{
    static const CCXmlKeyTable table = [] {
        const char *names[] = {"a",        "bsize",  "bnd",  "cols", "x",     "xs",    "coord",
                               "drag",     "edges",  "gapb", "gape", "id",    "lsize", "loose",
                               "maxCoord", "nexta",  "pc",   "pcs",  "pin",   "pina",  "knob",
                               "rect",     "jigsaw", "rot",  "rows", "scale", "size",  "ver"};
        CCXmlKeyTable keys;
        for (int i = 0; i < int(std::size(names)); ++i)
            keys.insert(QString::fromLatin1(names[i]), i + 1);
        return keys;
    }();
    return table;
}

void InstallPuzzleKeyTable()
{
    CCXmlDecoder::setGlobalKeyDecoder(PuzzleKeyTable());
}

QString NumberText(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<long long>(value));
    // The shortest text that reads back as the same double: at most 17 significant digits.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

QString PointText(QPointF point)
{
    return QLatin1Char('{') + NumberText(point.x()) + QStringLiteral(", ") + NumberText(point.y()) + QLatin1Char('}');
}

QString SizeText(QSizeF size)
{
    return PointText(QPointF(size.width(), size.height()));
}

QString RectText(const QRectF &rect)
{
    return QLatin1Char('{') + PointText(rect.topLeft()) + QStringLiteral(", ") + SizeText(rect.size())
        + QLatin1Char('}');
}

namespace {

// The numbers of a "{a, b}" or "{{a, b}, {c, d}}" text in order; missing ones are 0.
std::vector<double> numbersIn(const QString &text, size_t wanted)
{
    std::vector<double> numbers;
    QString cleaned = text;
    cleaned.replace(QLatin1Char('{'), QLatin1Char(' ')).replace(QLatin1Char('}'), QLatin1Char(' '));
    const QStringList parts = cleaned.split(QLatin1Char(','));
    for (const QString &part : parts) {
        if (numbers.size() == wanted)
            break;
        bool ok = false;
        const double value = part.trimmed().toDouble(&ok);
        numbers.push_back(ok ? value : 0.0);
    }
    numbers.resize(wanted, 0.0);
    return numbers;
}

}

QPointF PointFromText(const QString &text)
{
    const auto n = numbersIn(text, 2);
    return QPointF(n[0], n[1]);
}

GridCoord GridFromText(const QString &text)
{
    // A value no grid can hold (not a number, or past any grid) reads as -1, which a document
    // check refuses; converting it as it is would be undefined.
    const QPointF point = PointFromText(text);
    const auto truncate = [](double v) -> int64_t {
        return std::isfinite(v) && std::fabs(v) < 9e15 ? int64_t(v) : int64_t(-1);
    };
    return {truncate(point.x()), truncate(point.y())};
}

QSizeF SizeFromText(const QString &text)
{
    const auto n = numbersIn(text, 2);
    return QSizeF(n[0], n[1]);
}

QRectF RectFromText(const QString &text)
{
    const auto n = numbersIn(text, 4);
    return QRectF(n[0], n[1], n[2], n[3]);
}

void CreatePositionList(const std::vector<double> &positions, QString &text)
{
    text.clear();
    for (size_t i = 0; i < positions.size(); ++i) {
        if (i)
            text += QLatin1Char(',');
        const double value = positions[i];
        text += QString::number(std::isfinite(value) && std::fabs(value) < 2e9 ? static_cast<int>(value) : 0);
    }
}

void DecodePositionList(const QString &text, std::vector<double> &positions)
{
    if (text.isEmpty())
        return;
    for (const QString &part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int value = part.trimmed().toInt(&ok);
        positions.push_back(ok ? double(value) : 0.0);
    }
}
