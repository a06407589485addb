#include "linux/IcuCalendar.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace corvane {
namespace {

using namespace std::chrono;

// The same wall-clock time a calendar day later; Berlin is UTC+1 in winter and UTC+2 in summer.
TEST(IcuCalendarTest, TheNextDayKeepsTheWallClockTimeAcrossDaylightSavingChanges)
{
    for (const auto& [zone, from, later] : std::vector<std::tuple<const char*, Date, hours>> {
             {"Europe/Berlin", sys_days(2026y / December / 31) + hours(21), hours(24)},
             {"Europe/Berlin", sys_days(2026y / March / 28) + hours(11), hours(23)},
             {"Europe/Berlin", sys_days(2026y / October / 24) + hours(10), hours(25)},
             {"Europe/Berlin", sys_days(2028y / February / 28) + hours(8), hours(24)},
             {"UTC", sys_days(2026y / June / 1) + microseconds(123'456), hours(24)}})
        EXPECT_EQ(IcuCalendar(zone).sameTimeNextDay(from), from + later) << zone << ", " << later.count() << " h";
}

// Kiritimati and Pago Pago are 25 hours apart: for some hour of the next day
// and a half, "today" differs between them whatever the time is now.
TEST(IcuCalendarTest, FollowsTheHostsTimeZoneWhenItChangesWhileRunning)
{
    const char* before = std::getenv("TZ");
    const std::string saved = before != nullptr ? before : "";
    const IcuCalendar host;
    const auto now = floor<hours>(host.now());
    for (const char* zone : {"Pacific/Kiritimati", "Pacific/Pago_Pago"}) {
        ::setenv("TZ", zone, 1);
        const IcuCalendar there(zone);
        for (int hour = -30; hour <= 30; ++hour) {
            const Date date = now + hours(hour);
            EXPECT_EQ(host.isDateInToday(date), there.isDateInToday(date)) << zone << " " << hour;
        }
        EXPECT_EQ(host.sameTimeNextDay(now), there.sameTimeNextDay(now)) << zone;
    }
    if (before != nullptr)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
}

} // namespace
} // namespace corvane
