// What the crash harness checks in a puzzle folder after the game was killed over it.
#pragma once

#include "imaging/cc_image.h"
#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "support/cc_alert.h"
#include "support/property_list.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace crash_harness {

// Counts the alerts the model raises while the harness opens folders in-process; a folder
// that alerts on opening would alert at every start of the game.
class CountingAlertPresenter : public CCAlertPresenter
{
public:
    std::optional<int> runModal(const CCAlertRequest &request, bool *) override
    {
        messages.append(request.message + QLatin1Char(' ') + request.moreInfo);
        return kAlertFirstButton;
    }
    bool beginSheet(const CCAlertRequest &request, QObject *, std::function<void(int, bool)> done) override
    {
        messages.append(request.message + QLatin1Char(' ') + request.moreInfo);
        done(kAlertFirstButton, false);
        return true;
    }
    QStringList messages;
};

struct BoardSummary
{
    int64_t pieces = 0;
    size_t items = 0;
    size_t assemblies = 0;
    // Files in Pieces that no piece or assembly of the document names.
    int strayFiles = 0;
    bool finished = false;
};

inline bool copyFolder(const QString &from, const QString &to)
{
    QDir(to).removeRecursively();
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(path));
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target))
                return false;
        } else if (!QFile::copy(path, target)) {
            return false;
        }
    }
    return true;
}

// Assembly pictures by identifier: Pieces/NNNN.png with NNNN of 5001 or more.
inline std::map<uint64_t, QString> assemblyImageFiles(const QString &folder)
{
    std::map<uint64_t, QString> files;
    const QDir pieces(QDir(folder).filePath(QStringLiteral("Pieces")));
    for (const QString &name : pieces.entryList({QStringLiteral("*.png")}, QDir::Files)) {
        bool ok = false;
        const uint64_t id = QFileInfo(name).completeBaseName().toULongLong(&ok);
        if (ok && id >= kFirstAssemblyId)
            files[id] = pieces.filePath(name);
    }
    return files;
}

inline QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

// Opens a built puzzle the way `info`, `solve` and `render` do and checks what a reopened
// board must hold: every piece exactly once, assemblies of two or more whose pictures exist,
// decode and have the size their members cover. Problems are appended to problems.
inline std::optional<BoardSummary> checkBuiltPuzzle(const QString &folder, QStringList &problems)
{
    QString reason;
    std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::openExisting(folder, &reason);
    if (!puzzle) {
        problems.append(QStringLiteral("%1 doesn't open: %2").arg(folder, reason));
        return std::nullopt;
    }
    // Pictures made again on opening are written in the background; they are checked on disk.
    puzzle->waitForImageWrites();
    BoardSummary summary;
    summary.pieces = puzzle->pieceCount();
    summary.items = puzzle->pieces().size();
    summary.finished = puzzle->finished();
    std::vector<int> seen(size_t(std::max<int64_t>(summary.pieces, 0)), 0);
    const auto count = [&](const JPPiece *piece) {
        if (piece->pieceIndex() < seen.size())
            ++seen[piece->pieceIndex()];
        else
            problems.append(QStringLiteral("piece number %1 is outside the grid").arg(qulonglong(piece->pieceIndex())));
        if (!piece->image() && !piece->assembly())
            problems.append(QStringLiteral("loose piece %1 has no picture").arg(qulonglong(piece->pieceIndex())));
    };
    for (const JPPiece *item : puzzle->pieces()) {
        if (!item->isAssembly()) {
            count(item);
            continue;
        }
        ++summary.assemblies;
        const auto *assembly = static_cast<const JPAssembly *>(item);
        if (assembly->pieces().size() < 2)
            problems.append(QStringLiteral("assembly %1 has %2 members")
                                .arg(qulonglong(assembly->pieceIndex()))
                                .arg(assembly->pieces().size()));
        for (const JPPiece *member : assembly->pieces()) {
            count(member);
            if (member->assembly() != assembly)
                problems.append(
                    QStringLiteral("piece %1 doesn't point at its assembly").arg(qulonglong(member->pieceIndex())));
        }
        const QRectF covered = assembly->membersImageRect();
        const QSize expected(int(std::ceil(covered.width())), int(std::ceil(covered.height())));
        if (!assembly->image() || assembly->image()->size().toSize() != expected)
            problems.append(QStringLiteral("assembly %1's picture doesn't cover its members")
                                .arg(qulonglong(assembly->pieceIndex())));
        QImageReader reader(assembly->imagePath());
        const QImage stored = reader.read();
        if (stored.isNull() || stored.size() != expected)
            problems.append(QStringLiteral("assembly %1's file %2 is %3 x %4, its members cover %5 x %6")
                                .arg(qulonglong(assembly->pieceIndex()))
                                .arg(assembly->imagePath())
                                .arg(stored.width())
                                .arg(stored.height())
                                .arg(expected.width())
                                .arg(expected.height()));
    }
    for (size_t index = 0; index < seen.size(); ++index)
        if (seen[index] != 1)
            problems.append(QStringLiteral("piece %1 appears %2 times").arg(index).arg(seen[index]));
    const QDir pieces(QDir(folder).filePath(QStringLiteral("Pieces")));
    for (const QString &name : pieces.entryList(QDir::Files | QDir::Hidden)) {
        bool number = false;
        const uint64_t index = QFileInfo(name).completeBaseName().toULongLong(&number);
        const bool named = number && name.endsWith(QLatin1String(".png"))
            && (index < seen.size() || puzzle->assemblyWithId(index) != nullptr);
        if (!named)
            ++summary.strayFiles;
    }
    return summary;
}

// Differing pixels between two renders of the same board; -1 when they can't be compared.
inline int64_t differingPixels(const QImage &a, const QImage &b)
{
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int64_t differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column)
            if (p[column] != q[column])
                ++differing;
    }
    return differing;
}

}
