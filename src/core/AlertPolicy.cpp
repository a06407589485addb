#include "core/AlertPolicy.h"

#include "core/Calendar.h"

namespace corvane {

AlertDecision decideAlert(
    const Device& device, const SettingValue& stored, std::optional<bool> notificationShown, const Calendar& calendar)
{
    const bool hasValue = !std::holds_alternative<std::monostate>(stored);
    // A device seen not low ends its low spell: the next one is warned afresh.
    if (device.status.kind != BatteryStatus::Kind::low)
        return hasValue ? AlertDecision::forget : AlertDecision::skip;

    const auto* date = std::get_if<Date>(&stored);
    if (date == nullptr)
        return AlertDecision::warn; // nothing stored, or a value of another type

    // A remind date is due on its day and on any later one, so a day that
    // passed without a refresh does not swallow the reminder.
    const bool due = *date != kDistantFuture && (calendar.isDateInToday(*date) || *date < calendar.now());
    if (due && !notificationShown.has_value())
        return AlertDecision::askWhetherShown;
    if (due && !*notificationShown)
        return AlertDecision::warn;

    // A device at 0 % is about to switch off, so no answer keeps it quiet:
    // its stored value goes at every pass that does not warn, and the pass
    // after warns again, every second pass for as long as it stays at 0 %.
    return device.status.percent == 0 ? AlertDecision::forget : AlertDecision::skip;
}

} // namespace corvane
