#include "model/puzzle_xml.h"
#include "model_fixtures.h"

#include <QRegularExpression>

using namespace tj::test;

namespace {

QString readText(const QString &path)
{
    return QString::fromUtf8(readFile(path));
}

// The document with pieces first and first + 1 of row 0 joined into assembly id; extra goes
// among the assembly's own elements.
QString withAssembly(QString text, const QString &id, int first, const QString &extra = QString())
{
    const int start = text.indexOf(QStringLiteral("\t\t<pc id=\"%1\">").arg(first));
    const int end =
        text.indexOf(QStringLiteral("</pc>\n"), text.indexOf(QStringLiteral("<pc id=\"%1\">").arg(first + 1))) + 6;
    const QString members = text.mid(start, end - start);
    return text.replace(
        start, end - start,
        QStringLiteral("<a id=\"%1\"><coord>{%2, 0}</coord><maxCoord>{%3, 0}</maxCoord>%4<pcs>\n%5</pcs></a>\n")
            .arg(id)
            .arg(first)
            .arg(first + 1)
            .arg(extra, members));
}

QString withNexta(QString text, const QString &nexta)
{
    return text.replace(QStringLiteral("<nexta>5001</nexta>"), QStringLiteral("<nexta>%1</nexta>").arg(nexta));
}

// Inserts elements into the element of piece index, after its coord.
QString intoPiece(QString text, int index, const QString &elements)
{
    const int at =
        text.indexOf(QStringLiteral("</coord>"), text.indexOf(QStringLiteral("<pc id=\"%1\">").arg(index))) + 8;
    return text.insert(at, elements);
}

// A built 12 x 9 puzzle whose folder the test may rewrite; built once for the file.
class PuzzleFileTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        QString folder;
        ASSERT_TRUE(BuildPuzzle(PhotoPath(), 12, &folder));
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
        writeFile(folder + QStringLiteral("/puzzle.xml"), text.toUtf8());
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

TEST_F(PuzzleFileTest, WritesTheDocumentedFormAndReadsItBackToTheSameText)
{
    const QString text = templateText();
    auto puzzle = Reopen(s_template);
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(DocumentOf(*puzzle), text);
    const GridCoord grid = puzzle->maxCoord();
    // The damaged-value table finds the other elements it rewrites.
    EXPECT_TRUE(text.startsWith(QStringLiteral("<?xml")));
    EXPECT_TRUE(text.contains(QStringLiteral("<jigsaw ver=\"1\">")));
    EXPECT_TRUE(text.contains(QStringLiteral("<maxCoord>{%1, %2}</maxCoord>").arg(grid.x).arg(grid.y)));
    EXPECT_TRUE(text.contains(QStringLiteral("<cols>0,")));
    // Every piece in index order, border sides written as id -1 with their shape kept.
    const QRegularExpression pc(QStringLiteral("<pc id=\"(\\d+)\">"));
    int expected = 0;
    for (auto it = pc.globalMatch(text); it.hasNext(); ++expected)
        EXPECT_EQ(it.next().captured(1).toInt(), expected);
    EXPECT_EQ(expected, grid.x * grid.y);
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("<x id=\"-1\" bnd=\"\\d+\" knob=\"[01]\"/>"))));
    EXPECT_FALSE(text.contains(QStringLiteral("<drag>")));
    for (const auto &piece : puzzle->allPieces())
        for (int side = 0; side < 4; ++side)
            if (const JPPiece *neighbour = piece->connectionAtIndex(side).piece) {
                EXPECT_EQ(neighbour->connectionAtIndex((side + 2) % 4).piece, piece.get());
            }
}

TEST_F(PuzzleFileTest, BoardStateAndAssembliesSurviveARoundTrip)
{
    // Pieces 0 and 1 joined into assembly 5003 and pinned; piece 5 dragged and turned. The
    // elements come in another order than the game writes them.
    QString text =
        withAssembly(templateText(), QStringLiteral("5003"), 0, QStringLiteral("<drag>{10.5, 20.25}</drag>"));
    text.replace(QStringLiteral("<nexta>5001</nexta>"),
                 QStringLiteral("<nexta>5004</nexta><pina>5003</pina><pin>1</pin>"));
    text.replace(QRegularExpression(QStringLiteral("<scale>[^<]*</scale>")),
                 QStringLiteral("<scale>500000000000</scale>"));
    text = intoPiece(text, 5, QStringLiteral("<drag>{123.5, 7}</drag><rot>3</rot>"));

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
    const QString written = DocumentOf(*reread);
    auto again = openWith(written);
    ASSERT_TRUE(again);
    EXPECT_EQ(DocumentOf(*again), written);
}

