#pragma once

#include <QString>

// Keys of the puzzle dictionary (a puzzle folder's "info.plist"), of the catalogues and
// kept puzzles the new-puzzle dialog reads its candidates from, and of the thumbnail cache.

inline const QString kNameKey = QStringLiteral("name"); // the picture's or puzzle's name
inline const QString kDescKey = QStringLiteral("desc"); // the picture's second caption line
inline const QString kCatKey = QStringLiteral("cat"); // category; the picture's folder on the website
inline const QString kFileKey = QStringLiteral("file"); // catalogue base name, own picture or kept folder
inline const QString kSizeKey = QStringLiteral("size"); // the picture's pixel size, "{W, H}"
inline const QString kPathKey = QStringLiteral("path"); // the chosen picture or kept puzzle folder
inline const QString kImageKey = QStringLiteral("image"); // the picture itself; never stored
inline const QString kThumbKey = QStringLiteral("thumb"); // a ready thumbnail; never stored
inline const QString kButtonKey = QStringLiteral("button"); // marks the dialog's action cells; never stored
inline const QString kCountKey = QStringLiteral("count"); // the requested piece count
inline const QString kDoneKey = QStringLiteral("done"); // the puzzle is finished
inline const QString kResetKey = QStringLiteral("reset"); // a kept puzzle is to be made again
inline const QString kGuidKey = QStringLiteral("guid"); // cache map: the thumbnail file's base name
