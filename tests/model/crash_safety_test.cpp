// What a puzzle folder looks like when the game dies between two writes: a folder still being
// made is never listed as a puzzle, and an assembly picture written for a link the document
// never recorded is recognised and drawn again when the puzzle is opened.
#include "model/puzzle_folder.h"
#include "model_fixtures.h"

#include <QDateTime>

#include <utime.h>

namespace {

using namespace tj::test;

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

// A link writes its assembly's picture at once, the document only at the next save: after a
// crash in between, pictures show other members than the document names.
TEST(CrashSafety, PicturesOfLinksTheDocumentNeverRecordedAreDrawnAgainOnOpening)
{
    QString folder;
    auto puzzle = LaidOutPuzzle(60, &folder);
    ASSERT_TRUE(puzzle);
    for (int links = 0; links < 25; ++links)
        ASSERT_TRUE(SolveOneLink(*puzzle));
    ASSERT_TRUE(puzzle->save());
    const size_t items = puzzle->pieces().size();
    const auto assemblies = Assemblies(*puzzle);
    const JPAssembly *largest = *std::max_element(
        assemblies.begin(), assemblies.end(), [](auto *x, auto *y) { return x->pieces().size() < y->pieces().size(); });
    const QString path = largest->imagePath();
    const QImage truth = Premultiplied(largest->image()->qimage());
    // Play on without saving, as if the game died before its next save.
    for (int links = 0; links < 20; ++links)
        ASSERT_TRUE(SolveOneLink(*puzzle));
    puzzle->waitForImageWrites();
    puzzle.reset();
    // Also a picture of the same size marked with another membership.
    QImage stale(truth.size(), QImage::Format_ARGB32_Premultiplied);
    stale.fill(Qt::red);
    stale.setText(JPAssembly::kMembersTextKey, QStringLiteral("3 0123456789abcdef0123456789abcdef01234567"));
    ASSERT_TRUE(stale.save(path, "PNG"));

    puzzle = Reopen(folder);
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(puzzle->pieces().size(), items);
    puzzle->waitForImageWrites();
    EXPECT_EQ(Premultiplied(QImage(path)), truth) << "the file is put right too";
    for (JPAssembly *assembly : Assemblies(*puzzle)) {
        const QImage shown = Premultiplied(assembly->image()->qimage());
        assembly->makeCompositeImage(true);
        EXPECT_EQ(shown, Premultiplied(assembly->image()->qimage()))
            << "assembly " << assembly->pieceIndex() << " shows other members than the document names";
    }
}

}
