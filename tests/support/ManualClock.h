#pragma once

#include "core/runtime/Clock.h"

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <utility>

namespace corvane::test {

// A clock that never ticks by itself: time moves only in `advance`, which
// fires the calls that fall due, in deadline order, on the test's thread.
class ManualClock final : public Clock {
public:
    TimePoint now() const override;
    CallId callAt(TimePoint deadline, std::function<void()> fire) override;
    bool cancel(CallId id) override;

    void advance(std::chrono::nanoseconds by);
    std::size_t pendingCalls() const;
    // The earliest pending deadline, measured from now; max() when none.
    std::chrono::nanoseconds nextDeadlineIn() const;

private:
    mutable std::mutex m_mutex;
    TimePoint m_now {std::chrono::hours(1000)};
    std::map<std::pair<TimePoint, CallId>, std::function<void()>> m_calls;
    CallId m_nextId = 1;
};

} // namespace corvane::test
