#include "linux/IcuCalendar.h"

#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <chrono>
#include <cmath>
#include <optional>

namespace corvane {

namespace {

using std::chrono::duration_cast;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// ICU counts milliseconds as a double; the microseconds below a millisecond
// are carried around it unchanged.
UDate toUDate(Date date)
{
    return static_cast<UDate>(std::chrono::floor<milliseconds>(date.time_since_epoch()).count());
}

microseconds subMillisecond(Date date)
{
    const auto since = date.time_since_epoch();
    return since - std::chrono::floor<milliseconds>(since);
}

Date fromUDate(UDate udate, microseconds remainder)
{
    return Date(milliseconds(static_cast<std::int64_t>(std::llround(udate))) + remainder);
}

} // namespace

struct IcuCalendar::Impl {
    std::unique_ptr<icu::Calendar> calendar;
    std::optional<std::string> zone; // none: the host's, looked up at every use
    bool made = false;

    // The calendar in the host's zone as it is now: a laptop that travels
    // gets its "today" and "tomorrow" from where it is, without a restart.
    // Made at its first use, so that a Corvane that has no reminder pending
    // never loads ICU's calendar data.
    icu::Calendar* current()
    {
        if (!made) {
            made = true;
            UErrorCode status = U_ZERO_ERROR;
            auto* timeZone = zone ? icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(*zone))
                                  : icu::TimeZone::createDefault();
            calendar.reset(icu::Calendar::createInstance(timeZone, icu::Locale::getDefault(), status));
            if (U_FAILURE(status))
                calendar.reset();
        }
        if (calendar && !zone)
            calendar->adoptTimeZone(icu::TimeZone::detectHostTimeZone());
        return calendar.get();
    }
};

IcuCalendar::IcuCalendar()
    : m_impl(std::make_unique<Impl>())
{
}

IcuCalendar::IcuCalendar(const std::string& timeZoneId)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->zone = timeZoneId;
}

IcuCalendar::~IcuCalendar() = default;

Date IcuCalendar::now() const { return std::chrono::time_point_cast<microseconds>(std::chrono::system_clock::now()); }

bool IcuCalendar::isDateInToday(Date date) const
{
    std::lock_guard lock(m_mutex);
    auto* calendar = m_impl->current();
    if (calendar == nullptr)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(toUDate(now()), status);
    const auto todayYear = calendar->get(UCAL_EXTENDED_YEAR, status);
    const auto todayDay = calendar->get(UCAL_DAY_OF_YEAR, status);
    calendar->setTime(toUDate(date), status);
    const auto year = calendar->get(UCAL_EXTENDED_YEAR, status);
    const auto day = calendar->get(UCAL_DAY_OF_YEAR, status);
    return U_SUCCESS(status) && year == todayYear && day == todayDay;
}

std::optional<Date> IcuCalendar::sameTimeNextDay(Date date) const
{
    std::lock_guard lock(m_mutex);
    auto* calendar = m_impl->current();
    if (calendar == nullptr)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(toUDate(date), status);
    calendar->add(UCAL_DATE, 1, status);
    const UDate next = calendar->getTime(status);
    if (U_FAILURE(status) || !std::isfinite(next))
        return std::nullopt;
    return fromUDate(next, subMillisecond(date));
}

} // namespace corvane
