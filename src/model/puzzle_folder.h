#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class CCImage;

// The folder that holds every puzzle folder: "Wrenmoor/Jigsaw" in the user's data folder.
// Created on demand; empty when it can't be made.
QString PuzzleSupportFolder();

// The longest side a puzzle picture keeps.
constexpr int kMaxPictureSide = 2000;
// Pictures declaring more pixels than this are refused before decoding.
constexpr qint64 kMaxPicturePixels = 400LL * 1000 * 1000;
// A picture is offered when it holds at least this many squares of kSizeRuleSquare pixels.
constexpr int kSizeRuleSquare = 64;
constexpr int kMinimumSquares = 50;

// floor(w / 64) x floor(h / 64): how many pieces a picture of that size may be cut into.
int64_t SquaresInPicture(QSize size);

// Whether a picture of that size, as chosen (before the stored copy is scaled down), can be
// cut into count pieces: it passes the size rule for that count, and its stored copy gives
// every piece a knob.
bool CanCutPicture(QSize size, int64_t count);

// The upright pixel size a picture file declares (after its orientation tag), or an empty
// size when it can't be read as a picture.
QSize DeclaredPictureSize(const QString &path);

// Decodes a picture at most maxSide pixels on its longer side (the longer side exactly
// maxSide when it was larger, the other rounded down), upright. Large JPEGs are decoded
// at a reduced scale straight away. Null on failure, for a cut-off JPEG, or when the
// picture declares more than kMaxPicturePixels.
QImage LoadPictureFitting(const QString &path, int maxSide, QString *error = nullptr);

// What a new puzzle is made from: a picture file, a picture in memory (the clipboard), or
// a kept puzzle folder to start again.
struct NewPuzzleChoice
{
    QVariantMap dict; // the dialog's dictionary: "path", "name", ... passed to info.plist
    QImage image; // "image": the picture itself when there is no path
    QImage thumb; // "thumb": a ready thumbnail, if any
    int64_t count = 0; // the requested piece count
};

struct MadePuzzleFolder
{
    QString folder;
    std::shared_ptr<CCImage> picture; // null for a kept puzzle: it is read from the folder
    QVariantMap dict;
};

// Makes a puzzle folder in supportFolder from the choice: the picture (at most 2000 pixels,
// as "image.jpg" at quality 0.7), "Pieces", "thumbnail.jpg" and "info.plist". The folder is
// filled under a hidden name and appears as "GUID.WMjigsaw" only once complete. A kept
// puzzle is marked for rebuilding instead. On failure nothing is left behind and error
// says why.
std::optional<MadePuzzleFolder> MakePuzzleFolder(const NewPuzzleChoice &choice, const QString &supportFolder,
                                                 QString *error);
