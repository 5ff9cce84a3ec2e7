#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/puzzle_xml.h"
#include "model_fixtures.h"
#include "support/cc_xml_encoder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace tj::test;

namespace {

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString &path, const QString &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

// The document with pieces first and first + 1 of row 0 joined into assembly id.
QString withAssembly(QString text, const QString &id, int first)
{
    const int start = text.indexOf(QStringLiteral("\t\t<pc id=\"%1\">").arg(first));
    const int end = text.indexOf(QStringLiteral("</pc>\n"), text.indexOf(QStringLiteral("<pc id=\"%1\">").arg(first + 1))) + 6;
    const QString members = text.mid(start, end - start);
    return text.replace(start, end - start,
                        QStringLiteral("<a id=\"%1\"><coord>{%2, 0}</coord><maxCoord>{%3, 0}</maxCoord><pcs>\n%4</pcs></a>\n")
                            .arg(id)
                            .arg(first)
                            .arg(first + 1)
                            .arg(members));
}

QString withNexta(QString text, const QString &nexta)
{
    return text.replace(QStringLiteral("<nexta>5001</nexta>"), QStringLiteral("<nexta>%1</nexta>").arg(nexta));
}

QString documentOf(const JPPuzzle &puzzle)
{
    CCXmlEncoder encoder;
    puzzle.saveToXml(encoder);
    return encoder.xml();
}

// A built 12 x 9 puzzle whose folder the test may rewrite; built once for the file.
class PuzzleFileTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        QString folder;
        auto puzzle = BuildPuzzle(PhotoPath(), 12, &folder);
        ASSERT_TRUE(puzzle);
        s_template = folder;
    }

    // A fresh copy of the built folder.
    QString copyOfPuzzle()
    {
        const QString target = freshFolder(QStringLiteral("copy")) + QStringLiteral("/P.WMjigsaw");
        QDir().mkpath(target + QStringLiteral("/Pieces"));
        for (const QString &name : QDir(s_template).entryList(QDir::Files))
            QFile::copy(s_template + QLatin1Char('/') + name, target + QLatin1Char('/') + name);
        for (const QString &name : QDir(s_template + QStringLiteral("/Pieces")).entryList(QDir::Files))
            QFile::copy(s_template + QStringLiteral("/Pieces/") + name, target + QStringLiteral("/Pieces/") + name);
        return target;
    }

    // Opens the copy with its document replaced by text.
    std::unique_ptr<JPPuzzle> openWith(const QString &text, QString *reason = nullptr, QString *folderOut = nullptr)
    {
        const QString folder = copyOfPuzzle();
        writeText(folder + QStringLiteral("/puzzle.xml"), text);
        if (folderOut)
            *folderOut = folder;
        QString why;
        auto puzzle = JPPuzzle::openExisting(folder, &why);
        if (reason)
            *reason = why;
        return puzzle;
    }

    QString templateText() { return readText(s_template + QStringLiteral("/puzzle.xml")); }

    static inline QString s_template;
};

}

TEST_F(PuzzleFileTest, WritesTheDocumentedForm)
{
    const QString text = templateText();
    auto puzzle = JPPuzzle::openExisting(s_template, nullptr);
    ASSERT_TRUE(puzzle);
    const GridCoord grid = puzzle->maxCoord();
    EXPECT_TRUE(text.startsWith(QStringLiteral("<?xml")));
    EXPECT_TRUE(text.contains(QStringLiteral("<jigsaw ver=\"1\">")));
    EXPECT_TRUE(text.contains(QStringLiteral("<maxCoord>{%1, %2}</maxCoord>").arg(grid.x).arg(grid.y)));
    EXPECT_TRUE(text.contains(QStringLiteral("<cols>0,")));
    EXPECT_TRUE(text.contains(QStringLiteral("<bsize>{%1, %2}</bsize>")
                                  .arg(puzzle->baseSize().width())
                                  .arg(puzzle->baseSize().height())));
    // Every piece in index order, border sides written as id -1 with their shape kept.
    const QRegularExpression pc(QStringLiteral("<pc id=\"(\\d+)\">"));
    int expected = 0;
    for (auto it = pc.globalMatch(text); it.hasNext(); ++expected)
        EXPECT_EQ(it.next().captured(1).toInt(), expected);
    EXPECT_EQ(expected, grid.x * grid.y);
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("<x id=\"-1\" bnd=\"\\d+\" knob=\"[01]\"/>"))));
    EXPECT_FALSE(text.contains(QStringLiteral("<drag>")));
}

