// The composite picture of an assembly: drawn once from its members, then brought up to date
// by drawing only the members that join, and written to its file in the background.
#include "model/jp_assembly.h"

#include "imaging/cc_image.h"
#include "imaging/image_write_queue.h"
#include "model/jp_puzzle.h"
#include "support/log.h"

#include <QCryptographicHash>

#include <algorithm>
#include <atomic>
#include <cstring>

const QString JPAssembly::kMembersTextKey = QStringLiteral("Members");

namespace {

// Revisions are unique in the process, so a copy taken of one composite is never mistaken
// for a copy of another that later took its place in memory.
std::atomic<uint64_t> g_compositeRevision{0};

// Drawing a newcomer means drawing again what overlaps its place too, about twice its own
// picture: once half the members are new, drawing every member afresh costs no more.
constexpr size_t kNewcomerCost = 2;

// Source-over of the part `part` of a member's picture (in its own pixels) onto the canvas,
// with the picture's top-left corner at `at`. One formula for every drawing, so a composite
// drawn bit by bit equals one drawn at once.
void blendOver(QImage &canvas, QPoint at, const QImage &picture, const QRect &part)
{
    const bool premultiplied = picture.format() == QImage::Format_ARGB32_Premultiplied;
    for (int y = part.top(); y <= part.bottom(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(picture.constScanLine(y)) + part.left();
        auto *out = reinterpret_cast<QRgb *>(canvas.scanLine(at.y() + y)) + at.x() + part.left();
        for (int x = 0; x < part.width(); ++x) {
            const QRgb source = premultiplied ? in[x] : qPremultiply(in[x]);
            const uint32_t alpha = qAlpha(source);
            if (alpha == 0)
                continue;
            if (alpha == 255 || out[x] == 0) {
                out[x] = source;
                continue;
            }
            const uint32_t keep = 255 - alpha;
            const QRgb under = out[x];
            const auto mix = [keep](uint32_t over, uint32_t below) { return over + (below * keep + 127) / 255; };
            out[x] = qRgba(int(mix(uint32_t(qRed(source)), uint32_t(qRed(under)))),
                           int(mix(uint32_t(qGreen(source)), uint32_t(qGreen(under)))),
                           int(mix(uint32_t(qBlue(source)), uint32_t(qBlue(under)))),
                           int(mix(alpha, uint32_t(qAlpha(under)))));
        }
    }
}

// Member pictures in the two layouts blendOver reads; others are converted once.
QImage blendable(const QImage &picture)
{
    if (picture.format() == QImage::Format_ARGB32 || picture.format() == QImage::Format_ARGB32_Premultiplied)
        return picture;
    return picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void clearRect(QImage &canvas, const QRect &rect)
{
    if (rect.isEmpty())
        return;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        std::memset(canvas.scanLine(y) + size_t(rect.left()) * 4, 0, size_t(rect.width()) * 4);
}

// Copies the part `rect` of from (covering fromRect) into canvas (covering canvasRect).
void copyRect(QImage &canvas, const QRect &canvasRect, const QImage &from, const QRect &fromRect, const QRect &rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        std::memcpy(canvas.scanLine(y - canvasRect.top()) + size_t(rect.left() - canvasRect.left()) * 4,
                    from.constScanLine(y - fromRect.top()) + size_t(rect.left() - fromRect.left()) * 4,
                    size_t(rect.width()) * 4);
}

// The part rect of canvas (covering canvasRect) as an image of its own that shares the pixels:
// read only, and keeping the canvas alive.
QImage viewOf(const QImage &canvas, const QRect &canvasRect, const QRect &rect)
{
    if (rect == canvasRect)
        return canvas;
    auto *kept = new QImage(canvas);
    const uchar *bits = kept->constBits() + qsizetype(rect.top() - canvasRect.top()) * kept->bytesPerLine()
        + qsizetype(rect.left() - canvasRect.left()) * 4;
    return QImage(
        bits, rect.width(), rect.height(), kept->bytesPerLine(), QImage::Format_ARGB32_Premultiplied,
        [](void *image) { delete static_cast<QImage *>(image); }, kept);
}

// Finds, for a member's place, the newcomers' places it meets, through buckets of a coarse
// grid; a few newcomers are simply tried one by one.
class NewcomerIndex
{
public:
    NewcomerIndex(const std::vector<QRect> &places, const QRect &area)
        : m_places(places)
        , m_area(area)
        , m_stamp(places.size(), SIZE_MAX)
    {
        if (places.size() <= kFewNewcomers)
            return;
        for (const QRect &place : places)
            m_cell = std::max({m_cell, place.width(), place.height()});
        m_columns = area.width() / m_cell + 1;
        m_rows = area.height() / m_cell + 1;
        m_buckets.resize(size_t(m_columns) * size_t(m_rows));
        for (size_t i = 0; i < places.size(); ++i)
            forBuckets(places[i], [&](std::vector<size_t> &bucket) { bucket.push_back(i); });
    }

    // Calls meet(i) once for each newcomer i whose place meets rect; member tells calls apart.
    template <typename Meet> void forEachMeeting(const QRect &rect, size_t member, Meet &&meet)
    {
        const auto test = [&](size_t i) {
            if (m_stamp[i] != member && m_places[i].intersects(rect)) {
                m_stamp[i] = member;
                meet(i);
            }
        };
        if (m_buckets.empty()) {
            for (size_t i = 0; i < m_places.size(); ++i)
                test(i);
            return;
        }
        forBuckets(rect, [&](std::vector<size_t> &bucket) {
            for (size_t i : bucket)
                test(i);
        });
    }

private:
    static constexpr size_t kFewNewcomers = 8;

    template <typename Visit> void forBuckets(const QRect &rect, Visit &&visit)
    {
        const QRect inside = rect.intersected(m_area).translated(-m_area.topLeft());
        if (inside.isEmpty())
            return;
        for (int row = inside.top() / m_cell; row <= inside.bottom() / m_cell; ++row)
            for (int column = inside.left() / m_cell; column <= inside.right() / m_cell; ++column)
                visit(m_buckets[size_t(row) * size_t(m_columns) + size_t(column)]);
    }

    const std::vector<QRect> &m_places;
    QRect m_area;
    std::vector<size_t> m_stamp;
    int m_cell = 1;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::vector<size_t>> m_buckets;
};

}

QRect JPAssembly::placeOf(const JPPiece *member) const
{
    const auto found = m_places.find(member);
    if (found != m_places.end())
        return found->second;
    const QRect place = member->imageRect().toRect();
    m_places.emplace(member, place);
    return place;
}

QRectF JPAssembly::membersImageRect() const
{
    QRect united;
    for (const JPPiece *member : m_pieces)
        united = united.isNull() ? placeOf(member) : united.united(placeOf(member));
    return QRectF(united);
}

QRectF JPAssembly::compositeRect()
{
    refreshSize();
    if (!m_image || m_pieces.empty())
        return QRectF();
    // Placed through a member, so the picture lies exactly under the outlines.
    JPPiece *first = m_pieces.front();
    const QRectF firstImage = first->imageRectInEnclosingRect(rectForPiece(first));
    const QPointF offset = QPointF(m_compositeRect.topLeft() - placeOf(first).topLeft()) * m_scale;
    return QRectF(firstImage.topLeft() + offset, QSizeF(m_compositeRect.size()) * m_scale);
}

bool JPAssembly::extendComposite(const QRect &united)
{
    const QRect old = m_canvas.isNull() ? QRect() : m_compositeRect;
    if (m_canvas.isNull() || !m_canvasRect.contains(united)) {
        // Room to grow by a quarter every way, within the picture: joins at the edge of a large
        // assembly seldom have to move its pixels.
        QRect room =
            united.adjusted(-united.width() / 4, -united.height() / 4, united.width() / 4, united.height() / 4);
        if (const CCImage *picture = m_puzzle->image())
            room = room.intersected(QRect(QPoint(0, 0), picture->size().toSize()).united(united));
        QImage canvas(room.size(), QImage::Format_ARGB32_Premultiplied);
        if (canvas.isNull())
            return false;
        if (!old.isEmpty())
            copyRect(canvas, room, m_canvas, m_canvasRect, old);
        m_canvas = std::move(canvas);
        m_canvasRect = room;
    }
    // What the composite didn't cover is cleared; the room beyond it is never read.
    const QRect area = united.translated(-m_canvasRect.topLeft());
    const QRect kept = old.translated(-m_canvasRect.topLeft());
    if (kept.isEmpty()) {
        clearRect(m_canvas, area);
    } else {
        clearRect(m_canvas, QRect(QPoint(area.left(), area.top()), QPoint(area.right(), kept.top() - 1)));
        clearRect(m_canvas, QRect(QPoint(area.left(), kept.bottom() + 1), QPoint(area.right(), area.bottom())));
        clearRect(m_canvas, QRect(QPoint(area.left(), kept.top()), QPoint(kept.left() - 1, kept.bottom())));
        clearRect(m_canvas, QRect(QPoint(kept.right() + 1, kept.top()), QPoint(area.right(), kept.bottom())));
    }
    m_compositeRect = united;
    return true;
}

bool JPAssembly::drawWholeComposite()
{
    m_canvas = QImage();
    if (!extendComposite(membersImageRect().toRect()))
        return false;
    // Picture coordinates grow downward like the canvas's, so members go straight in.
    for (const JPPiece *member : m_pieces) {
        if (!member->image())
            continue;
        const QImage picture = blendable(member->image()->qimage());
        blendOver(m_canvas, placeOf(member).topLeft() - m_canvasRect.topLeft(), picture, picture.rect());
    }
    m_drawLog.clear();
    m_wholeRevision = m_compositeRevision = ++g_compositeRevision;
    return true;
}

bool JPAssembly::drawNewcomers()
{
    std::vector<QRect> newPlaces;
    newPlaces.reserve(m_undrawn.size());
    QRect united = m_compositeRect;
    for (const JPPiece *newcomer : m_undrawn) {
        newPlaces.push_back(placeOf(newcomer));
        united = united.united(newPlaces.back());
    }
    if (united != m_compositeRect && !extendComposite(united))
        return false;

    // Each newcomer's place is cleared and drawn again from every member over it, in reading
    // order: exactly what a drawing afresh puts there, wherever the pictures overlap.
    std::vector<std::vector<const JPPiece *>> over(newPlaces.size());
    NewcomerIndex index(newPlaces, united);
    for (size_t m = 0; m < m_pieces.size(); ++m) {
        const JPPiece *member = m_pieces[m];
        if (member->image())
            index.forEachMeeting(placeOf(member), m, [&](size_t i) { over[i].push_back(member); });
    }
    const QPoint origin = m_canvasRect.topLeft();
    for (size_t i = 0; i < newPlaces.size(); ++i) {
        const QRect place = newPlaces[i];
        clearRect(m_canvas, place.translated(-origin));
        for (const JPPiece *member : over[i]) {
            const QRect memberPlace = placeOf(member);
            const QRect part = memberPlace.intersected(place).translated(-memberPlace.topLeft());
            blendOver(m_canvas, memberPlace.topLeft() - origin, blendable(member->image()->qimage()), part);
        }
    }
    m_compositeRevision = ++g_compositeRevision;
    for (const QRect &place : newPlaces)
        m_drawLog.emplace_back(m_compositeRevision, place);
    return true;
}

void JPAssembly::makeCompositeImage(bool whole)
{
    if (m_pieces.empty())
        return;
    const bool upToDate = m_drawnCount + m_undrawn.size() == m_pieces.size();
    const bool incremental =
        !whole && !m_canvas.isNull() && upToDate && m_undrawn.size() * kNewcomerCost < m_pieces.size();
    if (incremental && m_undrawn.empty())
        return;
    // Nothing else may hold the pixels while they change, or the change would copy them: the
    // picture still waiting to be written would be replaced anyway. (One being written is
    // copied; at a player's pace it is long written by the next join.)
    CCImageWriteQueue::sharedInstance().cancel(imagePath());
    m_image.reset();
    if (!(incremental ? drawNewcomers() : drawWholeComposite())) {
        m_canvas = QImage();
        m_drawnCount = 0;
        m_undrawn.clear();
        LogString(QStringLiteral("Can't lock focus for assembly %1 in %2")
                      .arg(qulonglong(m_pieceIndex))
                      .arg(m_puzzle->name()));
        return;
    }
    m_drawnCount = m_pieces.size();
    m_undrawn.clear();
    showComposite();
    // Replaced in one step in the background: a crash while writing leaves the previous picture
    // whole, and a picture that can't be written goes, so that opening makes it again.
    CCImageWriteQueue::sharedInstance().writePng(
        imagePath(), m_image->qimage(), {{kMembersTextKey, memberSignature()}},
        QStringLiteral("Can't save image for assembly %1 in %2").arg(qulonglong(m_pieceIndex)).arg(m_puzzle->name()));
}

void JPAssembly::showComposite()
{
    m_image = CCImage::initWithCGImage(viewOf(m_canvas, m_canvasRect, m_compositeRect));
}

bool JPAssembly::adoptStoredComposite()
{
    const QRect united = membersImageRect().toRect();
    if (!m_image || m_image->size() != QSizeF(united.size())
        || m_image->qimage().text(kMembersTextKey) != memberSignature())
        return false;
    const QImage stored = m_image->qimage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_image.reset();
    m_canvas = QImage();
    if (stored.isNull() || !extendComposite(united))
        return false;
    copyRect(m_canvas, m_canvasRect, stored, united, united);
    showComposite();
    m_drawnCount = m_pieces.size();
    m_undrawn.clear();
    m_drawLog.clear();
    m_wholeRevision = m_compositeRevision = ++g_compositeRevision;
    return true;
}

bool JPAssembly::compositeChangesSince(uint64_t revision, std::vector<QRect> &places) const
{
    places.clear();
    if (revision < m_wholeRevision || revision > m_compositeRevision)
        return false;
    auto from = m_drawLog.end();
    while (from != m_drawLog.begin() && std::prev(from)->first > revision)
        --from;
    for (auto it = from; it != m_drawLog.end(); ++it)
        places.push_back(it->second);
    return true;
}

QString JPAssembly::memberSignature() const
{
    std::vector<uint64_t> indexes;
    indexes.reserve(m_pieces.size());
    for (const JPPiece *member : m_pieces)
        indexes.push_back(member->pieceIndex());
    std::sort(indexes.begin(), indexes.end());
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (uint64_t index : indexes) {
        const QByteArray number = QByteArray::number(qulonglong(index)) + ',';
        hash.addData(number);
    }
    return QString::number(indexes.size()) + QLatin1Char(' ') + QString::fromLatin1(hash.result().toHex());
}
