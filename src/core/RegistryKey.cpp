#include "core/RegistryKey.h"

#include <array>
#include <utility>

namespace corvane {

namespace {

constexpr std::array<std::pair<RegistryKey, std::string_view>, 8> kRawValues {{
    {RegistryKey::batteryPercent, "BatteryPercent"},
    {RegistryKey::batteryLow, "BatteryLow"},
    {RegistryKey::product, "Product"},
    {RegistryKey::serialNumber, "SerialNumber"},
    {RegistryKey::hidDefaultBehavior, "HIDDefaultBehavior"},
    {RegistryKey::batteryStatusFlags, "BatteryStatusFlags"},
    {RegistryKey::bnbMouseDevice, "BNBMouseDevice"},
    {RegistryKey::appleDeviceManagementHIDEventService, "AppleDeviceManagementHIDEventService"},
}};

} // namespace

std::string_view rawValue(RegistryKey key) { return kRawValues.at(static_cast<std::size_t>(key)).second; }

} // namespace corvane
