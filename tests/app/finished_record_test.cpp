#include "app/finished_record.h"
#include "app/jp_finished_puzzles_dialog.h"
#include "support/property_list.h"
#include "test_helpers.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTreeWidget>

#include <tuple>

namespace {

FinishedPuzzle entry(const QString &name, int64_t pieces, double seconds, const QString &picture = QStringLiteral("p1"))
{
    return {name, pieces, seconds, QDateTime(QDate(2024, 5, 17), QTime(20, 15, 7), Qt::UTC), picture};
}

QString recordPath()
{
    return QDir(tj::test::freshFolder(QStringLiteral("record"))).filePath(QStringLiteral("Finished.plist"));
}

TEST(FinishedRecord, EntriesRoundTripAndTheBestTimeOfEachPictureAndCountIsMarked)
{
    const QString path = recordPath();
    EXPECT_TRUE(ReadFinishedRecord(path).empty());
    std::vector<FinishedPuzzle> added = {
        entry(QStringLiteral("Harbour"), 100, 900),
        entry(QStringLiteral("Harbour"), 100, 700),
        entry(QStringLiteral("Harbour"), 300, 2000),
        entry(QStringLiteral("Mill"), 100, 500, QStringLiteral("p2")),
        entry(QStringLiteral("Harbour"), 100, 700),
        entry(QStringLiteral("Untimed"), 100, 0, QStringLiteral("p3")),
        entry(QString::fromUtf8("Odd\x01name\xef\xbf\xbf"), 50, 60, QStringLiteral("p4")),
    };
    for (const FinishedPuzzle &each : added)
        ASSERT_TRUE(AddToFinishedRecord(path, each));

    std::vector<FinishedPuzzle> read = ReadFinishedRecord(path);
    ASSERT_EQ(read.size(), added.size());
    MarkBestTimes(read);
    added.back().name = QStringLiteral("Odd name ");
    const std::vector<bool> best = {false, true, true, true, false, false, true};
    const auto fields = [](const FinishedPuzzle &e) {
        return std::tie(e.name, e.pieces, e.seconds, e.date, e.picture, e.best);
    };
    for (size_t i = 0; i < added.size(); ++i) {
        added[i].best = best[i];
        EXPECT_TRUE(fields(read[i]) == fields(added[i])) << i << ": " << read[i].name.toStdString();
    }

    // The dialog lists the newest first and marks the best times.
    JPFinishedPuzzlesDialog dialog(ReadFinishedRecord(path));
    ASSERT_EQ(dialog.list()->topLevelItemCount(), int(added.size()));
    EXPECT_EQ(dialog.list()->topLevelItem(1)->text(0), QStringLiteral("Untimed"));
    EXPECT_EQ(dialog.list()->topLevelItem(5)->text(2), QStringLiteral("11 min ★"));
    EXPECT_EQ(dialog.list()->topLevelItem(6)->text(2), QStringLiteral("15 min"));
}

TEST(FinishedRecord, ADamagedRecordIsKeptAsideAndTheNewEntryIsNotLost)
{
    const QString path = recordPath();
    tj::test::writeFile(path, "<?xml version=\"1.0\"?><plist><array><dict><key>name");
    EXPECT_TRUE(ReadFinishedRecord(path).empty());
    ASSERT_TRUE(AddToFinishedRecord(path, entry(QStringLiteral("After"), 100, 30)));
    ASSERT_EQ(ReadFinishedRecord(path).size(), 1u);
    EXPECT_TRUE(QFile::exists(path + QStringLiteral(".damaged")));

    // Entries of the wrong shape are left out; the good ones stay.
    QVariantList list = *ReadPropertyListArray(path);
    QVariantMap bad = list.front().toMap();
    bad[QStringLiteral("pieces")] = QStringLiteral("many");
    QVariantMap negative = list.front().toMap();
    negative[QStringLiteral("seconds")] = -4.0;
    list << bad << negative << QStringLiteral("not a dictionary");
    ASSERT_TRUE(WritePropertyList(path, list));
    ASSERT_TRUE(AddToFinishedRecord(path, entry(QStringLiteral("Later"), 100, 40)));
    const std::vector<FinishedPuzzle> read = ReadFinishedRecord(path);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[1].name, QStringLiteral("Later"));
}

TEST(FinishedRecord, AFullRecordDropsItsOldestOrdinaryEntryAndKeepsBestTimes)
{
    const QString path = recordPath();
    ASSERT_TRUE(AddToFinishedRecord(path, entry(QStringLiteral("Fastest"), 100, 10, QStringLiteral("old"))));
    for (size_t i = 1; i < kMaxFinishedEntries; ++i)
        ASSERT_TRUE(AddToFinishedRecord(path, entry(QStringLiteral("Slow %1").arg(i), 100, 100 + double(i))));
    ASSERT_TRUE(AddToFinishedRecord(path, entry(QStringLiteral("Newest"), 100, 99)));
    const std::vector<FinishedPuzzle> read = ReadFinishedRecord(path);
    ASSERT_EQ(read.size(), kMaxFinishedEntries);
    EXPECT_EQ(read.front().name, QStringLiteral("Fastest"));
    EXPECT_EQ(read[1].name, QStringLiteral("Slow 2"));
    EXPECT_EQ(read.back().name, QStringLiteral("Newest"));

    // When every entry is a best time (each picture once), the oldest goes all the same.
    const QString bests = recordPath();
    for (size_t i = 0; i <= kMaxFinishedEntries; ++i)
        ASSERT_TRUE(AddToFinishedRecord(bests, entry(QStringLiteral("Best %1").arg(i), 100, 60, QString::number(i))));
    const std::vector<FinishedPuzzle> kept = ReadFinishedRecord(bests);
    ASSERT_EQ(kept.size(), kMaxFinishedEntries);
    EXPECT_EQ(kept.front().name, QStringLiteral("Best 1"));
}

}
