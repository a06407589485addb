#pragma once

#include "core/runtime/Clock.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace corvane {

// The real clock: one thread that sleeps until the earliest deadline, so an
// idle program with a pending call wakes up only when that call is due.
class ThreadClock final : public Clock {
public:
    ThreadClock();
    ~ThreadClock() override;
    ThreadClock(const ThreadClock&) = delete;
    ThreadClock& operator=(const ThreadClock&) = delete;

    TimePoint now() const override;
    CallId callAt(TimePoint deadline, std::function<void()> fire) override;
    bool cancel(CallId id) override;

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    // Ordered by deadline, then by id so that equal deadlines fire in order.
    std::map<std::pair<TimePoint, CallId>, std::function<void()>> m_calls;
    CallId m_nextId = 1;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace corvane
