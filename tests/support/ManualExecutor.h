#pragma once

#include "core/runtime/Executor.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace corvane::test {

// The main thread's executor in tests: jobs queue up until the test runs them,
// so interleavings are the test's to choose. `post` is safe from any thread.
class ManualExecutor final : public Executor {
public:
    void post(std::function<void()> job) override;

    // Runs queued jobs, and jobs they queue, until none is left; returns how many ran.
    std::size_t runAll();
    // Runs the oldest job, if any.
    bool runOne();
    std::size_t pending() const;

    // Runs jobs as they come, also from other threads (a serialised object
    // answering), until `done` holds; false when it still does not after `limit`.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10));

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_jobs;
};

// Runs each job at once, on the posting thread. For background work in tests.
class InlineExecutor final : public Executor {
public:
    void post(std::function<void()> job) override { job(); }
};

} // namespace corvane::test