TEST_F(PuzzleFileTest, ReadingAndWritingAgainGivesTheSameText)
{
    auto puzzle = JPPuzzle::openExisting(s_template, nullptr);
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(documentOf(*puzzle), templateText());
    for (const auto &piece : puzzle->allPieces()) {
        EXPECT_EQ(piece->draggedLocation(), QPointF(-1, -1));
        for (int side = 0; side < 4; ++side) {
            const Connection &c = piece->connectionAtIndex(side);
            if (c.piece) {
                EXPECT_EQ(c.piece->connectionAtIndex((side + 2) % 4).piece, piece.get());
            }
        }
    }
}

TEST_F(PuzzleFileTest, BoardStateAndAssembliesSurviveARoundTrip)
{
    auto puzzle = JPPuzzle::openExisting(s_template, nullptr);
    ASSERT_TRUE(puzzle);
    QString text = documentOf(*puzzle);
    // Turn pieces 0 and 1 into assembly 5003 and pin it; drag and turn piece 5.
    const auto pieceElement = [&](int index) {
        const int start = text.indexOf(QStringLiteral("\t\t<pc id=\"%1\">").arg(index));
        const int end = text.indexOf(QStringLiteral("</pc>\n"), start) + 6;
        return std::pair<int, int>(start, end);
    };
    auto [s0, e0] = pieceElement(0);
    auto [s1, e1] = pieceElement(1);
    QString members = text.mid(s0, e1 - s0);
    members.remove(QRegularExpression(QStringLiteral("\t*<loose>[^<]*</loose>\n")));
    members.replace(QStringLiteral("\n\t\t"), QStringLiteral("\n\t\t\t\t"));
    const QString assembly = QStringLiteral("\t\t<a id=\"5003\">\n\t\t\t<coord>{0, 0}</coord>\n\t\t\t<maxCoord>{1, 0}</maxCoord>\n"
                                            "\t\t\t<drag>{10.5, 20.25}</drag>\n\t\t\t<pcs>\n\t\t\t\t")
        + members.trimmed() + QStringLiteral("\n\t\t\t</pcs>\n\t\t</a>\n");
    text.replace(s0, e1 - s0, assembly);
    text.replace(QStringLiteral("<nexta>5001</nexta>"), QStringLiteral("<nexta>5004</nexta>\n\t<pina>5003</pina>"));
    text.replace(QStringLiteral("<pin>1</pin>"), QString());
    text.replace(QStringLiteral("<scale>0</scale>"), QStringLiteral("<scale>500000000000</scale>\n\t<pin>1</pin>"));
    auto [s5, e5] = pieceElement(5);
    const int looseEnd = text.indexOf(QStringLiteral("</loose>\n"), s5) + 9;
    text.insert(looseEnd, QStringLiteral("\t\t\t<drag>{123.5, 7}</drag>\n\t\t\t<rot>3</rot>\n"));

    QString folder;
    auto reread = openWith(text, nullptr, &folder);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->scale(), 0.5);
    EXPECT_TRUE(reread->pinned());
    ASSERT_NE(reread->pinnedAssembly(), nullptr);
    EXPECT_EQ(reread->pinnedAssembly()->pieceIndex(), 5003u);
    EXPECT_EQ(reread->pinnedAssembly()->pieces().size(), 2u);
    EXPECT_EQ(reread->pinnedAssembly()->draggedLocation(), QPointF(10.5, 20.25));
    EXPECT_EQ(reread->nextAssemblyId(), 5004u);
    EXPECT_EQ(reread->pieceWithIndex(0)->assembly(), reread->pinnedAssembly());
    EXPECT_EQ(reread->pieceWithIndex(0)->rotation(), 0u);
    EXPECT_EQ(reread->pieceWithIndex(5)->rotation(), 3u);
    EXPECT_EQ(reread->pieceWithIndex(5)->draggedLocation(), QPointF(123.5, 7));
    EXPECT_EQ(int64_t(reread->pieces().size()), reread->pieceCount() - 1);
    // The composite image was missing, so it was made from the members and written.
    reread->waitForImageWrites();
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/Pieces/5003.png")));

    // The document the game writes for this state reads back to the same text.
    const QString written = documentOf(*reread);
    auto again = openWith(written);
    ASSERT_TRUE(again);
    EXPECT_EQ(documentOf(*again), written);
}

