#include "app/finished_record.h"

#include "app/app_storage.h"
#include "model/jp_puzzle.h"
#include "model/play_stats.h"
#include "support/log.h"
#include "support/property_list.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <map>
#include <optional>

namespace {

const QString kNameKey = QStringLiteral("name");
const QString kPiecesKey = QStringLiteral("pieces");
const QString kSecondsKey = QStringLiteral("seconds");
const QString kDateKey = QStringLiteral("date");
const QString kPictureKey = QStringLiteral("picture");

// Longer texts are damage; names are cut to this length.
constexpr qsizetype kMaxTextLength = 200;
// A piece count or time beyond these is damage.
constexpr int64_t kMaxPieces = 100000;
constexpr double kMaxSeconds = 1e9;

// Property lists can't carry every character; a name is shown, so odd ones become blanks.
QString cleanText(const QString &text)
{
    QString clean;
    clean.reserve(std::min(text.size(), kMaxTextLength));
    for (qsizetype i = 0; i < text.size() && clean.size() < kMaxTextLength; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            clean.append(c).append(text[++i]);
        } else if (c.isSurrogate() || c.unicode() < 0x20 || c.unicode() >= 0xFFFE) {
            clean.append(QLatin1Char(' '));
        } else {
            clean.append(c);
        }
    }
    return clean;
}

std::optional<FinishedPuzzle> entryFromValue(const QVariant &value)
{
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap dict = value.toMap();
    const QVariant name = dict.value(kNameKey);
    const QVariant pieces = dict.value(kPiecesKey);
    const QVariant seconds = dict.value(kSecondsKey);
    const QVariant date = dict.value(kDateKey);
    const QVariant picture = dict.value(kPictureKey);
    if (name.typeId() != QMetaType::QString || pieces.typeId() != QMetaType::LongLong
        || (seconds.typeId() != QMetaType::Double && seconds.typeId() != QMetaType::LongLong)
        || date.typeId() != QMetaType::QDateTime || picture.typeId() != QMetaType::QString)
        return std::nullopt;
    FinishedPuzzle entry;
    entry.name = cleanText(name.toString());
    entry.pieces = pieces.toLongLong();
    entry.seconds = seconds.toDouble();
    entry.date = date.toDateTime();
    entry.picture = picture.toString().left(kMaxTextLength);
    if (entry.pieces < 1 || entry.pieces > kMaxPieces || !std::isfinite(entry.seconds) || entry.seconds < 0
        || entry.seconds > kMaxSeconds || !entry.date.isValid())
        return std::nullopt;
    return entry;
}

QVariantMap valueFromEntry(const FinishedPuzzle &entry)
{
    QVariantMap dict;
    dict[kNameKey] = cleanText(entry.name);
    dict[kPiecesKey] = qlonglong(entry.pieces);
    dict[kSecondsKey] = entry.seconds;
    dict[kDateKey] = entry.date.toUTC();
    dict[kPictureKey] = cleanText(entry.picture);
    return dict;
}

// The picture's own bytes name it: a kept puzzle started again, or the same picture chosen
// again, stores the same image.jpg.
QString pictureKey(const JPPuzzle &puzzle)
{
    QFile file(QDir(puzzle.filePath()).filePath(QStringLiteral("image.jpg")));
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (file.open(QIODevice::ReadOnly) && hash.addData(&file))
        return QString::fromLatin1(hash.result().toHex());
    return QStringLiteral("name:") + puzzle.name();
}

void dropOldestOrdinary(std::vector<FinishedPuzzle> &entries)
{
    MarkBestTimes(entries);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (!it->best) {
            entries.erase(it);
            return;
        }
    }
    entries.erase(entries.begin());
}

}

QString FinishedRecordPath()
{
    return g_puzzlePath.isEmpty() ? QString() : QDir(g_puzzlePath).filePath(QStringLiteral("Finished.plist"));
}

std::vector<FinishedPuzzle> ReadFinishedRecord(const QString &path)
{
    std::vector<FinishedPuzzle> entries;
    const std::optional<QVariantList> list = ReadPropertyListArray(path);
    if (!list)
        return entries;
    for (const QVariant &value : *list)
        if (std::optional<FinishedPuzzle> entry = entryFromValue(value))
            entries.push_back(std::move(*entry));
    while (entries.size() > kMaxFinishedEntries)
        entries.erase(entries.begin());
    return entries;
}

bool AddToFinishedRecord(const QString &path, const FinishedPuzzle &entry)
{
    if (path.isEmpty())
        return false;
    if (QFileInfo::exists(path) && !ReadPropertyListArray(path)) {
        const QString kept = path + QStringLiteral(".damaged");
        QFile::remove(kept);
        if (QFile::rename(path, kept))
            LogString(QStringLiteral("Kept the damaged record of finished puzzles as %1").arg(kept));
    }
    std::vector<FinishedPuzzle> entries = ReadFinishedRecord(path);
    entries.push_back(entry);
    while (entries.size() > kMaxFinishedEntries)
        dropOldestOrdinary(entries);
    QVariantList list;
    for (const FinishedPuzzle &each : entries)
        list.append(valueFromEntry(each));
    if (!WritePropertyList(path, list)) {
        LogString(QStringLiteral("Can't write the record of finished puzzles %1").arg(path));
        return false;
    }
    return true;
}

void MarkBestTimes(std::vector<FinishedPuzzle> &entries)
{
    std::map<std::pair<QString, int64_t>, size_t> fastest;
    for (size_t i = 0; i < entries.size(); ++i) {
        FinishedPuzzle &entry = entries[i];
        entry.best = false;
        if (entry.seconds < 1.0)
            continue;
        const auto key = std::make_pair(entry.picture, entry.pieces);
        const auto found = fastest.find(key);
        if (found == fastest.end() || entry.seconds < entries[found->second].seconds)
            fastest[key] = i;
    }
    for (const auto &each : fastest)
        entries[each.second].best = true;
}

FinishedPuzzle FinishedEntryForPuzzle(const JPPuzzle &puzzle)
{
    FinishedPuzzle entry;
    entry.name = puzzle.name();
    entry.pieces = puzzle.pieceCount();
    entry.seconds = PlayedSeconds(puzzle.puzzleDict());
    // The record keeps whole seconds.
    entry.date = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    entry.picture = pictureKey(puzzle);
    return entry;
}
