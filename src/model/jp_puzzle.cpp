#include "model/jp_puzzle.h"

#include "imaging/cc_image.h"
#include "imaging/cc_pixmap.h"
#include "model/jp_assembly.h"
#include "model/play_stats.h"
#include "model/puzzle_events.h"
#include "support/helpers.h"
#include "support/log.h"
#include "support/property_list.h"
#include "support/puzzle_keys.h"
#include "support/random_number.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <thread>

namespace {

// Serial work queues that cut piece images; at most this many pieces are cut at once.
constexpr int kImageQueueCount = 10;

// Spins a plain event loop: what runs while pieces are made when nobody shows progress.
class EventLoopBuildingDialog : public JPBuildingDialog
{
public:
    void updateProgress(double) override { }
    void runModal() override
    {
        if (!m_ended)
            m_loop.exec();
    }
    void endModal() override
    {
        m_ended = true;
        m_loop.quit();
    }

private:
    QEventLoop m_loop;
    bool m_ended = false;
};

std::function<std::unique_ptr<JPBuildingDialog>()> &buildingDialogFactory()
{
    static std::function<std::unique_ptr<JPBuildingDialog>()> factory = [] {
        return std::make_unique<EventLoopBuildingDialog>();
    };
    return factory;
}

std::function<void(JPPuzzle *)> &stopRequestHandler()
{
    static std::function<void(JPPuzzle *)> handler;
    return handler;
}

template <typename Function> void onMainThread(Function function)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(function), Qt::QueuedConnection);
}

}

void JPPuzzle::setBuildingDialogFactory(std::function<std::unique_ptr<JPBuildingDialog>()> factory)
{
    if (!factory)
        factory = [] { return std::make_unique<EventLoopBuildingDialog>(); };
    buildingDialogFactory() = std::move(factory);
}

CreationOptions &JPPuzzle::creationOptions()
{
    static CreationOptions options;
    return options;
}

void JPPuzzle::setStopRequestHandler(std::function<void(JPPuzzle *)> handler)
{
    stopRequestHandler() = std::move(handler);
}

JPPuzzle::~JPPuzzle()
{
    // Whoever closes a puzzle may delete or copy its folder next.
    waitForImageWrites();
}

bool JPPuzzle::prepare(const QString &path, std::shared_ptr<CCImage> image, const QVariantMap *puzzleDict,
                       QString *reason)
{
    m_filePath = path;
    m_guid = fileNameMinusExtension(path);
    if (!image) {
        image = CCImage::initWithContentsOfFile(QDir(path).filePath(QStringLiteral("image.jpg")));
        if (!image) {
            if (reason)
                *reason = QStringLiteral("its picture can't be read");
            return false;
        }
    }
    m_image = std::move(image);
    if (puzzleDict) {
        m_puzzleDict = *puzzleDict;
        m_finished = boolForKey(m_puzzleDict, kDoneKey);
        return true;
    }
    auto dict = ReadPropertyListDictionary(QDir(path).filePath(QStringLiteral("info.plist")));
    if (!dict) {
        if (reason)
            *reason = QStringLiteral("its description (info.plist) can't be read");
        return false;
    }
    m_puzzleDict = *dict;
    m_finished = boolForKey(m_puzzleDict, kDoneKey);
    return true;
}

bool JPPuzzle::needsBuilding() const
{
    return boolForKey(m_puzzleDict, kResetKey)
        || !QFileInfo::exists(QDir(m_filePath).filePath(QStringLiteral("puzzle.xml")));
}

std::unique_ptr<JPPuzzle> JPPuzzle::initWithPath(const QString &path, std::shared_ptr<CCImage> image,
                                                 const QVariantMap *puzzleDict)
{
    std::unique_ptr<JPPuzzle> puzzle(new JPPuzzle);
    if (!puzzle->prepare(path, std::move(image), puzzleDict, nullptr))
        return nullptr;
    if (!puzzle->needsBuilding()) {
        QString reason;
        if (!puzzle->loadFromXml(QDir(path).filePath(QStringLiteral("puzzle.xml")), &reason)) {
            ShowPuzzleAlert(
                QStringLiteral("Can't open puzzle."),
                QStringLiteral("The puzzle file \"%1\" can't be opened because %2.").arg(puzzle->name(), reason));
            return nullptr;
        }
        return puzzle;
    }
    puzzle->m_puzzleDict.remove(kResetKey);
    // A puzzle built afresh (a kept one started again) is played from zero.
    puzzle->m_puzzleDict.remove(kPlayedKey);
    puzzle->m_infoDirty = true;
    if (!puzzle->startNewPuzzle(integerForKey(puzzle->m_puzzleDict, kCountKey)))
        return nullptr;
    return puzzle;
}

std::unique_ptr<JPPuzzle> JPPuzzle::openExisting(const QString &path, QString *reason)
{
    std::unique_ptr<JPPuzzle> puzzle(new JPPuzzle);
    if (!puzzle->prepare(path, nullptr, nullptr, reason))
        return nullptr;
    if (puzzle->needsBuilding()) {
        if (reason)
            *reason = QStringLiteral("the puzzle has not been built yet");
        return nullptr;
    }
    if (!puzzle->loadFromXml(QDir(path).filePath(QStringLiteral("puzzle.xml")), reason))
        return nullptr;
    return puzzle;
}

