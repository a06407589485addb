#pragma once

#include "core/Date.h"
#include "core/runtime/Subscription.h"

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

namespace corvane {

// A stored value: absent (`std::monostate`), an integer, a boolean, a date, or
// a value of another type that the system does not use (left as it is).
struct OtherSetting {
    bool operator==(const OtherSetting&) const = default;
};
using SettingValue = std::variant<std::monostate, std::int64_t, bool, Date, OtherSetting>;

// The persistent per-user key-value store shared by every part of the system:
// the settings and the devices' reminder dates. Safe to use from any thread;
// every read and write is one operation, and the later write wins. Writes
// never fail towards the caller (a store that cannot persist keeps the value
// in memory and says so on its own).
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual SettingValue value(const std::string& key) const = 0;
    virtual void setValue(const std::string& key, SettingValue value) = 0;
    virtual void remove(const std::string& key) = 0;

    // Calls `changed` after every change of `key`, by any writer (hand edits
    // of a file-backed store included), on the thread that made or noticed the
    // change, with no lock of the store held. Ends with the returned token.
    virtual Subscription observe(const std::string& key, std::function<void()> changed) = 0;
};

// Typed views onto one key with a default that applies while the key holds no
// value of that type. Reading never writes the default.
class IntegerSetting {
public:
    IntegerSetting(SettingsStore& store, std::string key, std::int64_t defaultValue);
    std::int64_t get() const;
    void set(std::int64_t value);
    const std::string& key() const { return m_key; }

private:
    SettingsStore& m_store;
    std::string m_key;
    std::int64_t m_default;
};

class BooleanSetting {
public:
    BooleanSetting(SettingsStore& store, std::string key, bool defaultValue);
    bool get() const;
    void set(bool value);
    const std::string& key() const { return m_key; }

private:
    SettingsStore& m_store;
    std::string m_key;
    bool m_default;
};

namespace settings {
inline constexpr const char* kInterval = "interval";
inline constexpr const char* kThreshold = "threshold";
inline constexpr const char* kShowMenuBar = "showMenuBar";

inline constexpr std::int64_t kDefaultThreshold = 20;
inline constexpr bool kDefaultShowMenuBar = true;
inline constexpr std::int64_t kMinimumThreshold = 5;
inline constexpr std::int64_t kMaximumThreshold = 30;
} // namespace settings

} // namespace corvane
