#include "linux/IcuCalendar.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cctype>
#include <chrono>
#include <string>

namespace corvane {
namespace {

using namespace std::chrono;

Date utc(year_month_day day, hours h, minutes m = minutes(0)) { return Date(sys_days(day) + h + m); }

struct NextDayCase {
    const char* name;
    Date from;
    Date expected;
};

void PrintTo(const NextDayCase& value, std::ostream* out) { *out << value.name; }

class IcuCalendarNextDay : public ::testing::TestWithParam<NextDayCase> { };

// Berlin is UTC+1 in winter and UTC+2 in summer.
INSTANTIATE_TEST_SUITE_P(Berlin, IcuCalendarNextDay,
    ::testing::Values(
        // 31 Dec 22:15 local -> 1 Jan 22:15 local: month and year carry.
        NextDayCase {"NewYear", utc(2026y / December / 31, hours(21), minutes(15)),
            utc(2027y / January / 1, hours(21), minutes(15))},
        // 28 Mar 12:00 CET -> 29 Mar 12:00 CEST: 23 hours later.
        NextDayCase {"SpringForward", utc(2026y / March / 28, hours(11)), utc(2026y / March / 29, hours(10))},
        // 24 Oct 12:00 CEST -> 25 Oct 12:00 CET: 25 hours later.
        NextDayCase {"FallBack", utc(2026y / October / 24, hours(10)), utc(2026y / October / 25, hours(11))},
        // 28 Feb of a leap year -> 29 Feb.
        NextDayCase {"LeapDay", utc(2028y / February / 28, hours(8)), utc(2028y / February / 29, hours(8))}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_P(IcuCalendarNextDay, KeepsTheWallClockTime)
{
    IcuCalendar calendar("Europe/Berlin");
    EXPECT_EQ(calendar.sameTimeNextDay(GetParam().from), GetParam().expected);
}

TEST(IcuCalendar, KeepsMicrosecondsBelowTheMillisecond)
{
    IcuCalendar calendar("UTC");
    const Date from = utc(2026y / June / 1, hours(9)) + microseconds(123'456);
    EXPECT_EQ(calendar.sameTimeNextDay(from), from + days(1));
}

TEST(IcuCalendar, TodayIsTheCurrentLocalDayOnly)
{
    IcuCalendar calendar("Pacific/Kiritimati");
    const auto now = calendar.now();
    EXPECT_TRUE(calendar.isDateInToday(now));
    EXPECT_FALSE(calendar.isDateInToday(now + days(2)));
    EXPECT_FALSE(calendar.isDateInToday(now - days(2)));
    EXPECT_FALSE(calendar.isDateInToday(now - years(1)));
}

struct ZoneCase {
    const char* zone;
    hours offset; // a zone without daylight-saving time
};

void PrintTo(const ZoneCase& value, std::ostream* out) { *out << value.zone; }

class IcuCalendarToday : public ::testing::TestWithParam<ZoneCase> { };

INSTANTIATE_TEST_SUITE_P(Zones, IcuCalendarToday,
    ::testing::Values(ZoneCase {"Pacific/Kiritimati", hours(14)}, ZoneCase {"Pacific/Pago_Pago", hours(-11)},
        ZoneCase {"UTC", hours(0)}),
    [](const auto& test) {
        std::string name = test.param.zone;
        for (auto& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST_P(IcuCalendarToday, EndsAtTheZonesMidnight)
{
    IcuCalendar calendar(GetParam().zone);
    const auto offset = GetParam().offset;
    const Date endOfToday {floor<days>(calendar.now() + offset) + days(1) - offset};
    EXPECT_TRUE(calendar.isDateInToday(endOfToday - minutes(1)));
    EXPECT_FALSE(calendar.isDateInToday(endOfToday + minutes(1)));
    EXPECT_FALSE(calendar.isDateInToday(endOfToday - days(1) - minutes(1)));
}

} // namespace
} // namespace corvane
