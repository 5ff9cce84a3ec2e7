#pragma once

#include "model/grid_coord.h"
#include "model/jp_move_history.h"
#include "model/jp_piece.h"

#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class CCImage;
class CCPixmap;
class JPAssembly;
struct PuzzleDocument;

// What runs while a new puzzle's pieces are made: the building dialog in the game, a
// progress bar in a terminal, a plain event loop in tests. Every call is on the main thread.
class JPBuildingDialog
{
public:
    virtual ~JPBuildingDialog() = default;
    // A fraction from 0 to 1.
    virtual void updateProgress(double fraction) = 0;
    // Returns once endModal() has been called; keeps the main thread's events flowing.
    virtual void runModal() = 0;
    virtual void endModal() = 0;
};

// The settings a new puzzle copies when it is built.
struct CreationOptions
{
    bool rotatePieces = false;
    bool edgesOnly = false;
    bool simpleEdges = false;
};

// One puzzle: its picture, grid, board items and folder.
//
// Ownership: the puzzle owns every piece (m_allPieces, by piece index) and every assembly
// (m_assemblies, by identifier) for its whole life. The board list `pieces` only refers to
// them; a piece that joins an assembly leaves the board list but stays owned here, and an
// assembly that is absorbed by another is released through releaseAssembly().
class JPPuzzle
{
public:
    // Opens the puzzle in folder; a null image or empty dictionary is read from the folder.
    // Null when the picture, info.plist or puzzle.xml can't be read (the last one alerts).
    static std::unique_ptr<JPPuzzle> initWithPath(const QString &path, std::shared_ptr<CCImage> image = nullptr,
                                                  const QVariantMap *puzzleDict = nullptr);
    // Opens a built puzzle without building or alerting: null with the reason when its
    // picture, description or document can't be read, or it has not been built yet.
    static std::unique_ptr<JPPuzzle> openExisting(const QString &path, QString *reason);
    // A puzzle over a picture that has not been opened or built (tools and tests).
    static std::unique_ptr<JPPuzzle> initWithPicture(const QString &path, std::shared_ptr<CCImage> image,
                                                     const QVariantMap &puzzleDict);
    ~JPPuzzle();
    JPPuzzle(const JPPuzzle &) = delete;
    JPPuzzle &operator=(const JPPuzzle &) = delete;

    // Who runs while pieces are made. The default (or an empty factory) spins a plain event loop.
    static void setBuildingDialogFactory(std::function<std::unique_ptr<JPBuildingDialog>()> factory);
    // The settings new puzzles copy (the preferences keep this up to date).
    static CreationOptions &creationOptions();
    // Called with the puzzle when setComplete asks for it to be closed, after the
    // current event has been handled.
    static void setStopRequestHandler(std::function<void(JPPuzzle *)> handler);

    QString name() const;
    int64_t pieceCount() const { return m_maxCoord.x * m_maxCoord.y; }
    bool drawerHasPieces() const { return false; }

    // Columns and rows for a requested count on a picture of width x height pixels; empty when
    // the picture can't carry that count.
    static std::optional<GridCoord> gridForCount(double width, double height, int64_t count);
    // Grid and metrics for a requested count; fills the free layout cells.
    // False (and nothing built) for a count the grid cannot hold or the picture cannot carry.
    bool calculateMetrics(int64_t count, std::vector<GridCoord> &coords);
    // Builds every piece and its image. Returns once the building dialog's run has ended.
    bool startNewPuzzle(int64_t count);
    // The piece records of a new grid without their images (tools and tests).
    bool buildPiecesForTesting(int64_t count);
    void setConnectionsForPiece(JPPiece *piece, GridCoord location, uint64_t pieceIndex);
    Connection AssignConnection() const;

    // The next free identifier from kFirstAssemblyId to kLastAssemblyId.
    uint64_t assignAssemblyId();
    void addFileToDelete(const QString &path) { m_deletePaths.push_back(path); }
    void setComplete();
    // Waits for the pictures of this puzzle still being written; then writes what is dirty.
    bool save();
    // Returns once every picture of this puzzle queued for writing is on disk (or failed).
    void waitForImageWrites() const;

    // Puzzle file.
    void saveToXml(CCXmlEncoder &encoder) const;
    bool loadFromXml(const QString &path, QString *reason);
    // Replaces the neighbour numbers read from a document by the pieces they name.
    static void mapPieceIndexes(const std::vector<JPPiece *> &items, const std::map<uint64_t, JPPiece *> &map);

    // Fits the board to a view: the scale, and where every item lies.
    void layoutPuzzle(QSizeF viewSize);
    // Packs loose pieces into free nodes from the left or right and pulls back strays;
    // true when a piece moved.
    bool shiftPieces(bool right, QSizeF viewSize, bool hiddenOnly);
    void shiftHiddenPieces() { }
    // Turns every selected item a quarter turn.
    void rotatePieces(bool clockwise);

    // The image file of a piece or assembly: "Pieces/NNNN.png" in the folder.
    QString imagePathForIndex(uint64_t index) const;

    double colPosition(int64_t column) const;
    double rowPosition(int64_t row) const;

