#include "core/SettingsStore.h"

#include <utility>

namespace corvane {

IntegerSetting::IntegerSetting(SettingsStore& store, std::string key, std::int64_t defaultValue)
    : m_store(store)
    , m_key(std::move(key))
    , m_default(defaultValue)
{
}

std::int64_t IntegerSetting::get() const
{
    auto stored = m_store.value(m_key);
    if (const auto* value = std::get_if<std::int64_t>(&stored))
        return *value;
    return m_default;
}

void IntegerSetting::set(std::int64_t value) { m_store.setValue(m_key, value); }

BooleanSetting::BooleanSetting(SettingsStore& store, std::string key, bool defaultValue)
    : m_store(store)
    , m_key(std::move(key))
    , m_default(defaultValue)
{
}

bool BooleanSetting::get() const
{
    auto stored = m_store.value(m_key);
    if (const auto* value = std::get_if<bool>(&stored))
        return *value;
    return m_default;
}

void BooleanSetting::set(bool value) { m_store.setValue(m_key, value); }

} // namespace corvane
