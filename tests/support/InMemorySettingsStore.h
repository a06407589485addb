#pragma once

#include "core/SettingsStore.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace corvane::test {

// The settings store in memory, with a log of every write for tests.
class InMemorySettingsStore final : public SettingsStore {
public:
    SettingValue value(const std::string& key) const override;
    void setValue(const std::string& key, SettingValue value) override;
    void remove(const std::string& key) override;
    Subscription observe(const std::string& key, std::function<void()> changed) override;

    bool contains(const std::string& key) const;
    std::vector<std::string> keys() const;
    // Each write and removal, in order: the key, and whether it was a removal.
    std::vector<std::pair<std::string, bool>> writes() const;

private:
    void notify(const std::string& key);

    mutable std::mutex m_mutex;
    std::map<std::string, SettingValue> m_values;
    std::vector<std::pair<std::string, bool>> m_writes;
    std::multimap<std::string, std::pair<std::uint64_t, std::function<void()>>> m_observers;
    std::uint64_t m_nextObserver = 1;
};

} // namespace corvane::test
