#pragma once

#include "core/Device.h"
#include "core/SettingsStore.h"

#include <cstdint>
#include <optional>

namespace corvane {

class Calendar;

// What the alert pass does about one device.
enum class AlertDecision : std::uint8_t {
    skip, // leave the stored value as it is
    forget, // remove the stored value
    warn, // post the low-battery notification; once shown, store the distant future
    askWhetherShown, // decide again, knowing whether a notification about the device is still shown
};

// The rule of the alert pass for one device, given the value stored under its
// serial number (nothing, the distant future once warned or answered "never",
// a remind date, or a value of another type) and, once asked for, whether a
// notification about it is still shown. Pure: reads only its arguments and
// the calendar's day.
AlertDecision decideAlert(
    const Device& device, const SettingValue& stored, std::optional<bool> notificationShown, const Calendar& calendar);

} // namespace corvane