TEST_F(PuzzleFileTest, DamagedAndLaterDocumentsGiveTheirReasons)
{
    QString reason;
    EXPECT_FALSE(openWith(QString(), &reason));
    EXPECT_EQ(reason, QStringLiteral("the puzzle file is damaged"));
    EXPECT_FALSE(openWith(QStringLiteral("<?xml version=\"1.0\"?>\n<puzzle ver=\"1\"></puzzle>"), &reason));
    EXPECT_EQ(reason, QStringLiteral("the puzzle file is damaged"));
    QString later = templateText();
    later.replace(QStringLiteral("<jigsaw ver=\"1\">"), QStringLiteral("<jigsaw ver=\"2\">"));
    EXPECT_FALSE(openWith(later, &reason));
    EXPECT_EQ(reason, QStringLiteral("the puzzle file was created by a later version of Tobbin Puzzle."));
    QString unversioned = templateText();
    unversioned.replace(QStringLiteral("<jigsaw ver=\"1\">"), QStringLiteral("<jigsaw>"));
    EXPECT_TRUE(openWith(unversioned));
}

TEST_F(PuzzleFileTest, ValuesThatWouldIndexOutsideTheGridMakeTheFileDamaged)
{
    const QString base = templateText();
    const std::vector<std::pair<QString, QString>> damages = {
        {QStringLiteral("<pc id=\"3\">"), QStringLiteral("<pc id=\"9999\">")},
        {QStringLiteral("<pc id=\"3\">"), QStringLiteral("<pc id=\"2\">")},
        {QStringLiteral("<pc id=\"3\">"), QStringLiteral("<pc id=\"-1\">")},
        {QStringLiteral("<bsize>"), QStringLiteral("<bsize>{0, 0}</bsize><x>")},
        {QStringLiteral("<knob>"), QStringLiteral("<knob>-4</knob><x>")},
        {QStringLiteral("<lsize>"), QStringLiteral("<lsize>{0, 3}</lsize><x>")},
    };
    for (const auto &[from, to] : damages) {
        QString text = base;
        text.replace(text.indexOf(from), from.size(), to);
        QString reason;
        EXPECT_FALSE(openWith(text, &reason)) << to.toStdString();
        EXPECT_EQ(reason, QStringLiteral("the puzzle file is damaged")) << to.toStdString();
    }
    for (const char *coord : {"{99, 0}", "{-1, 0}", "{0, -3}"}) {
        QString badCoord = base;
        const int at = badCoord.indexOf(QStringLiteral("<coord>"), badCoord.indexOf(QStringLiteral("<pc id=\"4\">")));
        badCoord.replace(at, badCoord.indexOf(QStringLiteral("</coord>"), at) - at, QStringLiteral("<coord>") + QLatin1String(coord));
        EXPECT_FALSE(openWith(badCoord)) << coord;
    }
    QString hugeGrid = base;
    hugeGrid.replace(QRegularExpression(QStringLiteral("<maxCoord>[^<]*</maxCoord>")), QStringLiteral("<maxCoord>{100, 100}</maxCoord>"));
    EXPECT_FALSE(openWith(hugeGrid));
}

