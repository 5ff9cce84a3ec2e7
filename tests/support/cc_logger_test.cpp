#include "support/cc_logger.h"
#include "support/log.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <thread>
#include <unistd.h>
#include <vector>

using tj::test::readFile;
using tj::test::writeFile;

namespace {

constexpr qint64 kLimit = CCLogger::kMaxLogSize;
const QRegularExpression kRecordPattern(
    QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} com\\.wrenmoor\\.tobbin-jigsaw (.*)$"));

// Lines of varying length ("line 17 ....\n") filling exactly size bytes.
QByteArray linedText(qint64 size)
{
    QByteArray text;
    text.reserve(size);
    for (int line = 0; text.size() < size; ++line) {
        text += "line " + QByteArray::number(line) + ' ' + QByteArray(line % 70, char('a' + line % 26)) + '\n';
    }
    text.truncate(size);
    return text;
}

QString logPath(const QString &name = QStringLiteral("test.log"))
{
    return tj::test::freshFolder(QStringLiteral("log")) + QLatin1Char('/') + name;
}

QList<QByteArray> recordsOf(const QByteArray &content)
{
    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

}

TEST(CCLogger, RecordsCarryTimeStampAndBundleIdentifierInNewFolders)
{
    const QString path = tj::test::freshFolder(QStringLiteral("log")) + QStringLiteral("/deep/er/ünïcode.log");
    CCLogger logger(path);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    logger.logString(QStringLiteral("first record – ünïcode"));
    logger.logString(QStringLiteral("second\nspans two lines"));
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    const QByteArray content = readFile(path);
    ASSERT_TRUE(content.endsWith('\n'));
    const QList<QByteArray> lines = recordsOf(content);
    ASSERT_EQ(lines.size(), 3);
    const QRegularExpressionMatch first = kRecordPattern.match(QString::fromUtf8(lines[0]));
    ASSERT_TRUE(first.hasMatch()) << lines[0].constData();
    EXPECT_EQ(first.captured(1), QStringLiteral("first record – ünïcode"));
    const QDateTime stamp = QDateTime::fromString(lines[0].left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
    EXPECT_EQ(kRecordPattern.match(QString::fromUtf8(lines[1])).captured(1), QStringLiteral("second"));
    EXPECT_EQ(lines[2], "spans two lines");
}

TEST(CCLogger, SharedLogLivesInStateFolderAndClosesWhenTheApplicationQuits)
{
    const QString expected =
        qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/Wrenmoor/com.wrenmoor.tobbin-jigsaw.log");
    EXPECT_EQ(CCLogger::defaultLogPath(), expected);
    EXPECT_EQ(CCLogger::sharedInstance()->path(), expected);
    LogString(QStringLiteral("through the free function"));
    EXPECT_TRUE(readFile(expected).contains(" com.wrenmoor.tobbin-jigsaw through the free function\n"));

    // A relative XDG_STATE_HOME is not a valid base folder and falls back to the default.
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(CCLogger::defaultLogPath(),
              QDir::homePath() + QStringLiteral("/.local/state/Wrenmoor/com.wrenmoor.tobbin-jigsaw.log"));
    qputenv("XDG_STATE_HOME", saved);

    const QString path = CCLogger::defaultLogPath();
    ASSERT_TRUE(QFile::remove(path));
    // Records written to a file that stayed open would go to the removed one.
    ASSERT_TRUE(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit"));
    LogString(QStringLiteral("after quitting"));
    const QList<QByteArray> lines = recordsOf(readFile(path));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(" after quitting"));
}

TEST(CCLogger, UnopenableFileSendsRecordsToSystemLog)
{
    const QString folder = tj::test::freshFolder(QStringLiteral("log"));
    writeFile(folder + QStringLiteral("/blocker"), "a file where a folder should be");
    CCLogger logger(folder + QStringLiteral("/blocker/app.log"));
    testing::internal::CaptureStderr();
    logger.logString(QStringLiteral("nowhere to go"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("nowhere to go"), std::string::npos);
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/blocker/app.log")));
}

TEST(CCLogger, FileAtTheLimitIsCutAfterTheFirstNewlineFromItsMidpointBeforeTheNextRecord)
{
    const qint64 middle = kLimit / 2;
    const auto withNewlineAt = [&](qint64 at) {
        QByteArray text = linedText(middle) + QByteArray(kLimit - middle, 'x');
        text[at] = '\n';
        text[kLimit - 1] = '\n';
        return text;
    };
    const auto lined = [](qint64 size) {
        return std::pair{linedText(size), linedText(size).indexOf('\n', size / 2) + 1};
    };
    const std::vector<std::pair<QByteArray, qint64>> cases = {
        {linedText(kLimit - 1), 0}, // below the limit: kept whole
        lined(kLimit),
        lined(kLimit + 1000),
        // A newline just inside the 16,384 bytes searched is found; one just outside is not.
        {withNewlineAt(middle + 16384), middle},
        {withNewlineAt(middle + 16383), middle + 16384},
        {withNewlineAt(middle), middle + 1},
    };
    for (const auto &[original, cut] : cases) {
        SCOPED_TRACE(testing::Message() << original.size() << " bytes cut at " << cut);
        const QString path = logPath();
        writeFile(path, original);
        CCLogger(path).logString(QStringLiteral("tail"));
        const QByteArray content = readFile(path);
        EXPECT_EQ(content.left(original.size() - cut), original.mid(cut));
        const QList<QByteArray> added = recordsOf(content.mid(original.size() - cut));
        ASSERT_EQ(added.size(), 1);
        EXPECT_TRUE(added[0].endsWith(" tail"));
    }
}

TEST(CCLogger, ShorteningRefusesSmallFiles)
{
    for (const qint64 size : {0, 100, 8191, 8192}) {
        const QString path = logPath();
        const QByteArray original = linedText(size);
        writeFile(path, original);
        const int fd = open(QFile::encodeName(path).constData(), O_RDWR);
        EXPECT_EQ(ShortenLogFile(fd), size == 8192) << size;
        close(fd);
        EXPECT_EQ(readFile(path), size < 8192 ? original : original.mid(original.indexOf('\n', 4096) + 1));
    }
    EXPECT_FALSE(ShortenLogFile(-1));
}

TEST(CCLogger, RecordLoggedFromInsideTheLoggerIsDropped)
{
    const QString path = logPath();
    CCLogger logger(path);
    int calls = 0;
    logger.setRecordHookForTesting([&] {
        ++calls;
        logger.logString(QStringLiteral("inner"));
        LogString(QStringLiteral("inner through the shared log"));
    });
    logger.logString(QStringLiteral("outer"));
    EXPECT_EQ(calls, 1);
    const QList<QByteArray> lines = recordsOf(readFile(path));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(" outer"));
    EXPECT_FALSE(readFile(CCLogger::defaultLogPath()).contains("inner through the shared log"));
}

TEST(CCLogger, ConcurrentRecordsAreNeitherLostNorInterleaved)
{
    constexpr int kThreads = 8;
    constexpr int kRecords = 100;
    const QString path = logPath();
    CCLogger logger(path);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&logger, t] {
            // Long enough to need several write calls if records were written piecemeal.
            const QString padding(600, QChar(u'ø'));
            for (int n = 0; n < kRecords; ++n)
                logger.logString(QStringLiteral("thread %1 record %2 %3").arg(t).arg(n).arg(padding));
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    const QList<QByteArray> lines = recordsOf(readFile(path));
    ASSERT_EQ(lines.size(), kThreads * kRecords);
    const QRegularExpression body(QStringLiteral("^thread (\\d+) record (\\d+) ø{600}$"));
    std::map<int, int> nextRecord;
    for (const QByteArray &line : lines) {
        const QRegularExpressionMatch record = kRecordPattern.match(QString::fromUtf8(line));
        ASSERT_TRUE(record.hasMatch()) << line.left(80).constData();
        const QRegularExpressionMatch fields = body.match(record.captured(1));
        ASSERT_TRUE(fields.hasMatch()) << line.left(80).constData();
        const int thread = fields.captured(1).toInt();
        EXPECT_EQ(fields.captured(2).toInt(), nextRecord[thread]++);
    }
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(nextRecord[t], kRecords);
}