std::unique_ptr<JPPuzzle> JPPuzzle::initWithPicture(const QString &path, std::shared_ptr<CCImage> image,
                                                    const QVariantMap &puzzleDict)
{
    if (!image)
        return nullptr;
    std::unique_ptr<JPPuzzle> puzzle(new JPPuzzle);
    puzzle->prepare(path, std::move(image), &puzzleDict, nullptr);
    return puzzle;
}

QString JPPuzzle::name() const
{
    const QString name = stringForKey(m_puzzleDict, kNameKey);
    return name.isEmpty() ? QStringLiteral("Untitled") : name;
}

JPPiece *JPPuzzle::pieceWithIndex(uint64_t index) const
{
    if (index < m_allPieces.size() && m_allPieces[index] && m_allPieces[index]->pieceIndex() == index)
        return m_allPieces[index].get();
    for (const auto &piece : m_allPieces)
        if (piece->pieceIndex() == index)
            return piece.get();
    return nullptr;
}

QString JPPuzzle::imagePathForIndex(uint64_t index) const
{
    return QDir(m_filePath).filePath(QStringLiteral("Pieces/%1.png").arg(qulonglong(index), 4, 10, QLatin1Char('0')));
}

uint64_t JPPuzzle::assignAssemblyId()
{
    // Past the last identifier a document can hold, counting starts again from the first and
    // passes over those still in use.
    uint64_t id = m_nextAssemblyId;
    while (id < kFirstAssemblyId || id > kLastAssemblyId || m_assemblies.count(id))
        id = id >= kFirstAssemblyId && id < kLastAssemblyId ? id + 1 : kFirstAssemblyId;
    m_nextAssemblyId = id < kLastAssemblyId ? id + 1 : kFirstAssemblyId;
    // A reused identifier's old picture must not be deleted at the next save: it is drawn anew.
    std::erase(m_deletePaths, imagePathForIndex(id));
    return id;
}

JPAssembly *JPPuzzle::adoptAssembly(std::unique_ptr<JPAssembly> assembly)
{
    JPAssembly *raw = assembly.get();
    m_assemblies[raw->pieceIndex()] = std::move(assembly);
    return raw;
}

void JPPuzzle::releaseAssembly(JPAssembly *assembly)
{
    if (!assembly)
        return;
    if (m_pinnedAssembly == assembly)
        m_pinnedAssembly = nullptr;
    std::erase(m_pieces, static_cast<JPPiece *>(assembly));
    std::erase(m_selection, static_cast<JPPiece *>(assembly));
    m_assemblies.erase(assembly->pieceIndex());
}

JPAssembly *JPPuzzle::assemblyWithId(uint64_t id) const
{
    const auto found = m_assemblies.find(id);
    return found == m_assemblies.end() ? nullptr : found->second.get();
}

bool JPPuzzle::startNewPuzzle(int64_t count)
{
    const CreationOptions &options = creationOptions();
    m_rotate = options.rotatePieces;
    m_edgesOnly = options.edgesOnly;
    m_simpleEdges = options.simpleEdges;

    std::vector<GridCoord> coords;
    if (!calculateMetrics(count, coords)) {
        LogString(
            QStringLiteral("Can't build puzzle \"%1\": %2 pieces don't fit its picture").arg(m_filePath).arg(count));
        return false;
    }

    m_dialog = buildingDialogFactory()();
    m_completedCount = 0;
    m_finishing = false;
    m_built = false;
    std::thread creator([this, cells = std::move(coords)]() mutable { createPieces(std::move(cells)); });
    m_dialog->runModal();
    creator.join();
    // A run that ended before the last piece still hands back a finished puzzle; the finish
    // queued by the creator then finds nothing to do.
    finishNewPuzzle();
    std::lock_guard<std::mutex> guard(m_lock);
    m_dialog.reset();
    return true;
}

void JPPuzzle::createPieces(std::vector<GridCoord> cells)
{
    std::shared_ptr<CCPixmap> pixmap = CCPixmap::initWithImage(*m_image);
    createPieceRecords(std::move(cells));

    if (pixmap && removeOldBuild())
        makeImages(pixmap);
    else
        m_creationFail = true;

    // Every job has ended: the main thread finishes (and ends the dialog's run).
    onMainThread([this, alive = std::weak_ptr<bool>(m_alive)] {
        if (!alive.expired())
            finishNewPuzzle();
    });
}

bool JPPuzzle::removeOldBuild()
{
    // The old document goes before the old images: a rebuild cut short by a crash then
    // finds no document and is rebuilt again, instead of pairing old text with new images.
    // A document that won't go keeps its images, and nothing is cut.
    const QString document = QDir(m_filePath).filePath(QStringLiteral("puzzle.xml"));
    if (!QFile::remove(document) && QFileInfo::exists(document)) {
        LogString(QStringLiteral("Can't rebuild puzzle \"%1\": its old puzzle.xml can't be removed").arg(m_filePath));
        return false;
    }
    const QDir piecesFolder(QDir(m_filePath).filePath(QStringLiteral("Pieces")));
    for (const QString &old : piecesFolder.entryList({QStringLiteral("*.png")}, QDir::Files))
        QFile::remove(piecesFolder.filePath(old));
    return true;
}

