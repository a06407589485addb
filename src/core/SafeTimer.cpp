#include "core/SafeTimer.h"

#include "core/runtime/Async.h"
#include "core/runtime/Sleep.h"

namespace corvane {

namespace {
// The longest interval that still has a nanosecond count in 64 bits.
constexpr auto kLongestInterval = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::nanoseconds::max());
} // namespace

SafeTimer::SafeTimer(Clock& clock, Executor& executor)
    : m_clock(clock)
    , m_executor(executor)
{
}

SafeTimer::~SafeTimer()
{
    // The loop wakes later on the executor and ends without touching the timer.
    stopLoop();
}

std::chrono::seconds SafeTimer::effectiveInterval(std::chrono::seconds interval)
{
    if (interval <= std::chrono::seconds::zero() || interval > kLongestInterval)
        return kDefaultInterval;
    return interval;
}

Task<void> SafeTimer::start(std::chrono::seconds interval, std::function<void()> operation, Executor& resumeOn)
{
    return runOn(m_executor, resumeOn, [this, interval, operation = std::move(operation), &resumeOn]() mutable {
        if (m_isRunning)
            return;
        m_isRunning = true;
        m_task.emplace();
        Task<void> detached = loop(effectiveInterval(interval), std::move(operation), m_task->get_token(), resumeOn);
    });
}

Task<void> SafeTimer::stop(Executor& resumeOn)
{
    return runOn(m_executor, resumeOn, [this] { stopLoop(); });
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
    // Runs on the timer's executor throughout: the sleep resumes there. Once
    // stopped it touches nothing of the timer, which may be gone. The awaited
    // sleep is kept in a variable of its own: GCC 12 mishandles an awaiter
    // that is a temporary inside a condition.
    Clock& clock = m_clock;
    Executor& executor = m_executor;
    while (!stop.stop_requested()) {
        const bool elapsed = co_await sleepFor(clock, executor, interval, stop);
        if (!elapsed || stop.stop_requested())
            break;
        operation();
    }
    releaseOn.post([released = std::move(operation)] {});
}

} // namespace corvane
