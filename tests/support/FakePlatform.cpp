#include "support/FakePlatform.h"

#include <algorithm>

namespace corvane::test {

bool ManualExecutor::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::unique_lock lock(m_mutex);
        if (m_jobs.empty()) {
            lock.unlock();
            if (!done || done())
                return true;
            lock.lock();
            if (!m_posted.wait_until(lock, deadline, [this] { return !m_jobs.empty(); }))
                break;
        }
        auto job = std::move(m_jobs.front()); // run, and destroyed, outside the lock: either may post
        m_jobs.pop_front();
        lock.unlock();
        job();
    }
    return done();
}

Clock::TimePoint ManualClock::now() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

Clock::CallId ManualClock::callAt(TimePoint deadline, Job fire)
{
    std::lock_guard lock(m_mutex);
    const auto id = m_nextId++;
    m_calls.emplace(std::make_pair(deadline, id), std::move(fire));
    m_changed.notify_all();
    return id;
}

bool ManualClock::cancel(CallId id)
{
    std::lock_guard lock(m_mutex);
    m_changed.notify_all();
    return std::erase_if(m_calls, [id](const auto& call) { return call.first.second == id; }) != 0;
}

int ManualClock::advance(std::chrono::nanoseconds duration)
{
    std::unique_lock lock(m_mutex);
    const TimePoint target = m_now + duration;
    int fired = 0;
    while (!m_calls.empty() && m_calls.begin()->first.first <= target) {
        auto first = m_calls.begin();
        m_now = std::max(m_now, first->first.first);
        auto fire = std::move(first->second);
        m_calls.erase(first);
        m_changed.notify_all();
        lock.unlock(); // the call may make or cancel calls
        fire();
        ++fired;
        lock.lock();
    }
    m_now = target;
    return fired;
}

bool ManualClock::waitForPending(std::size_t count, std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [&] { return m_calls.size() == count; });
}

void InMemorySettingsStore::write(const std::string& key, std::optional<SettingValue> value)
{
    {
        std::lock_guard lock(m_mutex);
        m_writes.emplace_back(key, !value);
        if (value)
            m_values[key] = std::move(*value);
        else
            m_values.erase(key);
    }
    m_observers.notify(key);
}

// Plays every handle the registry hands out (session, iterator over a class's
// entries, entry) and holds the registry's token meanwhile.
class FakeRegistryHandle final : public RegistrySession, public RegistryIterator, public RegistryEntry {
public:
    FakeRegistryHandle(FakeRegistry& registry, std::vector<Properties> entries = {}, Properties properties = {})
        : m_registry(registry)
        , m_entries(std::move(entries))
        , m_properties(std::move(properties))
    {
    }
    std::unique_ptr<RegistryIterator> matchingServices(std::string_view className) override
    {
        std::lock_guard lock(m_registry.m_mutex);
        return std::make_unique<FakeRegistryHandle>(m_registry, m_registry.m_entries[std::string(className)]);
    }
    std::unique_ptr<RegistryEntry> next() override
    {
        if (m_next == m_entries.size())
            return nullptr;
        return std::make_unique<FakeRegistryHandle>(m_registry, std::vector<Properties> {}, m_entries[m_next++]);
    }
    RegistryValue property(std::string_view key) const override
    {
        return m_properties.contains(std::string(key)) ? m_properties.at(std::string(key)) : RegistryValue {};
    }

private:
    FakeRegistry& m_registry;
    std::shared_ptr<int> m_alive = m_registry.m_alive;
    std::vector<Properties> m_entries;
    std::size_t m_next = 0;
    Properties m_properties;
};

std::unique_ptr<RegistrySession> FakeRegistry::openSession()
{
    ++m_sessionsOpened;
    return std::make_unique<FakeRegistryHandle>(*this);
}

} // namespace corvane::test
