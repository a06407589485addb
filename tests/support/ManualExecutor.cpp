#include "support/ManualExecutor.h"

namespace corvane::test {

void ManualExecutor::post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_posted.notify_all();
}

bool ManualExecutor::runOne()
{
    std::function<void()> job;
    {
        std::lock_guard lock(m_mutex);
        if (m_jobs.empty())
            return false;
        job = std::move(m_jobs.front());
        m_jobs.pop_front();
    }
    job();
    return true;
}

std::size_t ManualExecutor::runAll()
{
    std::size_t ran = 0;
    while (runOne())
        ++ran;
    return ran;
}

std::size_t ManualExecutor::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_jobs.size();
}

bool ManualExecutor::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        runAll();
        if (done())
            return true;
        std::unique_lock lock(m_mutex);
        if (!m_posted.wait_until(lock, deadline, [this] { return !m_jobs.empty(); }))
            return done();
    }
}

} // namespace corvane::test
