#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// Counts the time a puzzle is played: while it is shown in the active window, the machine
// is awake, and the player has touched it within the last two minutes. The owner takes
// the counted time and adds it to the puzzle shown. Main thread only.
class JPPlayClock
{
public:
    // Milliseconds from any fixed start; must not run backwards.
    using TimeSource = std::function<int64_t()>;

    // Play pauses this long after the last touch.
    static constexpr int64_t kIdleCutOff = 2 * 60 * 1000;

    // Without a source the clock is the monotonic system clock.
    explicit JPPlayClock(TimeSource source = {});

    void setTimeSource(TimeSource source);
    // The puzzle's window became active or stopped being active.
    void setActive(bool active);
    // The machine goes to sleep (false) or wakes (true); after a sleep play waits for a touch.
    void setAwake(bool awake);
    // The player did something to the puzzle shown.
    void touch();
    // Another puzzle is shown (or none): play waits for a touch of it.
    void forgetTouch();

    // The time counted since the last take, in milliseconds; the count starts again at 0.
    int64_t take();
    // The time counted since the last take, without taking it.
    int64_t pending() const;
    bool isCounting() const;

private:
    int64_t countedUntil(int64_t now) const;
    void advance();

    TimeSource m_source;
    int64_t m_mark = 0;
    int64_t m_counted = 0;
    std::optional<int64_t> m_lastTouch;
    bool m_active = false;
    bool m_awake = true;
};
