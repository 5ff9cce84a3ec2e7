#include "play/jp_play_clock.h"

#include <algorithm>
#include <chrono>

namespace {

// The monotonic clock does not run while the machine is suspended.
int64_t monotonicMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}

JPPlayClock::JPPlayClock(TimeSource source)
{
    setTimeSource(std::move(source));
}

void JPPlayClock::setTimeSource(TimeSource source)
{
    m_source = source ? std::move(source) : TimeSource(monotonicMilliseconds);
    m_mark = m_source();
    m_lastTouch.reset();
}

void JPPlayClock::setActive(bool active)
{
    advance();
    m_active = active;
}

void JPPlayClock::setAwake(bool awake)
{
    advance();
    m_awake = awake;
    if (!awake)
        m_lastTouch.reset();
}

void JPPlayClock::touch()
{
    advance();
    m_lastTouch = m_mark;
}

void JPPlayClock::forgetTouch()
{
    advance();
    m_lastTouch.reset();
}

int64_t JPPlayClock::take()
{
    advance();
    const int64_t counted = m_counted;
    m_counted = 0;
    return counted;
}

int64_t JPPlayClock::pending() const
{
    return countedUntil(m_source());
}

bool JPPlayClock::isCounting() const
{
    return m_active && m_awake && m_lastTouch && m_source() - *m_lastTouch < kIdleCutOff;
}

// Nothing changed since the mark, so play ran from the mark until now or until the idle
// cut-off after the last touch, whichever came first.
int64_t JPPlayClock::countedUntil(int64_t now) const
{
    if (!m_active || !m_awake || !m_lastTouch || now <= m_mark)
        return m_counted;
    const int64_t end = std::min(now, *m_lastTouch + kIdleCutOff);
    return m_counted + std::max<int64_t>(0, end - m_mark);
}

void JPPlayClock::advance()
{
    const int64_t now = m_source();
    m_counted = countedUntil(now);
    // A clock that went back starts again from where it is now.
    m_mark = now;
}
