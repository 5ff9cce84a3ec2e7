#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QVariantMap>

// One cell of the new-puzzle dialog's grid: a picture it offers, or one of its action cells
// ("Select a file…", "Refresh"). Candidates are read from property lists at the edge (the
// built-in catalogue, the website catalogue, a kept puzzle's "info.plist") and written back as
// the puzzle dictionary that becomes the new puzzle's "info.plist".
struct PuzzleCandidate
{
    QString name; // caption line 0 and the sort key
    QString desc; // caption line 1
    QString cat; // category name; the picture's folder on the website
    // Built-in and website pictures: the base file name without extension; own pictures: the
    // picture's path; kept puzzles: the puzzle folder.
    QString file;
    QString size; // the picture's pixel size as "{W, H}"
    QImage thumb; // the thumbnail, kept once loaded
    QImage image; // the picture itself when it was decoded here (the clipboard's)
    bool button = false; // an action cell
    // Everything else the dictionary it was read from carried; passes into "info.plist".
    QVariantMap others;

    QSize pictureSize() const;

    // The candidate of a catalogue entry or a kept puzzle's "info.plist". The known keys that
    // hold text become fields, other values stay in others unchanged; "path", "image", "thumb"
    // and "button" are never taken from a file.
    static PuzzleCandidate fromPropertyList(const QVariantMap &dict);
    // The puzzle dictionary for createPuzzle(): others and the fields that are set, "path"
    // when path isn't empty, and the pictures (createPuzzle takes them out before saving).
    QVariantMap puzzleDict(const QString &path = QString()) const;
};