TEST_F(PuzzleFileTest, SuspiciousValuesAreMadeSafe)
{
    QString text = templateText();
    text.replace(QStringLiteral("<nexta>5001</nexta>"), QStringLiteral("<nexta>7</nexta>"));
    const int loose = text.indexOf(QStringLiteral("</loose>\n"), text.indexOf(QStringLiteral("<pc id=\"2\">"))) + 9;
    text.insert(loose, QStringLiteral("\t\t\t<drag>{nan, inf}</drag>\n\t\t\t<rot>7</rot>\n"));
    text.replace(QRegularExpression(QStringLiteral("<scale>[^<]*</scale>")), QStringLiteral("<scale>-5</scale>"));
    auto puzzle = openWith(text);
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(puzzle->nextAssemblyId(), 5001u);
    EXPECT_EQ(puzzle->assignAssemblyId(), 5001u);
    EXPECT_EQ(puzzle->pieceWithIndex(2)->draggedLocation(), QPointF(-1, -1));
    EXPECT_EQ(puzzle->pieceWithIndex(2)->rotation(), 3u);
    EXPECT_EQ(puzzle->scale(), 0.0);
}

TEST_F(PuzzleFileTest, AssemblyIdentifiersStayWithinWhatADocumentHolds)
{
    // A counter outside 5001 ... 2147483647, or one an assembly has passed, is recomputed.
    const std::vector<std::tuple<const char *, const char *, uint64_t>> counters = {
        {"3000000000", nullptr, 5001}, {"-5", nullptr, 5001}, {"2147483647", nullptr, 2147483647},
        {"5002", "5003", 5004}, {"3000000000", "6000", 6001}, {"6000", "2147483647", 5001},
    };
    for (const auto &[nexta, assembly, expected] : counters) {
        QString text = withNexta(templateText(), QLatin1String(nexta));
        if (assembly)
            text = withAssembly(text, QLatin1String(assembly), 0);
        auto puzzle = openWith(text);
        ASSERT_TRUE(puzzle) << nexta;
        EXPECT_EQ(puzzle->nextAssemblyId(), expected) << nexta << " " << (assembly ? assembly : "");
    }

    // Past the last identifier the first free one follows; the counter never leaves the range.
    auto puzzle = openWith(withAssembly(withAssembly(templateText(), QStringLiteral("2147483647"), 0),
                                        QStringLiteral("5001"), 2));
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(puzzle->assignAssemblyId(), 5002u);
    puzzle = openWith(withNexta(templateText(), QStringLiteral("2147483647")));
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(puzzle->assignAssemblyId(), 2147483647u);
    EXPECT_EQ(puzzle->assignAssemblyId(), 5001u);

    // A link made after opening such a counter is saved and read back.
    QString folder;
    puzzle = openWith(withNexta(templateText(), QStringLiteral("3000000000")), nullptr, &folder);
    ASSERT_TRUE(puzzle);
    puzzle->layoutPuzzle(QSizeF(1600, 1000));
    ASSERT_TRUE(SolveOneLink(*puzzle));
    ASSERT_TRUE(puzzle->save());
    QString reason;
    auto reread = JPPuzzle::openExisting(folder, &reason);
    ASSERT_TRUE(reread) << reason.toStdString();
    EXPECT_TRUE(reread->assemblyWithId(5001));
}

TEST_F(PuzzleFileTest, ACutOffDocumentKeepsWhatWasReadAndTheOriginal)
{
    const QString full = templateText();
    const QString cut = full.left(full.indexOf(QStringLiteral("<pc id=\"7\">")) + 30);
    QString folder;
    auto puzzle = openWith(cut, nullptr, &folder);
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(puzzle->pieces().size(), 7u);
    // Pieces that were never read leave their neighbours with a border.
    EXPECT_EQ(puzzle->pieceWithIndex(6)->connectionAtIndex(2).piece, nullptr);
    puzzle->setDirty(true);
    ASSERT_TRUE(puzzle->save());
    EXPECT_EQ(readText(folder + QStringLiteral("/puzzle.xml.damaged")), cut);
}

