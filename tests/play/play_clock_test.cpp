#include "play/jp_play_clock.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kSecond = 1000;
constexpr int64_t kMinute = 60 * kSecond;

// A clock the test moves by hand.
struct ManualClock
{
    int64_t now = 5 * kMinute;
    JPPlayClock clock{[this] { return now; }};

    void wait(int64_t ms) { now += ms; }
};

TEST(PlayClock, CountsOnlyWhileActiveAwakeAndTouchedWithinTwoMinutes)
{
    ManualClock m;
    m.clock.touch();
    m.wait(kMinute);
    EXPECT_EQ(m.clock.take(), 0) << "the window is not active yet";

    m.clock.setActive(true);
    m.wait(30 * kSecond);
    EXPECT_EQ(m.clock.pending(), 30 * kSecond);
    EXPECT_TRUE(m.clock.isCounting());

    // Idle: the count stops two minutes after the last touch, and a touch starts it again.
    m.wait(10 * kMinute);
    EXPECT_FALSE(m.clock.isCounting());
    EXPECT_EQ(m.clock.take(), kMinute) << "from becoming active to two minutes after the touch";
    m.clock.touch();
    m.wait(45 * kSecond);
    EXPECT_EQ(m.clock.take(), 45 * kSecond);

    // Another window in front pauses; coming back within the idle time goes on without a touch.
    m.clock.setActive(false);
    m.wait(20 * kSecond);
    m.clock.setActive(true);
    m.wait(10 * kSecond);
    EXPECT_EQ(m.clock.take(), 10 * kSecond);
    EXPECT_EQ(m.clock.take(), 0) << "taking starts the count again";
}

TEST(PlayClock, SwitchingPuzzlesAndSleepingWaitForTheNextTouch)
{
    ManualClock m;
    m.clock.setActive(true);
    m.clock.touch();
    m.wait(kMinute);
    m.clock.forgetTouch();
    m.wait(kMinute);
    EXPECT_EQ(m.clock.take(), kMinute) << "the minute after the switch belongs to nobody";
    m.clock.touch();
    m.wait(20 * kSecond);

    m.clock.setAwake(false);
    m.wait(3 * kMinute);
    m.clock.setAwake(true);
    m.wait(kMinute);
    EXPECT_EQ(m.clock.take(), 20 * kSecond) << "neither the sleep nor the time after waking counts";
    m.clock.touch();
    m.wait(5 * kSecond);
    EXPECT_EQ(m.clock.take(), 5 * kSecond);
}

TEST(PlayClock, AClockThatRunsBackwardsCountsNothingNegative)
{
    ManualClock m;
    m.clock.setActive(true);
    m.clock.touch();
    m.wait(10 * kSecond);
    m.now -= kMinute;
    const int64_t counted = m.clock.take();
    EXPECT_GE(counted, 0);
    EXPECT_LE(counted, 10 * kSecond);
    m.wait(kSecond);
    EXPECT_EQ(m.clock.take(), kSecond) << "counting goes on from the new time";
}

}
