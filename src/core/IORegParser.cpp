#include "core/IORegParser.h"

#include "core/SettingsStore.h"
#include "core/runtime/Async.h"

#include <string_view>

namespace corvane {

namespace {

constexpr std::string_view kMagicKeyboard = "Magic Keyboard";
constexpr std::int64_t kChargingFlags = 3;

template <typename T> std::optional<T> propertyAs(const RegistryEntry& entry, RegistryKey key)
{
    auto value = entry.property(rawValue(key));
    if (const auto* typed = std::get_if<T>(&value))
        return *typed;
    return std::nullopt;
}

// Model suffixes after the product family are dropped, so one family reads alike.
std::string normalisedName(std::string name)
{
    if (name.starts_with(kMagicKeyboard))
        return std::string(kMagicKeyboard);
    return name;
}

} // namespace

IORegParser::IORegParser(Registry& registry, SettingsStore& settings, Executor& worker)
    : m_registry(registry)
    , m_settings(settings)
    , m_executor(worker)
{
}

IORegParser::~IORegParser() = default;

Task<void> IORegParser::readDevices(RegistryKey serviceClass, Executor& resumeOn)
{
    return runOn(m_executor, resumeOn, [this, serviceClass] { readPass(serviceClass); });
}

Task<std::vector<Device>> IORegParser::devices(Executor& resumeOn)
{
    return runOn(m_executor, resumeOn, [this] { return m_devices; });
}

std::int64_t IORegParser::normalisedThreshold(SettingsStore& settings)
{
    auto stored = settings.value(settings::kThreshold);
    const auto* value = std::get_if<std::int64_t>(&stored);
    if (value == nullptr)
        return settings::kDefaultThreshold;
    if (*value < settings::kMinimumThreshold) {
        settings.setValue(settings::kThreshold, settings::kMinimumThreshold);
        return settings::kMinimumThreshold;
    }
    return *value;
}

std::optional<Device> IORegParser::deviceFromEntry(
    const RegistryEntry& entry, RegistryKey serviceClass, std::int64_t threshold)
{
    // Every entry is judged on its own properties: nothing carries over from
    // the entry before, so one device's values never show under another's name.
    auto serialNumber = propertyAs<std::string>(entry, RegistryKey::serialNumber);
    auto percent = propertyAs<std::int64_t>(entry, RegistryKey::batteryPercent);
    if (!serialNumber || serialNumber->empty() || !percent)
        return std::nullopt;

    Device device;
    device.name = normalisedName(propertyAs<std::string>(entry, RegistryKey::product).value_or(std::string()));
    device.serialNumber = std::move(*serialNumber);

    if (serviceClass == RegistryKey::appleDeviceManagementHIDEventService) {
        auto flags = propertyAs<std::int64_t>(entry, RegistryKey::batteryStatusFlags);
        if (flags == kChargingFlags)
            device.status = BatteryStatus::charging(*percent);
        else if (*percent < threshold)
            device.status = BatteryStatus::low(*percent);
        else
            device.status = BatteryStatus::normal(*percent);
        return device;
    }

    // Pointing devices report their own low flag; the threshold plays no part,
    // and they never report charging.
    bool low = false;
    if (propertyAs<std::string>(entry, RegistryKey::hidDefaultBehavior) == "Mouse")
        low = propertyAs<bool>(entry, RegistryKey::batteryLow).value_or(false);
    device.status = low ? BatteryStatus::low(*percent) : BatteryStatus::normal(*percent);
    return device;
}

void IORegParser::readPass(RegistryKey serviceClass)
{
    if (!m_session)
        m_session = m_registry.openSession();
    auto services = m_session->matchingServices(rawValue(serviceClass));
    // The threshold is settled on every pass, also when matching failed.
    const auto threshold = normalisedThreshold(m_settings);
    if (!services)
        return;
    while (auto entry = services->next()) {
        if (auto device = deviceFromEntry(*entry, serviceClass, threshold))
            m_devices.push_back(std::move(*device));
    }
}

} // namespace corvane