    // Accessors.
    const QString &filePath() const { return m_filePath; }
    const QString &guid() const { return m_guid; }
    const CCImage *image() const { return m_image.get(); }
    QVariantMap &puzzleDict() { return m_puzzleDict; }
    const QVariantMap &puzzleDict() const { return m_puzzleDict; }
    std::vector<JPPiece *> &pieces() { return m_pieces; }
    const std::vector<JPPiece *> &pieces() const { return m_pieces; }
    std::vector<JPPiece *> &selection() { return m_selection; }
    // The moves of this puzzle's items that can be taken back; kept in memory only.
    JPMoveHistory &moveHistory() { return m_moveHistory; }
    JPPiece *pieceWithIndex(uint64_t index) const;
    const std::vector<std::unique_ptr<JPPiece>> &allPieces() const { return m_allPieces; }
    uint64_t nextAssemblyId() const { return m_nextAssemblyId; }
    GridCoord maxCoord() const { return m_maxCoord; }
    GridCoord layoutExtent() const { return m_layoutExtent; }
    GridCoord gapBegin() const { return m_gapBegin; }
    GridCoord gapEnd() const { return m_gapEnd; }
    GridCoord minIncLimit() const { return m_minIncLimit; }
    GridCoord maxIncStart() const { return m_maxIncStart; }
    QSizeF baseSize() const { return m_baseSize; }
    double protrusion() const { return m_protrusion; }
    const std::vector<double> &colPositions() const { return m_colPositions; }
    const std::vector<double> &rowPositions() const { return m_rowPositions; }
    JPAssembly *pinnedAssembly() const { return m_pinnedAssembly; }
    void setPinnedAssembly(JPAssembly *assembly) { m_pinnedAssembly = assembly; }
    JPPiece *originPiece() const { return m_originPiece; }
    bool rotate() const { return m_rotate; }
    void setRotate(bool on) { m_rotate = on; }
    bool edgesOnly() const { return m_edgesOnly; }
    void setEdgesOnly(bool on) { m_edgesOnly = on; }
    bool pinned() const { return m_pinned; }
    void setPinned(bool on) { m_pinned = on; }
    bool isDirty() const { return m_dirty; }
    void setDirty(bool dirty) { m_dirty = dirty; }
    bool infoDirty() const { return m_infoDirty; }
    void setInfoDirty(bool dirty) { m_infoDirty = dirty; }
    bool finished() const { return m_finished; }
    void setFinished(bool finished) { m_finished = finished; }
    bool creationFail() const { return m_creationFail.load(); }
    double scale() const { return m_scale; }
    void setScale(double scale) { m_scale = scale; }
    double oldScale() const { return m_oldScale; }
    void setOldScale(double scale) { m_oldScale = scale; }
    // The view size the board was last fitted to; empty until the first fit after opening.
    QSizeF layoutSize() const { return m_layoutSize; }
    void setLayoutSize(QSizeF size) { m_layoutSize = size; }
    const std::vector<QString> &deletePaths() const { return m_deletePaths; }

    // Assemblies: made by linking or by reading a document; owned here.
    JPAssembly *adoptAssembly(std::unique_ptr<JPAssembly> assembly);
    void releaseAssembly(JPAssembly *assembly);
    JPAssembly *assemblyWithId(uint64_t id) const;

private:
    JPPuzzle() = default;
    bool prepare(const QString &path, std::shared_ptr<CCImage> image, const QVariantMap *puzzleDict, QString *reason);
    bool needsBuilding() const;
    void createPieces(std::vector<GridCoord> coords);
    void createPieceRecords(std::vector<GridCoord> cells);
    bool moveToCoord(GridCoord node, std::vector<JPPiece *> &packing, const std::vector<QRectF> &exclusions,
                     QSizeF nodeSize, QSizeF viewSize, bool right, bool &shifted);
    bool removeOldBuild();
    void makeImages(std::shared_ptr<CCPixmap> pixmap);
    void finishNewPuzzle();
    bool writeInfo();
    // Takes over what a checked document says: grid, board, pieces, assemblies and images.
    void adoptDocument(PuzzleDocument &document);
    void keepDamagedDocument();

    QString m_filePath;
    QString m_guid;
    std::shared_ptr<CCImage> m_image;
    QVariantMap m_puzzleDict;
    std::vector<JPPiece *> m_pieces;
    std::vector<std::unique_ptr<JPPiece>> m_allPieces;
    std::map<uint64_t, std::unique_ptr<JPAssembly>> m_assemblies;
    uint64_t m_nextAssemblyId = kFirstAssemblyId;
    GridCoord m_minIncLimit;
    GridCoord m_maxIncStart;
    GridCoord m_maxCoord;
    GridCoord m_layoutExtent;
    GridCoord m_gapBegin;
    GridCoord m_gapEnd;
    QSizeF m_baseSize;
    double m_protrusion = 0.0;
    std::vector<double> m_colPositions;
    std::vector<double> m_rowPositions;
    JPAssembly *m_pinnedAssembly = nullptr;
    JPPiece *m_originPiece = nullptr;
    bool m_rotate = false;
    bool m_edgesOnly = false;
    bool m_pinned = false;
    bool m_dirty = false;
    bool m_infoDirty = false;
    bool m_finished = false;
    bool m_simpleEdges = false;
    std::atomic<bool> m_creationFail{false};
    // Set when a document was read only in part: the original is kept before the first save.
    bool m_documentTruncated = false;
    std::vector<QString> m_deletePaths;
    double m_scale = 0.0;
    double m_oldScale = 0.0;
    QSizeF m_layoutSize;
    std::vector<JPPiece *> m_selection;
    JPMoveHistory m_moveHistory;

    // Creation bookkeeping, guarded by m_lock.
    std::mutex m_lock;
    uint64_t m_completedCount = 0;
    bool m_finishing = false;
    bool m_built = false; // the new puzzle has been finished (main thread only)
    std::unique_ptr<JPBuildingDialog> m_dialog;
    // Lets work queued for later (the stop request) see that the puzzle is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
