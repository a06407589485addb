#pragma once

#include "core/runtime/Clock.h"
#include "core/runtime/Executor.h"
#include "core/runtime/Task.h"

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>

namespace corvane {

// Calls an operation every `interval` until stopped. A serialised
// object on `executor` (a serial one, the main thread's in the program):
// `start`, `stop` and the loop run there one at a time, and so does the
// operation, which should only schedule work and return. The timer has no
// thread of its own: it sleeps on the clock. The first call comes one full
// interval after `start`. Destroyed on the executor's thread.
class SafeTimer {
public:
    SafeTimer(Clock& clock, Executor& executor);
    SafeTimer(const SafeTimer&) = delete;
    SafeTimer& operator=(const SafeTimer&) = delete;
    // Stops a running loop; the operation is not called again.
    ~SafeTimer();

    // Starts the loop unless one runs already, in which case the new interval
    // and operation are ignored. The caller continues on `resumeOn`, and the
    // operation is released there once its loop ends: it may hold the timer's
    // owner, which must not be destroyed on the timer's own thread.
    Task<void> start(std::chrono::seconds interval, std::function<void()> operation, Executor& resumeOn);

    // Stops the loop, if any; a loop asleep ends at once without calling the operation.
    Task<void> stop(Executor& resumeOn);

    // The refresh period when none is set, and the one that replaces an
    // interval of 0, a negative one or one too long to count in nanoseconds.
    static constexpr std::chrono::seconds kDefaultInterval = std::chrono::hours(1);

private:
    static std::chrono::seconds effectiveInterval(std::chrono::seconds interval);
    Task<void> loop(
        std::chrono::seconds interval, std::function<void()> operation, std::stop_token stop, Executor& releaseOn);
    void stopLoop();

    Clock& m_clock;
    Executor& m_executor;
    bool m_isRunning = false;
    std::optional<std::stop_source> m_task;
};

} // namespace corvane
