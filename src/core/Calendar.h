#pragma once

#include "core/Date.h"

#include <optional>

namespace corvane {

// The user's calendar and time zone. Safe from any thread.
class Calendar {
public:
    virtual ~Calendar() = default;
    virtual Date now() const = 0;
    // True when `date` falls on the current calendar day.
    virtual bool isDateInToday(Date date) const = 0;
    // The same wall-clock time on the next calendar day, carrying month, year
    // and daylight-saving changes; none when the calendar cannot form it.
    virtual std::optional<Date> sameTimeNextDay(Date date) const = 0;
};

} // namespace corvane
