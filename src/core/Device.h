#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// A device's charge state with its battery level in percent, as the registry
// reports it. Consumers switch on `kind` and use `percent`.
struct BatteryStatus {
    enum class Kind : std::uint8_t { low, normal, charging };

    Kind kind = Kind::normal;
    std::int64_t percent = -1;

    static BatteryStatus low(std::int64_t percent) { return {Kind::low, percent}; }
    static BatteryStatus normal(std::int64_t percent) { return {Kind::normal, percent}; }
    static BatteryStatus charging(std::int64_t percent) { return {Kind::charging, percent}; }
};

// One connected device, identified by its serial number.
struct Device {
    std::string name;
    std::string serialNumber;
    BatteryStatus status;

    const std::string& id() const { return serialNumber; }
};

} // namespace corvane
