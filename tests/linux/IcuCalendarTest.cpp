#include "linux/IcuCalendar.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>

namespace corvane {
namespace {

using namespace std::chrono;

Date utc(year_month_day day, hours h, minutes m = minutes(0)) { return Date(sys_days(day) + h + m); }

struct NextDayCase {
    const char* name;
    const char* zone;
    Date from;
    Date expected;
};

void PrintTo(const NextDayCase& value, std::ostream* out) { *out << value.name; }

class IcuCalendarNextDay : public ::testing::TestWithParam<NextDayCase> { };

// Berlin is UTC+1 in winter and UTC+2 in summer.
INSTANTIATE_TEST_SUITE_P(Days, IcuCalendarNextDay,
    ::testing::Values(NextDayCase {"NewYear", "Europe/Berlin", utc(2026y / December / 31, hours(21), minutes(15)),
                          utc(2027y / January / 1, hours(21), minutes(15))},
        NextDayCase {"SpringForwardIs23Hours", "Europe/Berlin", utc(2026y / March / 28, hours(11)),
            utc(2026y / March / 29, hours(10))},
        NextDayCase {"FallBackIs25Hours", "Europe/Berlin", utc(2026y / October / 24, hours(10)),
            utc(2026y / October / 25, hours(11))},
        NextDayCase {
            "LeapDay", "Europe/Berlin", utc(2028y / February / 28, hours(8)), utc(2028y / February / 29, hours(8))},
        NextDayCase {"MicrosecondsKept", "UTC", utc(2026y / June / 1, hours(9)) + microseconds(123'456),
            utc(2026y / June / 2, hours(9)) + microseconds(123'456)}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_P(IcuCalendarNextDay, KeepsTheWallClockTime)
{
    EXPECT_EQ(IcuCalendar(GetParam().zone).sameTimeNextDay(GetParam().from), GetParam().expected);
}

struct ZoneCase {
    const char* name;
    const char* zone;
    hours offset; // the zone has no daylight-saving time
};

void PrintTo(const ZoneCase& value, std::ostream* out) { *out << value.name; }

class IcuCalendarToday : public ::testing::TestWithParam<ZoneCase> { };

INSTANTIATE_TEST_SUITE_P(Zones, IcuCalendarToday,
    ::testing::Values(ZoneCase {"Kiritimati", "Pacific/Kiritimati", hours(14)},
        ZoneCase {"PagoPago", "Pacific/Pago_Pago", hours(-11)}, ZoneCase {"UTC", "UTC", hours(0)}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_P(IcuCalendarToday, EndsAtTheZonesMidnight)
{
    IcuCalendar calendar(GetParam().zone);
    const auto offset = GetParam().offset;
    const Date endOfToday {floor<days>(calendar.now() + offset) + days(1) - offset};
    EXPECT_TRUE(calendar.isDateInToday(calendar.now()));
    EXPECT_TRUE(calendar.isDateInToday(endOfToday - minutes(1)));
    EXPECT_FALSE(calendar.isDateInToday(endOfToday + minutes(1)));
    EXPECT_FALSE(calendar.isDateInToday(endOfToday - days(1) - minutes(1)));
    EXPECT_FALSE(calendar.isDateInToday(calendar.now() - years(1)));
}

} // namespace
} // namespace corvane
