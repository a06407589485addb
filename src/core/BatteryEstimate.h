#pragma once

#include "core/Date.h"
#include "core/HistoryStore.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// How long a device's battery will last, judged from its history.
struct BatteryEstimate {
    enum class Kind : std::uint8_t {
        estimated,
        // Fewer than three readings, or less than six hours, since the device last charged.
        notEnoughHistory,
        // On the charger now: nothing to estimate.
        charging,
    };

    Kind kind = Kind::notEnoughHistory;
    // Percent per day; 0 while the level holds.
    double drainPerDay = 0;
    // From the moment of the estimate; zero once there, none while the level holds.
    std::optional<std::chrono::seconds> untilThreshold;
    std::optional<std::chrono::seconds> untilEmpty;
    // The first reading after the last charge in the history (off the charger, or
    // higher than before); none when the history shows no charge.
    std::optional<Date> lastCharged;
};

namespace estimate {
inline constexpr std::size_t kMinimumReadings = 3;
inline constexpr std::chrono::hours kMinimumSpan {6};
// How far two readings of a draining battery can disagree upwards through
// noise and rounding alone, in percentage points.
inline constexpr std::int64_t kNoise = 2;
// The fit takes the latest readings of a long discharge, no more than these.
inline constexpr std::size_t kMaximumFitted = 500;
} // namespace estimate

// Estimates from `readings` (any order, one device) at `now` for a warning at
// `threshold` percent. The drain rate is the Theil-Sen slope of the current
// discharge (the readings since the last charge or rise), so a single odd
// reading does not swing it, and the level now is read off that line. Readings
// stamped after `now` (the clock went back) and coarse levels take no part.
BatteryEstimate estimateBattery(std::vector<BatteryReading> readings, Date now, std::int64_t threshold);

} // namespace corvane
