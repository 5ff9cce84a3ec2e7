// What a puzzle folder looks like when the game dies between two writes: a folder still being
// made is never listed as a puzzle, and an assembly picture written for a link the document
// never recorded is recognised and drawn again when the puzzle is opened.
#include "imaging/cc_image.h"
#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/puzzle_folder.h"
#include "model_fixtures.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include <utime.h>

namespace {

using namespace tj::test;

constexpr QSizeF kBoard(1600, 1000);

void setModified(const QString &path, const QDateTime &when)
{
    utimbuf times{};
    times.actime = times.modtime = time_t(when.toSecsSinceEpoch());
    ASSERT_EQ(utime(QFile::encodeName(path).constData(), &times), 0);
}

QStringList puzzleFolders(const QString &support)
{
    return QDir(support).entryList({QStringLiteral("*.WMjigsaw")}, QDir::Dirs | QDir::NoDotAndDotDot);
}

TEST(CrashSafety, AFolderAppearsUnderItsPuzzleNameOnlyWhenComplete)
{
    const QString support = freshFolder(QStringLiteral("support"));
    // Left by makers that died: one long ago, one that may still be running.
    const QString dead = support + QStringLiteral("/.0AB7.making");
    const QString busy = support + QStringLiteral("/.99CD.making");
    ASSERT_TRUE(QDir().mkpath(dead + QStringLiteral("/Pieces")) && QDir().mkpath(busy));
    setModified(dead, QDateTime::currentDateTimeUtc().addSecs(-2 * 3600));
    EXPECT_TRUE(puzzleFolders(support).isEmpty()) << "the library never lists a folder being made";

    NewPuzzleChoice choice;
    choice.dict[QStringLiteral("path")] = PhotoPath();
    choice.count = 20;
    QString error;
    const auto made = MakePuzzleFolder(choice, support, &error);
    ASSERT_TRUE(made) << error.toStdString();
    EXPECT_EQ(puzzleFolders(support), QStringList{QFileInfo(made->folder).fileName()});
    for (const char *file : {"info.plist", "image.jpg", "thumbnail.jpg", "Pieces"})
        EXPECT_TRUE(QFileInfo::exists(made->folder + QLatin1Char('/') + QLatin1String(file))) << file;
    EXPECT_FALSE(QFileInfo::exists(dead)) << "a maker that died long ago leaves nothing for good";
    EXPECT_TRUE(QFileInfo::exists(busy)) << "one that may still be at work is left alone";

    // A picture that can't be used leaves neither a puzzle nor a half-made folder.
    choice.dict[QStringLiteral("path")] = QString(support + QStringLiteral("/missing.jpg"));
    EXPECT_FALSE(MakePuzzleFolder(choice, support, &error));
    EXPECT_EQ(QDir(support).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
}

class StaleAssemblyPicture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto puzzle = BuildPuzzle(PhotoPath(), 60, &m_folder);
        ASSERT_TRUE(puzzle);
        puzzle->layoutPuzzle(kBoard);
        for (int links = 0; links < 25; ++links)
            ASSERT_TRUE(SolveOneLink(*puzzle));
        ASSERT_TRUE(puzzle->save());
    }

    // The largest assembly of the puzzle as saved.
    JPAssembly *largest(JPPuzzle &puzzle)
    {
        JPAssembly *found = nullptr;
        for (JPPiece *item : puzzle.pieces())
            if (item->isAssembly()
                && (!found || static_cast<JPAssembly *>(item)->pieces().size() > found->pieces().size()))
                found = static_cast<JPAssembly *>(item);
        return found;
    }

    std::unique_ptr<JPPuzzle> reopen()
    {
        QString reason;
        auto puzzle = JPPuzzle::openExisting(m_folder, &reason);
        EXPECT_TRUE(puzzle) << reason.toStdString();
        return puzzle;
    }

    QString m_folder;
};

TEST_F(StaleAssemblyPicture, PicturesCarryTheirMembersThroughTheirFile)
{
    auto puzzle = reopen();
    ASSERT_TRUE(puzzle);
    for (JPPiece *item : puzzle->pieces()) {
        if (!item->isAssembly())
            continue;
        auto *assembly = static_cast<JPAssembly *>(item);
        EXPECT_EQ(QImageReader(assembly->imagePath()).text(JPAssembly::kMembersTextKey), assembly->memberSignature());
    }
    JPAssembly *a = largest(*puzzle);
    ASSERT_TRUE(a);
    // Another membership names itself differently.
    const QString before = a->memberSignature();
    JPPiece *moved = a->pieces().back();
    a->pieces().pop_back();
    EXPECT_NE(a->memberSignature(), before);
    a->pieces().push_back(moved);
    EXPECT_EQ(a->memberSignature(), before);
}

TEST_F(StaleAssemblyPicture, APictureOfOtherMembersIsDrawnAgainOnOpening)
{
    uint64_t id = 0;
    QImage truth;
    {
        auto puzzle = reopen();
        ASSERT_TRUE(puzzle);
        JPAssembly *a = largest(*puzzle);
        ASSERT_TRUE(a && a->image());
        id = a->pieceIndex();
        truth = a->image()->qimage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    const QString path = QStringLiteral("%1/Pieces/%2.png").arg(m_folder).arg(id);
    // What a crash after a link and before the save leaves: a picture of the same size drawn
    // from other members. Once unmarked, once marked with another membership.
    for (const QString &mark : {QString(), QStringLiteral("3 0123456789abcdef0123456789abcdef01234567")}) {
        QImage stale(truth.size(), QImage::Format_ARGB32_Premultiplied);
        stale.fill(Qt::red);
        if (!mark.isEmpty())
            stale.setText(JPAssembly::kMembersTextKey, mark);
        ASSERT_TRUE(stale.save(path, "PNG"));
        auto puzzle = reopen();
        ASSERT_TRUE(puzzle);
        puzzle->waitForImageWrites();
        const JPAssembly *a = puzzle->assemblyWithId(id);
        ASSERT_TRUE(a && a->image());
        EXPECT_EQ(a->image()->qimage().convertToFormat(QImage::Format_ARGB32_Premultiplied), truth);
        QImage stored(path);
        EXPECT_EQ(stored.convertToFormat(QImage::Format_ARGB32_Premultiplied), truth) << "the file is put right too";
    }
}

TEST_F(StaleAssemblyPicture, LinksAfterTheLastSaveAreForgottenWholly)
{
    auto saved = reopen();
    ASSERT_TRUE(saved);
    const size_t items = saved->pieces().size();
    // Play on without saving, as if the game died before its next save.
    saved->layoutPuzzle(kBoard);
    for (int links = 0; links < 20; ++links)
        ASSERT_TRUE(SolveOneLink(*saved));
    saved.reset();

    auto puzzle = reopen();
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(puzzle->pieces().size(), items);
    for (JPPiece *item : puzzle->pieces()) {
        if (!item->isAssembly())
            continue;
        auto *assembly = static_cast<JPAssembly *>(item);
        const QImage shown = assembly->image()->qimage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        assembly->makeCompositeImage(true);
        EXPECT_EQ(shown, assembly->image()->qimage().convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << "assembly " << assembly->pieceIndex() << " shows other members than the document names";
    }
}

}