bool JPPuzzle::buildPiecesForTesting(int64_t count)
{
    m_simpleEdges = creationOptions().simpleEdges;
    std::vector<GridCoord> cells;
    if (!calculateMetrics(count, cells))
        return false;
    createPieceRecords(std::move(cells));
    m_originPiece = m_allPieces.empty() ? nullptr : m_allPieces.front().get();
    return true;
}

void JPPuzzle::createPieceRecords(std::vector<GridCoord> cells)
{
    const int64_t rows = m_maxCoord.y;
    const int64_t cols = m_maxCoord.x;
    m_allPieces.clear();
    m_pieces.clear();
    m_colPositions.clear();
    m_rowPositions.clear();
    m_allPieces.reserve(size_t(rows * cols));

    double y = 0;
    for (int64_t i = 0; i < rows; ++i) {
        const double h = m_baseSize.height() + ((i < m_minIncLimit.y || i >= m_maxIncStart.y) ? 1 : 0);
        m_rowPositions.push_back(y);
        double x = 0;
        for (int64_t j = 0; j < cols; ++j) {
            const double w = m_baseSize.width() + ((j < m_minIncLimit.x || j >= m_maxIncStart.x) ? 1 : 0);
            if (i == 0)
                m_colPositions.push_back(x);
            auto piece = std::make_unique<JPPiece>(this);
            const auto index = uint64_t(i * cols + j);
            piece->setCoord({j, i});
            piece->setRect(QRectF(x, y, w, h));
            piece->setPieceIndex(index);
            if (!cells.empty()) {
                const uint32_t k = RandomNumber(uint32_t(cells.size()));
                piece->setLooseCoord(cells[k]);
                cells.erase(cells.begin() + k);
            } else {
                piece->setLooseCoord({0, 0});
            }
            JPPiece *raw = piece.get();
            m_allPieces.push_back(std::move(piece));
            setConnectionsForPiece(raw, {j, i}, index);
            m_pieces.push_back(raw);
            x += w;
        }
        y += h;
    }
}

void JPPuzzle::makeImages(std::shared_ptr<CCPixmap> pixmap)
{
    const size_t total = m_allPieces.size();
    std::vector<std::thread> queues;
    queues.reserve(kImageQueueCount);
    for (int q = 0; q < kImageQueueCount; ++q) {
        queues.emplace_back([this, q, total, pixmap] {
            for (size_t i = size_t(q); i < total; i += kImageQueueCount) {
                bool made = false;
                try {
                    made = m_allPieces[i]->createImageFromPixmap(*pixmap);
                } catch (const std::exception &e) {
                    LogString(QStringLiteral("Piece creation failed: %1").arg(QString::fromLocal8Bit(e.what())));
                } catch (...) {
                    LogString(QStringLiteral("Piece creation failed"));
                }
                if (!made)
                    m_creationFail = true;

                double fraction = 0;
                bool report = false;
                {
                    std::lock_guard<std::mutex> guard(m_lock);
                    ++m_completedCount;
                    if (m_completedCount >= total)
                        m_finishing = true;
                    else {
                        fraction = double(m_completedCount) / double(total);
                        report = true;
                    }
                }
                if (report) {
                    // Delivered later: by then the dialog may be finished with and released.
                    onMainThread([this, fraction, alive = std::weak_ptr<bool>(m_alive)] {
                        if (alive.expired())
                            return;
                        std::lock_guard<std::mutex> guard(m_lock);
                        if (!m_finishing && m_dialog)
                            m_dialog->updateProgress(fraction);
                    });
                }
            }
        });
    }
    for (std::thread &queue : queues)
        queue.join();
}

void JPPuzzle::finishNewPuzzle()
{
    if (m_built)
        return;
    m_built = true;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_finishing = true;
    }
    if (m_dialog)
        m_dialog->endModal();
    m_originPiece = m_allPieces.empty() ? nullptr : m_allPieces.front().get();
    m_dirty = true;
    save();
    PostPuzzleSwitch();
    if (m_creationFail)
        ShowPuzzleAlert(QStringLiteral("Puzzle creation failed."),
                        QStringLiteral("One or more of the puzzle pieces could not be saved. "
                                       "Please contact Wrenmoor for help."));
}

void JPPuzzle::setComplete()
{
    m_puzzleDict[kDoneKey] = true;
    m_dirty = true;
    m_infoDirty = true;
    m_finished = true;
    save();
    // Asked after the current event, and about this puzzle (the current one may change
    // first); nothing happens when the puzzle was closed meanwhile.
    std::weak_ptr<bool> alive = m_alive;
    QTimer::singleShot(0, QCoreApplication::instance(), [this, alive] {
        if (!alive.expired() && stopRequestHandler())
            stopRequestHandler()(this);
    });
}
