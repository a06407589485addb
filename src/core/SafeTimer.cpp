#include "core/SafeTimer.h"

#include "core/runtime/Async.h"
#include "core/runtime/Sleep.h"

#include <limits>

namespace corvane {

namespace {
constexpr std::chrono::seconds kDefaultInterval {3600};
// The longest interval that still has a nanosecond count in 64 bits.
constexpr std::int64_t kLongestInterval = std::numeric_limits<std::int64_t>::max() / 1'000'000'000;
} // namespace

SafeTimer::SafeTimer(Clock& clock)
    : m_clock(clock)
{
}

SafeTimer::~SafeTimer()
{
    // The loop's wake-up is queued on the executor, which runs it before it joins.
    m_executor.post([this] { stopLoop(); });
}

std::chrono::seconds SafeTimer::effectiveInterval(std::int64_t intervalSeconds)
{
    if (intervalSeconds <= 0 || intervalSeconds > kLongestInterval)
        return kDefaultInterval;
    return std::chrono::seconds(intervalSeconds);
}

Task<void> SafeTimer::start(std::int64_t intervalSeconds, std::function<void()> operation, Executor& resumeOn)
{
    return runOn(m_executor, resumeOn, [this, intervalSeconds, operation = std::move(operation), &resumeOn]() mutable {
        if (m_isRunning)
            return;
        m_isRunning = true;
        m_task.emplace();
        Task<void> detached
            = loop(effectiveInterval(intervalSeconds), std::move(operation), m_task->get_token(), resumeOn);
    });
}

Task<void> SafeTimer::stop(Executor& resumeOn)
{
    return runOn(m_executor, resumeOn, [this] { stopLoop(); });
}

Task<bool> SafeTimer::isRunning(Executor& resumeOn)
{
    return runOn(m_executor, resumeOn, [this] { return m_isRunning; });
}

void SafeTimer::stopLoop()
{
    if (m_task)
        m_task->request_stop();
    m_task.reset();
    m_isRunning = false;
}

Task<void> SafeTimer::loop(
    std::chrono::seconds interval, std::function<void()> operation, std::stop_token stop, Executor& releaseOn)
{
    // Runs on the timer's executor throughout: the sleep resumes there. The
    // awaited sleep is kept in a variable of its own: GCC 12 mishandles an
    // awaiter that is a temporary inside a condition.
    while (!stop.stop_requested()) {
        const bool elapsed = co_await sleepFor(m_clock, m_executor, interval, stop);
        if (!elapsed)
            break;
        operation();
    }
    releaseOn.post([released = std::move(operation)] {});
}

} // namespace corvane
