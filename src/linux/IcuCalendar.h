#pragma once

#include "core/Calendar.h"

#include <memory>
#include <mutex>
#include <string>

namespace corvane {

// The user's calendar through ICU: the default locale's calendar system in the
// host's time zone (from TZ and the system, looked up afresh on every use), or
// in the zone given by its IANA name. "Next day" is a calendar day, not 24 hours, so the wall-clock
// time survives daylight-saving changes. Safe from any thread.
class IcuCalendar final : public Calendar {
public:
    IcuCalendar();
    explicit IcuCalendar(const std::string& timeZoneId);
    ~IcuCalendar() override;
    IcuCalendar(const IcuCalendar&) = delete;
    IcuCalendar& operator=(const IcuCalendar&) = delete;

    Date now() const override;
    bool isDateInToday(Date date) const override;
    std::optional<Date> sameTimeNextDay(Date date) const override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    mutable std::mutex m_mutex; // ICU calendars are not safe for concurrent use
};

} // namespace corvane
