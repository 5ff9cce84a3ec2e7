#include "app/puzzle_candidate.h"

#include "support/helpers.h"
#include "support/puzzle_keys.h"

QSize PuzzleCandidate::pictureSize() const
{
    return SizeFromString(size);
}

PuzzleCandidate PuzzleCandidate::fromPropertyList(const QVariantMap &dict)
{
    PuzzleCandidate candidate;
    candidate.others = dict;
    for (const QString &key : {kPathKey, kImageKey, kThumbKey, kButtonKey})
        candidate.others.remove(key);
    const auto take = [&others = candidate.others](const QString &key) {
        const QVariant value = others.value(key);
        if (value.typeId() != QMetaType::QString)
            return QString();
        others.remove(key);
        return value.toString();
    };
    candidate.name = take(kNameKey);
    candidate.desc = take(kDescKey);
    candidate.cat = take(kCatKey);
    candidate.file = take(kFileKey);
    candidate.size = take(kSizeKey);
    return candidate;
}

QVariantMap PuzzleCandidate::puzzleDict(const QString &path) const
{
    QVariantMap dict = others;
    const auto put = [&dict](const QString &key, const QVariant &value, bool present) {
        if (present)
            dict[key] = value;
    };
    put(kNameKey, name, !name.isEmpty());
    put(kDescKey, desc, !desc.isEmpty());
    put(kCatKey, cat, !cat.isEmpty());
    put(kFileKey, file, !file.isEmpty());
    put(kSizeKey, size, !size.isEmpty());
    put(kThumbKey, thumb, !thumb.isNull());
    put(kImageKey, image, !image.isNull());
    put(kPathKey, path, !path.isEmpty());
    return dict;
}
