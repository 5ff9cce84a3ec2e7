#include "model/play_stats.h"

#include "model/jp_puzzle.h"

#include <cmath>

const QString kPlayedKey = QStringLiteral("played");

namespace {

// A stored time beyond this (about 30 years) is damage, not play.
constexpr double kMaxPlayedSeconds = 1e9;

int64_t wholeSeconds(double seconds)
{
    if (!(seconds > 0))
        return 0;
    return int64_t(std::min(seconds, kMaxPlayedSeconds));
}

}

PuzzleProgress ProgressOfPuzzle(const JPPuzzle &puzzle)
{
    PuzzleProgress progress;
    progress.edgesOnly = puzzle.edgesOnly();
    for (const auto &piece : puzzle.allPieces()) {
        if (progress.edgesOnly && !piece->isEdge())
            continue;
        ++progress.total;
        if (piece->assembly() || puzzle.finished())
            ++progress.joined;
    }
    return progress;
}

QString ProgressText(const PuzzleProgress &progress)
{
    const QString format =
        progress.edgesOnly ? QStringLiteral("%1 of %2 edge pieces joined") : QStringLiteral("%1 of %2 pieces joined");
    return format.arg(progress.joined).arg(progress.total);
}

double PlayedSeconds(const QVariantMap &dict)
{
    const QVariant value = dict.value(kPlayedKey);
    const int type = value.typeId();
    if (type != QMetaType::Double && type != QMetaType::LongLong && type != QMetaType::Int)
        return 0.0;
    const double seconds = value.toDouble();
    if (!std::isfinite(seconds) || seconds < 0)
        return 0.0;
    return std::min(seconds, kMaxPlayedSeconds);
}

void AddPlayedSeconds(JPPuzzle &puzzle, double seconds)
{
    if (!(seconds > 0) || !std::isfinite(seconds))
        return;
    QVariantMap &dict = puzzle.puzzleDict();
    // Whole milliseconds keep the stored number short.
    const double total = std::min(PlayedSeconds(dict) + seconds, kMaxPlayedSeconds);
    dict[kPlayedKey] = std::round(total * 1000.0) / 1000.0;
    puzzle.setInfoDirty(true);
}

QString ClockText(double seconds)
{
    const int64_t s = wholeSeconds(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString DurationText(double seconds)
{
    const int64_t s = wholeSeconds(seconds);
    if (s >= 3600)
        return QStringLiteral("%1 h %2 min").arg(s / 3600).arg((s / 60) % 60);
    if (s >= 60)
        return QStringLiteral("%1 min").arg(s / 60);
    return QStringLiteral("%1 s").arg(s);
}
