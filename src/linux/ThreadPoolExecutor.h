#pragma once

#include "core/runtime/Executor.h"

#include <memory>

class QThreadPool;

namespace corvane {

// A concurrent background executor over a pool of worker threads: jobs may run
// in parallel and in any order. Destruction waits for the jobs already posted.
class ThreadPoolExecutor final : public Executor {
public:
    explicit ThreadPoolExecutor(int maxThreads = 2);
    ~ThreadPoolExecutor() override;
    ThreadPoolExecutor(const ThreadPoolExecutor&) = delete;
    ThreadPoolExecutor& operator=(const ThreadPoolExecutor&) = delete;

    void post(std::function<void()> job) override;

private:
    std::unique_ptr<QThreadPool> m_pool;
};

} // namespace corvane
