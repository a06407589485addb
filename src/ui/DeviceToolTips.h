#pragma once

#include "core/BatteryEstimate.h"
#include "core/Device.h"

#include <QString>

#include <chrono>
#include <vector>

namespace corvane {

class Texts;

// How far back the device window reads a device's history for its estimate:
// long enough for a slow discharge since the last charge.
inline constexpr std::chrono::days kEstimateHistory {120};

// A stretch of time in words: "less than an hour", "about 5 hours", "about 3 days".
QString roughDuration(std::chrono::seconds span, const Texts& texts);

// A device row's tooltip: time left to `threshold` and to empty, the drain
// per day and when the device last charged; or that there is not enough
// history yet, or that it is charging. One line each.
QString deviceToolTip(const BatteryEstimate& estimate, std::int64_t threshold, const Texts& texts);

// The tray item's tooltip: the application's name, then each device with its
// level, lowest first.
QString trayToolTip(const QString& title, std::vector<Device> devices, const Texts& texts);

} // namespace corvane
