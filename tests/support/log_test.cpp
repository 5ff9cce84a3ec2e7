#include "support/cc_logger.h"
#include "support/log.h"
#include "support/memory.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <vector>

// Lets the absurd allocation below fail with null under AddressSanitizer too.
extern "C" const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace {

QByteArray sharedLogContent()
{
    return tj::test::readFile(CCLogger::defaultLogPath());
}

// What the shared log gained while body ran.
template <typename Body> QByteArray loggedBy(Body body)
{
    const qsizetype before = sharedLogContent().size();
    body();
    return sharedLogContent().mid(before);
}

}

TEST(Log, BacktraceHasOneIndentedLinePerFrame)
{
    const QString trace = BacktraceText();
    const QStringList lines = trace.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_LE(lines.size(), 50);
    EXPECT_TRUE(trace.endsWith(QLatin1Char('\n')));
    for (const QString &line : lines) {
        EXPECT_TRUE(line.startsWith(QStringLiteral("   "))) << line.toStdString();
        EXPECT_GT(line.trimmed().size(), 0);
    }

    const QByteArray logged = loggedBy([] { LogBacktrace(); });
    EXPECT_EQ(logged.count("com.wrenmoor.tobbin-jigsaw    "), 1);
    EXPECT_GE(logged.count("\n   "), 2);
}

TEST(Log, ExceptionsAreLoggedWithContext)
{
    const QByteArray standard = loggedBy([] {
        try {
            throw std::runtime_error("disk on fire");
        } catch (const std::exception &error) {
            LogException(error, QStringLiteral("Saving puzzle"));
        }
    });
    EXPECT_TRUE(standard.contains(" Saving puzzle: disk on fire\n   "));

    const std::vector<std::pair<std::function<void()>, QByteArray>> thrown = {
        {[] { throw std::out_of_range("piece 5001"); }, " Cutting: piece 5001\n   "},
        {[] { throw 42; }, " Cutting: unknown exception\n"},
        {[] { throw QStringLiteral("bad texture"); }, " Cutting: bad texture\n"},
    };
    for (const auto &[raise, expected] : thrown) {
        const QByteArray logged = loggedBy([&] {
            try {
                raise();
            } catch (...) {
                LogException(std::current_exception(), QStringLiteral("Cutting"));
            }
        });
        EXPECT_TRUE(logged.contains(expected)) << expected.constData();
    }
}

TEST(Memory, AllocationsAreClearedWhenAskedAndAnAbsurdSizeFailsWithLogAndBacktrace)
{
    for (const size_t size : {size_t(0), size_t(1), size_t(1) << 20}) {
        auto *cleared = static_cast<uint8_t *>(AllocateAndClearMemory(size));
        ASSERT_NE(cleared, nullptr);
        EXPECT_EQ(std::count(cleared, cleared + size, 0), qsizetype(size));
        std::free(cleared);
        void *plain = AllocateMemory(size);
        EXPECT_NE(plain, nullptr); // also for 0 bytes
        std::free(plain);
    }

    const size_t absurd = SIZE_MAX / 2;
    void *block = reinterpret_cast<void *>(1);
    const QByteArray logged = loggedBy([&] { block = AllocateMemory(absurd); });
    EXPECT_EQ(block, nullptr);
    const QByteArray message = "Allocation failed for " + QByteArray::number(qulonglong(absurd)) + " bytes.\n";
    EXPECT_TRUE(logged.contains(message)) << logged.constData();
    EXPECT_GE(logged.count("\n   "), 2);

    const QByteArray clearedLog = loggedBy([&] { block = AllocateAndClearMemory(absurd); });
    EXPECT_EQ(block, nullptr);
    EXPECT_TRUE(clearedLog.contains(message));
}
