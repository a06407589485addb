#pragma once

#include "core/runtime/Executor.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace corvane {

// A fixed set of worker threads taking jobs from one queue, oldest first:
// with one thread the jobs run one at a time in the order posted; with more
// they may run in parallel. Idle threads sleep until a job comes. Destruction
// runs the jobs already queued, then joins; it must not happen on a worker.
class ThreadPoolExecutor : public Executor {
public:
    explicit ThreadPoolExecutor(std::size_t threads = 2);
    ~ThreadPoolExecutor() override;
    ThreadPoolExecutor(const ThreadPoolExecutor&) = delete;
    ThreadPoolExecutor& operator=(const ThreadPoolExecutor&) = delete;

    void post(std::function<void()> job) override;

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

// One worker thread: the executor of a serialised object.
class SerialExecutor final : public ThreadPoolExecutor {
public:
    SerialExecutor()
        : ThreadPoolExecutor(1)
    {
    }
};

} // namespace corvane
