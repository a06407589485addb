#include "support/InMemorySettingsStore.h"

namespace corvane::test {

SettingValue InMemorySettingsStore::value(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_values.find(key);
    return found == m_values.end() ? SettingValue {} : found->second;
}

void InMemorySettingsStore::setValue(const std::string& key, SettingValue value)
{
    {
        std::lock_guard lock(m_mutex);
        m_values[key] = std::move(value);
        m_writes.emplace_back(key, false);
    }
    notify(key);
}

void InMemorySettingsStore::remove(const std::string& key)
{
    {
        std::lock_guard lock(m_mutex);
        m_values.erase(key);
        m_writes.emplace_back(key, true);
    }
    notify(key);
}

Subscription InMemorySettingsStore::observe(const std::string& key, std::function<void()> changed)
{
    std::lock_guard lock(m_mutex);
    auto id = m_nextObserver++;
    m_observers.emplace(key, std::make_pair(id, std::move(changed)));
    return Subscription([this, key, id] {
        std::lock_guard innerLock(m_mutex);
        auto [first, last] = m_observers.equal_range(key);
        for (auto it = first; it != last; ++it) {
            if (it->second.first == id) {
                m_observers.erase(it);
                return;
            }
        }
    });
}

bool InMemorySettingsStore::contains(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    return m_values.count(key) != 0;
}

std::vector<std::string> InMemorySettingsStore::keys() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> result;
    for (const auto& entry : m_values)
        result.push_back(entry.first);
    return result;
}

std::vector<std::pair<std::string, bool>> InMemorySettingsStore::writes() const
{
    std::lock_guard lock(m_mutex);
    return m_writes;
}

void InMemorySettingsStore::notify(const std::string& key)
{
    std::vector<std::function<void()>> toCall;
    {
        std::lock_guard lock(m_mutex);
        auto [first, last] = m_observers.equal_range(key);
        for (auto it = first; it != last; ++it)
            toCall.push_back(it->second.second);
    }
    for (auto& changed : toCall)
        changed();
}

} // namespace corvane::test
