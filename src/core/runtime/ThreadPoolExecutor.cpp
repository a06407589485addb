#include "core/runtime/ThreadPoolExecutor.h"

#include <algorithm>

namespace corvane {

ThreadPoolExecutor::ThreadPoolExecutor(std::size_t threads)
{
    const std::size_t count = std::max<std::size_t>(threads, 1);
    for (std::size_t i = 0; i < count; ++i)
        m_threads.emplace_back([this] { run(); });
}

ThreadPoolExecutor::~ThreadPoolExecutor()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (auto& thread : m_threads)
        thread.join();
}

void ThreadPoolExecutor::post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void ThreadPoolExecutor::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty())
            return;
        auto job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job();
        // The job's captures are released before the next wait, not when the
        // next job replaces it.
        job = nullptr;
        lock.lock();
    }
}

} // namespace corvane
