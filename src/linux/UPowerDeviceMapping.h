#pragma once

#include "core/Registry.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

// One UPower device as read from `org.freedesktop.UPower.Device`: every
// property that had the expected D-Bus type; one of another type is absent.
// Texts are already cleaned (see UPowerRegistry) but otherwise untrusted.
struct UPowerDevice {
    std::optional<std::uint32_t> type;
    std::optional<bool> powerSupply;
    std::optional<bool> isPresent;
    std::optional<std::string> model;
    std::optional<std::string> serial;
    std::optional<std::string> nativePath;
    std::optional<double> percentage;
    std::optional<std::uint32_t> state;
    std::optional<std::uint32_t> batteryLevel;
};

// A registry entry made from one device: its service class and properties.
struct UPowerEntry {
    std::string serviceClass;
    std::map<std::string, RegistryValue, std::less<>> properties;
};

// How UPower's devices become the registry's two service classes. Input
// peripherals become "AppleDeviceManagementHIDEventService" entries, except
// mice and touchpads that report only a coarse level, which become
// "BNBMouseDevice" entries. A device's identity is its `Serial`, else the
// Bluetooth address inside its native path, in upper case; devices seen twice
// under one identity give one entry, the one that reports a charging state
// winning. Pure: no D-Bus, no state.
class UPowerDeviceMapping {
public:
    static std::vector<UPowerEntry> entries(const std::vector<UPowerDevice>& devices);

    // The identity of a device, or none when it has neither a serial number
    // nor an address in its native path.
    static std::optional<std::string> serialNumber(const UPowerDevice& device);

    // Whether the device is, or by a change of what an entry shows could
    // become, an entry: anything but a power supply or a device of a type
    // that is no input device. Only a change of what it is can make one of
    // the others an entry (see changeMatters).
    static bool couldList(const UPowerDevice& device);

    // Whether any change the device reports can matter, so that its changes
    // are worth listening to: anything but the machine's own supplies (its
    // batteries and mains adapters), which stay what they are. A device that
    // is not listed now may be: UPower makes a kernel HID battery a keyboard
    // or a mouse once it finds the input device beside it.
    static bool worthListeningTo(const UPowerDevice& device);

    // Whether a change of the properties `changed` (by name, changed or
    // invalidated) of one device can change the entries: a change of what a
    // device is, or of what an entry shows, unless the device is known to be
    // one that is never listed (`listable` false). Clocks, energy figures and
    // time estimates never matter.
    static bool changeMatters(bool listable, const std::vector<std::string>& changed);
};

} // namespace corvane
