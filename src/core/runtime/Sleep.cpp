#include "core/runtime/Sleep.h"

#include <atomic>

namespace corvane {

// Shared with the clock's call and the stop callback, either of which may
// outlive the awaiter; the first to settle resumes the coroutine.
struct SleepAwaiter::State {
    std::atomic<bool> settled {false};
    bool elapsed = false;
    Clock::CallId callId = 0;

    bool settle(bool fullDuration)
    {
        if (settled.exchange(true))
            return false;
        elapsed = fullDuration;
        return true;
    }
};

SleepAwaiter::SleepAwaiter(Clock& clock, Executor& executor, std::chrono::nanoseconds duration, std::stop_token stop)
    : m_clock(clock)
    , m_executor(executor)
    , m_duration(duration)
    , m_stop(std::move(stop))
{
}

void SleepAwaiter::await_suspend(std::coroutine_handle<> handle)
{
    auto state = std::make_shared<State>();
    m_state = state;
    Executor* executor = &m_executor;
    Clock* clock = &m_clock;

    // The deadline is computed so that an enormous duration saturates instead of wrapping.
    auto now = m_clock.now();
    auto room = Clock::TimePoint::max() - now;
    auto deadline = m_duration >= room ? Clock::TimePoint::max()
                                       : now + std::chrono::duration_cast<Clock::TimePoint::duration>(m_duration);

    // Registering the call before the stop callback: a stop that comes in
    // between is seen by the callback, which runs at once when registered late.
    state->callId = m_clock.callAt(deadline, [state, executor, handle] {
        if (state->settle(true))
            executor->post([handle] { handle.resume(); });
    });
    m_onStop.emplace(m_stop, std::function<void()>([state, executor, clock, handle] {
        if (state->settle(false)) {
            clock->cancel(state->callId);
            executor->post([handle] { handle.resume(); });
        }
    }));
}

bool SleepAwaiter::await_resume()
{
    m_onStop.reset();
    return m_state && m_state->elapsed;
}

} // namespace corvane
