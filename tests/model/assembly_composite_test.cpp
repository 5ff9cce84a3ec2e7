// An assembly's composite picture is brought up to date by drawing only the members that
// join, and written in the background: it must equal a picture drawn afresh whatever the
// order of the joins, and the folder must hold the right pictures whenever it is saved.
#include "model_fixtures.h"
#include "support/cc_logger.h"

#include <QImageReader>

#include <algorithm>
#include <array>
#include <map>
#include <set>

using namespace tj::test;

namespace {

// Drops piece beside neighbour, as a careful player would, and links them.
JPAssembly *dropBeside(JPPiece *piece, JPPiece *neighbour)
{
    PlaceBeside(piece, piece, neighbour);
    QPointF point;
    JPPiece *target = PieceToLinkWith(piece, point);
    return target ? LinkPieces(piece, target) : nullptr;
}

// What the joins did to the pictures they changed.
struct Tally
{
    int incremental = 0;
    int merges = 0;
    int left = 0;
    int up = 0;
};

struct Picture
{
    uint64_t revision = 0;
    QRect place;
};

std::map<const JPPiece *, Picture> pictures(const JPPuzzle &puzzle)
{
    std::map<const JPPiece *, Picture> found;
    for (const JPAssembly *group : Assemblies(puzzle))
        found[group] = {group->compositeRevision(), group->compositePictureRect()};
    return found;
}

// Checks every assembly's picture against one drawn afresh, and tallies the pictures that
// were brought up to date since `before` rather than drawn afresh.
void compareWithFreshDrawings(JPPuzzle &puzzle, const std::map<const JPPiece *, Picture> &before, Tally &tally)
{
    for (JPAssembly *group : Assemblies(puzzle)) {
        ASSERT_TRUE(group->image());
        const QRect place = group->compositePictureRect();
        const auto old = before.find(group);
        std::vector<QRect> changes;
        if (old != before.end() && group->compositeChangesSince(old->second.revision, changes) && !changes.empty()) {
            ++tally.incremental;
            tally.merges += changes.size() > 1;
            tally.left += place.left() < old->second.place.left();
            tally.up += place.top() < old->second.place.top();
        }
        const QImage drawn = group->image()->qimage();
        group->makeCompositeImage(true);
        EXPECT_EQ(place, group->compositePictureRect());
        EXPECT_TRUE(drawn == group->image()->qimage())
            << "assembly " << group->pieceIndex() << " of " << group->pieces().size() << " members";
    }
}

}

