#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace corvane {

// Monotonic time and one-shot wake-ups. The real clock waits on a thread of its
// own; the test clock fires only when a test advances it.
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using CallId = std::uint64_t;

    virtual ~Clock() = default;

    virtual TimePoint now() const = 0;

    // Calls `fire` once, at or after `deadline`, on a thread of the clock's
    // choosing, unless it is cancelled first. Never calls it inside `callAt`.
    virtual CallId callAt(TimePoint deadline, std::function<void()> fire) = 0;

    // Returns true when the call was still pending and now never happens;
    // false when it has fired, is firing, or is unknown.
    virtual bool cancel(CallId id) = 0;
};

} // namespace corvane
