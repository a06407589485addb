#include "linux/IcuCalendar.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using namespace std::chrono;

// The same wall-clock time a calendar day later; Berlin is UTC+1 in winter and UTC+2 in summer. Today ends at
// midnight of the calendar's zone.
TEST(IcuCalendarTest, TheNextDayKeepsTheWallClockTimeAcrossDaylightSavingChanges)
{
    const IcuCalendar utc("UTC");
    const Date midnight = floor<days>(utc.now());
    EXPECT_TRUE(utc.isDateInToday(midnight) && utc.isDateInToday(midnight + hours(24) - seconds(1)));
    EXPECT_FALSE(utc.isDateInToday(midnight - seconds(1)) || utc.isDateInToday(midnight + hours(24)));
    for (const auto& [zone, from, later] : std::vector<std::tuple<const char*, Date, hours>> {
             {"Europe/Berlin", sys_days(2026y / December / 31) + hours(21), hours(24)},
             {"Europe/Berlin", sys_days(2026y / March / 28) + hours(11), hours(23)},
             {"Europe/Berlin", sys_days(2026y / October / 24) + hours(10), hours(25)},
             {"Europe/Berlin", sys_days(2026y / June / 1) + microseconds(123'456), hours(24)}})
        EXPECT_EQ(IcuCalendar(zone).sameTimeNextDay(from), from + later) << zone << ", " << later.count() << " h";
}

} // namespace
} // namespace corvane