TEST_F(PuzzleFileTest, AssembliesWithoutTwoMembersAreTakenApart)
{
    QString text = templateText();
    const int s0 = text.indexOf(QStringLiteral("\t\t<pc id=\"0\">"));
    const int e0 = text.indexOf(QStringLiteral("</pc>\n"), s0) + 6;
    QString member = text.mid(s0, e0 - s0);
    text.replace(s0, e0 - s0,
                 QStringLiteral("\t\t<a id=\"5001\">\n<coord>{0, 0}</coord><pcs>\n") + member
                     + QStringLiteral("</pcs>\n</a>\n<a id=\"5002\"><coord>{0, 0}</coord><pcs></pcs></a>\n"));
    auto puzzle = openWith(text);
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(int64_t(puzzle->pieces().size()), puzzle->pieceCount());
    EXPECT_EQ(puzzle->pieceWithIndex(0)->assembly(), nullptr);
    for (const JPPiece *item : puzzle->pieces())
        EXPECT_FALSE(item->isAssembly());
    EXPECT_TRUE(puzzle->isDirty());
}

TEST_F(PuzzleFileTest, AFailedWriteKeepsTheFilesToDelete)
{
    const QString folder = copyOfPuzzle();
    auto puzzle = JPPuzzle::openExisting(folder, nullptr);
    ASSERT_TRUE(puzzle);
    const QString obsolete = folder + QStringLiteral("/Pieces/5009.png");
    writeText(obsolete, QStringLiteral("x"));
    puzzle->addFileToDelete(obsolete);
    puzzle->setDirty(true);
    // A folder where the document should be: the write can't replace it.
    QFile::remove(folder + QStringLiteral("/puzzle.xml"));
    QDir().mkpath(folder + QStringLiteral("/puzzle.xml/blocker"));
    EXPECT_FALSE(puzzle->save());
    EXPECT_TRUE(puzzle->isDirty());
    EXPECT_EQ(puzzle->deletePaths().size(), 1u);
    EXPECT_TRUE(QFile::exists(obsolete));
    QDir(folder + QStringLiteral("/puzzle.xml")).removeRecursively();
    EXPECT_TRUE(puzzle->save());
    EXPECT_FALSE(QFile::exists(obsolete));
    EXPECT_TRUE(puzzle->deletePaths().empty());
}

TEST(PuzzleXmlText, NumbersPointsAndPositionLists)
{
    EXPECT_EQ(PointText(QPointF(12, 9)), QStringLiteral("{12, 9}"));
    EXPECT_EQ(RectText(QRectF(0, 0, 134, 134)), QStringLiteral("{{0, 0}, {134, 134}}"));
    EXPECT_EQ(NumberText(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(NumberText(-2.5), QStringLiteral("-2.5"));
    for (const double v : {1.0 / 3.0, 123456.789012345, -0.000123, 1e-9})
        EXPECT_EQ(NumberText(v).toDouble(), v);
    EXPECT_EQ(RectFromText(QStringLiteral("{{1.5, -2}, {3, 4}}")), QRectF(1.5, -2, 3, 4));
    EXPECT_EQ(PointFromText(QStringLiteral("garbage")), QPointF(0, 0));
    QString list;
    CreatePositionList({0, 134.9, 268}, list);
    EXPECT_EQ(list, QStringLiteral("0,134,268"));
    std::vector<double> back;
    DecodePositionList(QStringLiteral("0,x,5"), back);
    EXPECT_EQ(back, (std::vector<double>{0, 0, 5}));
    CreatePositionList({}, list);
    EXPECT_EQ(list, QString());
}