TEST_F(PuzzleFileTest, DamagedAndLaterDocumentsGiveTheirReasons)
{
    const QString damaged = QStringLiteral("the puzzle file is damaged");
    const QString version = QStringLiteral("<jigsaw ver=\"1\">");
    const std::pair<QString, QString> cases[] = {
        {QString(), damaged},
        {QStringLiteral("<?xml version=\"1.0\"?>\n<puzzle ver=\"1\"></puzzle>"), damaged},
        {templateText().replace(version, QStringLiteral("<jigsaw ver=\"2\">")),
         QStringLiteral("the puzzle file was created by a later version of Tobbin Puzzle.")},
        {templateText().replace(version, QStringLiteral("<jigsaw>")), QString()},
    };
    for (const auto &[text, expected] : cases) {
        QString reason;
        EXPECT_EQ(bool(openWith(text, &reason)), expected.isEmpty()) << text.left(60).toStdString();
        EXPECT_EQ(reason, expected);
    }
}

TEST_F(PuzzleFileTest, ValuesOutsideTheGridOrThePictureMakeTheFileDamaged)
{
    const long before = PeakResidentKilobytes();
    const QString base = templateText();
    const QString grouped = withAssembly(base, QStringLiteral("5001"), 0);
    const QString firstRect = QStringLiteral("<rect>\\{\\{0, 0\\}, \\{[0-9]+, [0-9]+\\}\\}</rect>");
    const QString coordOf4 = QStringLiteral("(<pc id=\"4\">\\s*<rect>[^<]*</rect>\\s*<coord>)[^<]*");
    const std::vector<std::tuple<QString, QString, QString>> damages = {
        {base, QStringLiteral("<pc id=\"3\">"), QStringLiteral("<pc id=\"9999\">")},
        {base, QStringLiteral("<pc id=\"3\">"), QStringLiteral("<pc id=\"2\">")},
        {base, QStringLiteral("<pc id=\"3\">"), QStringLiteral("<pc id=\"-1\">")},
        {withAssembly(base, QStringLiteral("5001"), 2), QStringLiteral("<pc id=\"3\">"),
         QStringLiteral("<pc id=\"0\">")},
        {base, QStringLiteral("<bsize>[^<]*</bsize>"), QStringLiteral("<bsize>{0, 0}</bsize>")},
        {base, QStringLiteral("<knob>[^<]*</knob>"), QStringLiteral("<knob>-4</knob>")},
        {base, QStringLiteral("<lsize>[^<]*</lsize>"), QStringLiteral("<lsize>{0, 3}</lsize>")},
        {base, QStringLiteral("<maxCoord>[^<]*</maxCoord>"), QStringLiteral("<maxCoord>{100, 100}</maxCoord>")},
        {base, coordOf4, QStringLiteral("\\1{99, 0}")},
        {base, coordOf4, QStringLiteral("\\1{-1, 0}")},
        {base, coordOf4, QStringLiteral("\\1{0, -3}")},
        {base, coordOf4, QStringLiteral("\\1{nan, 0}")},
        // Sizes past the picture would have outlines and assembly pictures made at any size.
        {base, firstRect, QStringLiteral("<rect>{{0, 0}, {40000, 40000}}</rect>")},
        {grouped, firstRect, QStringLiteral("<rect>{{0, 0}, {40000, 40000}}</rect>")},
        {base, QStringLiteral("<rect>\\{\\{0, 0\\}"), QStringLiteral("<rect>{{-30000, 0}")},
        {base, QStringLiteral("<knob>[0-9]+</knob>"), QStringLiteral("<knob>20000</knob>")},
        {base, QStringLiteral("<bsize>[^<]*</bsize>"), QStringLiteral("<bsize>{30000, 30000}</bsize>")},
    };
    for (const auto &[document, pattern, replacement] : damages) {
        SCOPED_TRACE(replacement.toStdString());
        QString text = document;
        text.replace(QRegularExpression(pattern), replacement);
        ASSERT_NE(text, document);
        QString reason;
        EXPECT_FALSE(openWith(text, &reason));
        EXPECT_EQ(reason, QStringLiteral("the puzzle file is damaged"));
    }
    EXPECT_LT(PeakResidentKilobytes() - before, 100 * 1024) << "kilobytes taken by refusing the documents";
}

