#include "support/ManualClock.h"

#include <algorithm>

namespace corvane::test {

Clock::TimePoint ManualClock::now() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

Clock::CallId ManualClock::callAt(TimePoint deadline, std::function<void()> fire)
{
    std::lock_guard lock(m_mutex);
    CallId id = m_nextId++;
    m_calls.emplace(std::make_pair(deadline, id), std::move(fire));
    return id;
}

bool ManualClock::cancel(CallId id)
{
    std::lock_guard lock(m_mutex);
    auto found
        = std::find_if(m_calls.begin(), m_calls.end(), [id](const auto& call) { return call.first.second == id; });
    if (found == m_calls.end())
        return false;
    m_calls.erase(found);
    return true;
}

void ManualClock::advance(std::chrono::nanoseconds by)
{
    std::unique_lock lock(m_mutex);
    const auto target = m_now + std::chrono::duration_cast<TimePoint::duration>(by);
    while (!m_calls.empty() && m_calls.begin()->first.first <= target) {
        auto first = m_calls.begin();
        m_now = std::max(m_now, first->first.first);
        auto fire = std::move(first->second);
        m_calls.erase(first);
        lock.unlock();
        fire();
        lock.lock();
    }
    m_now = target;
}

std::size_t ManualClock::pendingCalls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls.size();
}

std::chrono::nanoseconds ManualClock::nextDeadlineIn() const
{
    std::lock_guard lock(m_mutex);
    if (m_calls.empty())
        return std::chrono::nanoseconds::max();
    return m_calls.begin()->first.first - m_now;
}

} // namespace corvane::test
