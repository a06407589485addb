#pragma once

#include "core/runtime/Clock.h"
#include "core/runtime/Executor.h"

#include <chrono>
#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace corvane {

// `co_await sleepFor(clock, executor, duration, stop)` suspends for `duration`
// and yields true, or yields false as soon as `stop` is requested (at once when
// it already was). The coroutine continues on `executor` either way.
class SleepAwaiter {
public:
    SleepAwaiter(Clock& clock, Executor& executor, std::chrono::nanoseconds duration, std::stop_token stop);

    bool await_ready() const noexcept { return m_stop.stop_requested(); }
    void await_suspend(std::coroutine_handle<> handle);
    bool await_resume();

private:
    struct State;

    Clock& m_clock;
    Executor& m_executor;
    std::chrono::nanoseconds m_duration;
    std::stop_token m_stop;
    std::shared_ptr<State> m_state;
    std::optional<std::stop_callback<std::function<void()>>> m_onStop;
};

inline SleepAwaiter sleepFor(Clock& clock, Executor& executor, std::chrono::nanoseconds duration, std::stop_token stop)
{
    return SleepAwaiter(clock, executor, duration, std::move(stop));
}

} // namespace corvane