TEST_F(PuzzleFileTest, SuspiciousValuesAreMadeSafe)
{
    QString text = withAssembly(templateText(), QStringLiteral("5001"), 0, QStringLiteral("<drag>{inf, 5}</drag>"));
    text = intoPiece(text, 0, QStringLiteral("<rot>2</rot>"));
    text = intoPiece(text, 2, QStringLiteral("<drag>{nan, inf}</drag><rot>7</rot>"));
    text = intoPiece(text, 3, QStringLiteral("<rot>-3</rot>"));
    text.replace(QRegularExpression(QStringLiteral("<scale>[^<]*</scale>")), QStringLiteral("<scale>-5</scale>"));
    auto puzzle = openWith(text);
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(puzzle->pieceWithIndex(2)->draggedLocation(), QPointF(-1, -1));
    EXPECT_EQ(puzzle->pieceWithIndex(2)->rotation(), 3u);
    EXPECT_EQ(puzzle->pieceWithIndex(3)->rotation(), 1u);
    EXPECT_EQ(puzzle->pieceWithIndex(0)->rotation(), 0u) << "members are upright";
    EXPECT_EQ(puzzle->assemblyWithId(5001)->draggedLocation(), QPointF(0, 0));
    EXPECT_EQ(puzzle->scale(), 0.0);
}

TEST_F(PuzzleFileTest, AssemblyIdentifiersStayWithinWhatADocumentHolds)
{
    // A counter outside 5001 ... 2147483647, or one an assembly has passed, is recomputed.
    const std::vector<std::tuple<const char *, const char *, uint64_t>> counters = {
        {"3000000000", nullptr, 5001}, {"-5", nullptr, 5001},        {"2147483647", nullptr, 2147483647},
        {"5002", "5003", 5004},        {"3000000000", "6000", 6001}, {"6000", "2147483647", 5001},
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
    auto puzzle = openWith(
        withAssembly(withAssembly(templateText(), QStringLiteral("2147483647"), 0), QStringLiteral("5001"), 2));
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(puzzle->assignAssemblyId(), 5002u);
    puzzle = openWith(withNexta(templateText(), QStringLiteral("2147483647")));
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(puzzle->assignAssemblyId(), 2147483647u);
    EXPECT_EQ(puzzle->assignAssemblyId(), 5001u);
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
    text.replace(s0, e0 - s0,
                 QStringLiteral("<a id=\"5001\"><coord>{0, 0}</coord><pcs>\n") + text.mid(s0, e0 - s0)
                     + QStringLiteral("</pcs></a>\n<a id=\"5002\"><coord>{0, 0}</coord><pcs></pcs></a>\n"));
    auto puzzle = openWith(text);
    ASSERT_TRUE(puzzle);
    EXPECT_EQ(int64_t(puzzle->pieces().size()), puzzle->pieceCount());
    EXPECT_EQ(puzzle->pieceWithIndex(0)->assembly(), nullptr);
    EXPECT_TRUE(Assemblies(*puzzle).empty());
    EXPECT_TRUE(puzzle->isDirty());
}

TEST_F(PuzzleFileTest, AFailedWriteKeepsTheFilesToDelete)
{
    const QString folder = copyOfPuzzle();
    auto puzzle = Reopen(folder);
    ASSERT_TRUE(puzzle);
    const QString obsolete = folder + QStringLiteral("/Pieces/5009.png");
    writeFile(obsolete, "x");
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

TEST(PuzzleXmlText, NumbersReadBackExactlyAndDamagedTextReadsAsNothing)
{
    EXPECT_EQ(NumberText(0.1), QStringLiteral("0.1"));
    for (const double v : {-2.5, 1.0 / 3.0, 123456.789012345, -0.000123, 1e-9})
        EXPECT_EQ(NumberText(v).toDouble(), v);
    EXPECT_EQ(RectFromText(RectText(QRectF(1.5, -2, 3, 4))), QRectF(1.5, -2, 3, 4));
    EXPECT_EQ(PointFromText(QStringLiteral("garbage")), QPointF(0, 0));
    EXPECT_EQ(GridFromText(QStringLiteral("{12.9, -3.9}")), (GridCoord{12, -3}));
    EXPECT_EQ(GridFromText(QStringLiteral("{nan, 1e300}")), (GridCoord{-1, -1}));
    QString list;
    CreatePositionList({0, 134.9, 268}, list);
    EXPECT_EQ(list, QStringLiteral("0,134,268"));
    std::vector<double> back;
    DecodePositionList(QStringLiteral("0,x,5"), back);
    EXPECT_EQ(back, (std::vector<double>{0, 0, 5}));
}
