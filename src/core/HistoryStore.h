#pragma once

#include "core/Date.h"
#include "core/Device.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane {

// One battery reading of one device, as the refresh saw it.
struct BatteryReading {
    std::string serialNumber;
    // The device's name when the reading was taken; kept per device, not per reading.
    std::string name;
    // UTC. The store keeps whole seconds.
    Date time;
    // 0 to 100; for a device that reports only a coarse level, the registry's stand-in percent.
    std::int64_t percent = 0;
    bool coarse = false;
    bool charging = false;

    // The same charge state, whatever the time or name.
    bool sameChargeAs(const BatteryReading& other) const
    {
        return percent == other.percent && coarse == other.coarse && charging == other.charging;
    }
};

// One refresh's devices as readings taken at `time`.
inline std::vector<BatteryReading> readingsOf(const std::vector<Device>& devices, Date time)
{
    std::vector<BatteryReading> readings;
    readings.reserve(devices.size());
    for (const auto& device : devices)
        readings.push_back({device.serialNumber, device.name, time, device.status.percent, false,
            device.status.kind == BatteryStatus::Kind::charging});
    return readings;
}

// The battery history: the readings of every device over the last months.
// Every operation returns at once and does its work on the store's own
// worker; its completion runs exactly once, on that worker, also when the
// store cannot work (then as "nothing stored" or "nothing read"). A
// completion may call the store again. Safe from any thread; the operations
// of one caller run in the order they were made.
class HistoryStore {
public:
    virtual ~HistoryStore() = default;

    // Stores each reading that differs in charge from the device's last stored
    // one (the first reading of a device always counts). `done(true)` once all
    // of them are on disk, where a crash of the program cannot take them;
    // `done(false)` when none could be stored (history is unavailable for now).
    virtual void record(std::vector<BatteryReading> readings, std::function<void(bool stored)> done) = 0;

    // The device's stored readings taken at `since` or later, oldest first
    // (equal times in the order recorded); empty when there are none or the
    // history cannot be read.
    virtual void readingsSince(
        const std::string& serialNumber, Date since, std::function<void(std::vector<BatteryReading>)> done)
        = 0;

    // Forgets every reading of every device. `done(false)` when that failed.
    virtual void clear(std::function<void(bool cleared)> done) = 0;
};

} // namespace corvane
