#pragma once

#include "core/runtime/Clock.h"
#include "core/runtime/Executor.h"
#include "core/runtime/Task.h"
#include "core/runtime/ThreadPoolExecutor.h"

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>

namespace corvane {

// Calls an operation every `interval` until stopped. A serialised
// object: `start`, `stop` and the loop run one at a time on its own thread, and
// so does the operation, which should only schedule work elsewhere and return.
// The first call comes one full interval after `start`.
class SafeTimer {
public:
    explicit SafeTimer(Clock& clock);
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

    // Whether a loop has been started and not stopped; for tests and diagnostics.
    Task<bool> isRunning(Executor& resumeOn);

    // The refresh period when none is set, and the one that replaces an
    // interval of 0, a negative one or one too long to count in nanoseconds.
    static constexpr std::chrono::seconds kDefaultInterval = std::chrono::hours(1);

private:
    static std::chrono::seconds effectiveInterval(std::chrono::seconds interval);
    Task<void> loop(
        std::chrono::seconds interval, std::function<void()> operation, std::stop_token stop, Executor& releaseOn);
    void stopLoop();

    Clock& m_clock;
    bool m_isRunning = false;
    std::optional<std::stop_source> m_task;
    // Last, so that it is destroyed first: the loop's last job runs while the rest lives.
    SerialExecutor m_executor;
};

} // namespace corvane
