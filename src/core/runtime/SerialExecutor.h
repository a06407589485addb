#pragma once

#include "core/runtime/Executor.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace corvane {

// One worker thread that runs jobs one at a time, in the order they were
// posted: the executor of a serialised object. The thread sleeps while there
// is nothing to do. Destruction runs the jobs already queued, then joins; it
// must not happen on the worker thread itself.
class SerialExecutor final : public Executor {
public:
    SerialExecutor();
    ~SerialExecutor() override;
    SerialExecutor(const SerialExecutor&) = delete;
    SerialExecutor& operator=(const SerialExecutor&) = delete;

    void post(std::function<void()> job) override;

    // True when called from this executor's worker thread.
    bool isCurrent() const;

private:
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace corvane