TEST(AssemblyComposite, EveryOrderOfJoiningGivesThePictureDrawnAfresh)
{
    // Every order on a grid of 2 x 2, where joins grow the picture every way; small pieces
    // keep it quick.
    QString folder;
    auto built = BuildPuzzle(WriteTestPicture(200, 160, QStringLiteral("small.png")), 4, &folder);
    ASSERT_TRUE(built);
    ASSERT_EQ(built->maxCoord(), (GridCoord{2, 2}));
    built->layoutPuzzle(kTestBoard);
    ASSERT_TRUE(built->save());
    built.reset();
    // The last join finishes the puzzle, which saves it: each order starts from the loose one.
    std::map<QString, QByteArray> loose;
    for (const QString &name : {QStringLiteral("puzzle.xml"), QStringLiteral("info.plist")})
        loose[QDir(folder).filePath(name)] = readFile(QDir(folder).filePath(name));

    Tally tally;
    int orders = 0;
    std::array<uint64_t, 4> order = {0, 1, 2, 3};
    do {
        // Each piece must join one placed before it: of the four cells only the diagonal
        // pairs, 0 and 3, 1 and 2, don't border, so the first two may not be one.
        if (order[0] + order[1] == 3)
            continue;
        ++orders;
        for (const auto &[path, bytes] : loose)
            writeFile(path, bytes);
        auto puzzle = Reopen(folder);
        ASSERT_TRUE(puzzle);
        puzzle->layoutPuzzle(kTestBoard);
        for (auto placed = order.begin() + 1; placed != order.end(); ++placed) {
            JPPiece *piece = puzzle->pieceWithIndex(*placed);
            JPPiece *neighbour = nullptr;
            for (int side = 0; side < 4 && !neighbour; ++side) {
                JPPiece *n = piece->connectionAtIndex(side).piece;
                if (n && std::find(order.begin(), placed, n->pieceIndex()) != placed)
                    neighbour = n;
            }
            ASSERT_TRUE(neighbour);
            const auto before = pictures(*puzzle);
            ASSERT_TRUE(dropBeside(piece, neighbour));
            compareWithFreshDrawings(*puzzle, before, tally);
            if (HasFailure())
                return;
        }
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(orders, 16);
    EXPECT_GT(tally.incremental, orders) << "joins onto three or more members draw only the newcomer";
    EXPECT_GT(tally.left, 0) << "some drawn onto a picture that grew to the left";
    EXPECT_GT(tally.up, 0) << "some drawn onto a picture that grew upward";
}

TEST(AssemblyComposite, MergesOfAssembliesGiveThePictureDrawnAfresh)
{
    Tally tally;
    for (const bool pinned : {false, true}) {
        auto puzzle = LaidOutPuzzle(40);
        ASSERT_TRUE(puzzle);
        puzzle->setPinned(pinned);
        while (puzzle->pieces().size() > 1) {
            const auto before = pictures(*puzzle);
            ASSERT_TRUE(SolveOneLink(*puzzle));
            compareWithFreshDrawings(*puzzle, before, tally);
            if (HasFailure())
                return;
        }
    }
    EXPECT_GT(tally.merges, 0) << "some assemblies drew the members of another";
}

TEST(AssemblyComposite, ASaveWaitsForThePicturesAndKeepsOnlyThoseItNames)
{
    QString folder;
    auto puzzle = LaidOutPuzzle(40, &folder);
    ASSERT_TRUE(puzzle);
    for (int links = 0; links < 30; ++links)
        ASSERT_TRUE(SolveOneLink(*puzzle));
    ASSERT_TRUE(puzzle->save());

    // Each picture names the members it was drawn from, and no two memberships name alike.
    std::set<QString> named;
    std::set<QString> signatures;
    for (JPAssembly *group : Assemblies(*puzzle)) {
        named.insert(QFileInfo(group->imagePath()).fileName());
        QImageReader reader(group->imagePath());
        EXPECT_EQ(reader.text(JPAssembly::kMembersTextKey), group->memberSignature());
        EXPECT_TRUE(reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied) == group->image()->qimage());
        signatures.insert(group->memberSignature());
    }
    EXPECT_GT(named.size(), 1u);
    EXPECT_EQ(signatures.size(), named.size());
    for (const QString &file : QDir(folder + QStringLiteral("/Pieces")).entryList({QStringLiteral("5*.png")}))
        EXPECT_TRUE(named.count(file)) << file.toStdString() << " is a picture of an assembly that is gone";
}

TEST(AssemblyComposite, APictureThatCantBeWrittenIsLoggedAndShownAllTheSame)
{
    QString folder;
    auto puzzle = LaidOutPuzzle(20, &folder);
    ASSERT_TRUE(puzzle);
    // A folder in the picture's place: nothing can be written there. Opening makes a missing
    // picture again (the round-trip tests).
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("%1/Pieces/%2.png").arg(folder).arg(puzzle->nextAssemblyId())));
    JPPiece *a = puzzle->pieceWithIndex(0);
    JPAssembly *group = dropBeside(a->connectionAtIndex(2).piece, a);
    ASSERT_TRUE(group && group->image());
    ASSERT_TRUE(puzzle->save());
    EXPECT_TRUE(QString::fromUtf8(readFile(CCLogger::defaultLogPath()))
                    .contains(QStringLiteral("Can't save image for assembly %1").arg(group->pieceIndex())));
}
