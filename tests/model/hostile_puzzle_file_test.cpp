// A puzzle.xml whose sizes were damaged or made up: pieces and knobs larger than the picture
// would have piece outlines and assembly pictures made at any size the file names.
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model_fixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <sys/resource.h>

namespace {

using namespace tj::test;

long peakResidentKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class HostilePuzzleFile : public ::testing::Test
{
protected:
    // A 12-piece puzzle with a few assemblies, saved.
    static void SetUpTestSuite()
    {
        auto puzzle = BuildPuzzle(PhotoPath(), 12, &s_folder);
        ASSERT_TRUE(puzzle);
        puzzle->layoutPuzzle(QSizeF(1600, 1000));
        for (int links = 0; links < 4; ++links)
            ASSERT_TRUE(SolveOneLink(*puzzle));
        ASSERT_TRUE(puzzle->save());
        QFile file(s_folder + QStringLiteral("/puzzle.xml"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        s_document = QString::fromUtf8(file.readAll());
    }

    // Opens the puzzle with its document changed by one replacement.
    std::unique_ptr<JPPuzzle> openWith(const QString &pattern, const QString &replacement, QString *reason)
    {
        QString text = s_document;
        text.replace(QRegularExpression(pattern), replacement);
        EXPECT_NE(text, s_document) << pattern.toStdString();
        QFile file(s_folder + QStringLiteral("/puzzle.xml"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        file.close();
        return JPPuzzle::openExisting(s_folder, reason);
    }

    static QString s_folder;
    static QString s_document;
};

QString HostilePuzzleFile::s_folder;
QString HostilePuzzleFile::s_document;

TEST_F(HostilePuzzleFile, SizesBeyondThePictureAreDamage)
{
    const long before = peakResidentKilobytes();
    const std::pair<QString, QString> damage[] = {
        // The first piece, in an assembly or not, grows past the picture.
        {QStringLiteral("<rect>\\{\\{0, 0\\}, \\{[0-9]+, [0-9]+\\}\\}</rect>"), QStringLiteral("<rect>{{0, 0}, {40000, 40000}}</rect>")},
        {QStringLiteral("<rect>\\{\\{0, 0\\}"), QStringLiteral("<rect>{{-30000, 0}")},
        {QStringLiteral("<knob>[0-9]+</knob>"), QStringLiteral("<knob>20000</knob>")},
        {QStringLiteral("<bsize>[^<]*</bsize>"), QStringLiteral("<bsize>{30000, 30000}</bsize>")},
    };
    for (const auto &[pattern, replacement] : damage) {
        SCOPED_TRACE(replacement.toStdString());
        QString reason;
        EXPECT_FALSE(openWith(pattern, replacement, &reason));
        EXPECT_EQ(reason, QStringLiteral("the puzzle file is damaged"));
    }
    EXPECT_LT(peakResidentKilobytes() - before, 100 * 1024) << "kilobytes taken by refusing the documents";

    // The same document with a harmless change still opens.
    QString reason;
    EXPECT_TRUE(openWith(QStringLiteral("<scale>[0-9]+</scale>"), QStringLiteral("<scale>0</scale>"), &reason))
        << reason.toStdString();
}

}
