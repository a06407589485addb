#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane {

// Every registry name the reader uses: the two service classes and the
// property keys. The raw value is the registry's own string.
enum class RegistryKey : std::uint8_t {
    batteryPercent,
    batteryLow,
    product,
    serialNumber,
    hidDefaultBehavior,
    batteryStatusFlags,
    bnbMouseDevice,
    appleDeviceManagementHIDEventService,
};

std::string_view rawValue(RegistryKey key);

// The key whose raw value is exactly `raw`, or none.
std::optional<RegistryKey> registryKeyFromRawValue(std::string_view raw);

} // namespace corvane
