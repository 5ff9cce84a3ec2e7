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
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        std::memset(canvas.scanLine(y) + size_t(rect.left()) * 4, 0, size_t(rect.width()) * 4);
}

// A larger canvas holding the old one at offset, transparent around it.
QImage grownCanvas(const QImage &old, QSize size, QPoint offset)
{
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return canvas;
    const size_t rowBytes = size_t(size.width()) * 4;
    const size_t before = size_t(offset.x()) * 4;
    const size_t oldBytes = size_t(old.width()) * 4;
    for (int y = 0; y < size.height(); ++y) {
        uchar *row = canvas.scanLine(y);
        const int oldY = y - offset.y();
        if (oldY < 0 || oldY >= old.height()) {
            std::memset(row, 0, rowBytes);
            continue;
        }
        std::memset(row, 0, before);
        std::memcpy(row + before, old.constScanLine(oldY), oldBytes);
        std::memset(row + before + oldBytes, 0, rowBytes - before - oldBytes);
    }
    return canvas;
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
    template <typename Meet>
    void forEachMeeting(const QRect &rect, size_t member, Meet &&meet)
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

    template <typename Visit>
    void forBuckets(const QRect &rect, Visit &&visit)
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
    return QRectF(firstImage.topLeft() + offset, QSizeF(m_composite.size()) * m_scale);
}

bool JPAssembly::drawWholeComposite()
{
    const QRect united = membersImageRect().toRect();
    QImage canvas(united.size(), QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return false;
    canvas.fill(0);
    // Picture coordinates grow downward like the canvas's, so members go straight in.
    for (const JPPiece *member : m_pieces) {
        if (!member->image())
            continue;
        const QImage picture = blendable(member->image()->qimage());
        blendOver(canvas, placeOf(member).topLeft() - united.topLeft(), picture, picture.rect());
    }
    m_composite = std::move(canvas);
    m_compositeRect = united;
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
    if (united != m_compositeRect) {
        QImage grown = grownCanvas(m_composite, united.size(), m_compositeRect.topLeft() - united.topLeft());
        if (grown.isNull())
            return false;
        m_composite = std::move(grown);
        m_compositeRect = united;
    }

    // Each newcomer's place is cleared and drawn again from every member over it, in reading
    // order: exactly what a drawing afresh puts there, wherever the pictures overlap.
    std::vector<std::vector<const JPPiece *>> over(newPlaces.size());
    NewcomerIndex index(newPlaces, united);
    for (size_t m = 0; m < m_pieces.size(); ++m) {
        const JPPiece *member = m_pieces[m];
        if (member->image())
            index.forEachMeeting(placeOf(member), m, [&](size_t i) { over[i].push_back(member); });
    }
    const QPoint origin = united.topLeft();
    for (size_t i = 0; i < newPlaces.size(); ++i) {
        const QRect place = newPlaces[i];
        clearRect(m_composite, place.translated(-origin));
        for (const JPPiece *member : over[i]) {
            const QRect memberPlace = placeOf(member);
            const QRect part = memberPlace.intersected(place).translated(-memberPlace.topLeft());
            blendOver(m_composite, memberPlace.topLeft() - origin, blendable(member->image()->qimage()), part);
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
    const bool incremental = !whole && !m_composite.isNull() && upToDate
                             && m_undrawn.size() * kNewcomerCost < m_pieces.size();
    if (incremental && m_undrawn.empty())
        return;
    // Nothing else may hold the pixels while they change, or the change would copy them: the
    // picture still waiting to be written would be replaced anyway. (One being written is
    // copied; at a player's pace it is long written by the next join.)
    CCImageWriteQueue::sharedInstance().cancel(imagePath());
    m_image.reset();
    if (!(incremental ? drawNewcomers() : drawWholeComposite())) {
        m_composite = QImage();
        m_drawnCount = 0;
        m_undrawn.clear();
        LogString(QStringLiteral("Can't lock focus for assembly %1 in %2").arg(qulonglong(m_pieceIndex)).arg(m_puzzle->name()));
        return;
    }
    m_drawnCount = m_pieces.size();
    m_undrawn.clear();
    m_image = CCImage::initWithCGImage(m_composite);
    storeComposite();
}

void JPAssembly::storeComposite()
{
    // Replaced in one step in the background: a crash while writing leaves the previous picture
    // whole, and a picture that can't be written goes, so that opening makes it again.
    CCImageWriteQueue::sharedInstance().writePng(
        imagePath(), m_composite, {{kMembersTextKey, memberSignature()}},
        QStringLiteral("Can't save image for assembly %1 in %2").arg(qulonglong(m_pieceIndex)).arg(m_puzzle->name()));
}

bool JPAssembly::adoptStoredComposite()
{
    const QRect united = membersImageRect().toRect();
    if (!m_image || m_image->size() != QSizeF(united.size())
        || m_image->qimage().text(kMembersTextKey) != memberSignature())
        return false;
    m_composite = m_image->qimage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (m_composite.isNull())
        return false;
    m_image = CCImage::initWithCGImage(m_composite);
    m_compositeRect = united;
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
