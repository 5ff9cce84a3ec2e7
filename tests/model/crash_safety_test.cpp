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

class StaleAssemblyPicture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto puzzle = LaidOutPuzzle(60, &m_folder);
        ASSERT_TRUE(puzzle);
        for (int links = 0; links < 25; ++links)
            ASSERT_TRUE(SolveOneLink(*puzzle));
        ASSERT_TRUE(puzzle->save());
    }

    QString m_folder;
};

TEST_F(StaleAssemblyPicture, APictureOfOtherMembersIsDrawnAgainOnOpening)
{
    uint64_t id = 0;
    QImage truth;
    {
        auto puzzle = Reopen(m_folder);
        ASSERT_TRUE(puzzle);
        const auto assemblies = Assemblies(*puzzle);
        JPAssembly *a = *std::max_element(assemblies.begin(), assemblies.end(), [](JPAssembly *x, JPAssembly *y) {
            return x->pieces().size() < y->pieces().size();
        });
        ASSERT_TRUE(a->image());
        id = a->pieceIndex();
        truth = Premultiplied(a->image()->qimage());
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
        auto puzzle = Reopen(m_folder);
        ASSERT_TRUE(puzzle);
        puzzle->waitForImageWrites();
        const JPAssembly *a = puzzle->assemblyWithId(id);
        ASSERT_TRUE(a && a->image());
        EXPECT_EQ(Premultiplied(a->image()->qimage()), truth);
        EXPECT_EQ(Premultiplied(QImage(path)), truth) << "the file is put right too";
    }
}

TEST_F(StaleAssemblyPicture, LinksAfterTheLastSaveAreForgottenWholly)
{
    auto saved = Reopen(m_folder);
    ASSERT_TRUE(saved);
    const size_t items = saved->pieces().size();
    // Play on without saving, as if the game died before its next save.
    saved->layoutPuzzle(kTestBoard);
    for (int links = 0; links < 20; ++links)
        ASSERT_TRUE(SolveOneLink(*saved));
    saved.reset();

    auto puzzle = Reopen(m_folder);
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(puzzle->pieces().size(), items);
    for (JPAssembly *assembly : Assemblies(*puzzle)) {
        const QImage shown = Premultiplied(assembly->image()->qimage());
        assembly->makeCompositeImage(true);
        EXPECT_EQ(shown, Premultiplied(assembly->image()->qimage()))
            << "assembly " << assembly->pieceIndex() << " shows other members than the document names";
    }
}

}
