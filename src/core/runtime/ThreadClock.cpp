#include "core/runtime/ThreadClock.h"

#include <algorithm>

namespace corvane {

ThreadClock::ThreadClock()
    : m_thread([this] { run(); })
{
}

ThreadClock::~ThreadClock()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

Clock::TimePoint ThreadClock::now() const { return std::chrono::steady_clock::now(); }

Clock::CallId ThreadClock::callAt(TimePoint deadline, std::function<void()> fire)
{
    CallId id = 0;
    {
        std::lock_guard lock(m_mutex);
        id = m_nextId++;
        m_calls.emplace(std::make_pair(deadline, id), std::move(fire));
    }
    m_wake.notify_one();
    return id;
}

bool ThreadClock::cancel(CallId id)
{
    std::lock_guard lock(m_mutex);
    auto found
        = std::find_if(m_calls.begin(), m_calls.end(), [id](const auto& call) { return call.first.second == id; });
    if (found == m_calls.end())
        return false;
    m_calls.erase(found);
    return true;
}

void ThreadClock::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_calls.empty()) {
            m_wake.wait(lock);
            continue;
        }
        auto first = m_calls.begin();
        // A copy: the call may be cancelled, and its entry freed, while we wait.
        const TimePoint deadline = first->first.first;
        if (std::chrono::steady_clock::now() < deadline) {
            m_wake.wait_until(lock, deadline);
            continue;
        }
        auto fire = std::move(first->second);
        m_calls.erase(first);
        lock.unlock();
        fire();
        lock.lock();
    }
}

} // namespace corvane
