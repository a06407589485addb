#pragma once

#include <cstdint>
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

} // namespace corvane
