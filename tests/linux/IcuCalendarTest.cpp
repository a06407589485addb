#include "linux/IcuCalendar.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace corvane {
namespace {

using namespace std::chrono;

struct NextDayCase {
    const char* zone;
    Date from; // the same wall-clock time a calendar day later must follow
    hours later;
};

class IcuCalendarNextDay : public ::testing::TestWithParam<NextDayCase> { };

// Berlin is UTC+1 in winter and UTC+2 in summer.
INSTANTIATE_TEST_SUITE_P(Days, IcuCalendarNextDay,
    ::testing::Values(NextDayCase {"Europe/Berlin", sys_days(2026y / December / 31) + hours(21), hours(24)},
        NextDayCase {"Europe/Berlin", sys_days(2026y / March / 28) + hours(11), hours(23)},
        NextDayCase {"Europe/Berlin", sys_days(2026y / October / 24) + hours(10), hours(25)},
        NextDayCase {"Europe/Berlin", sys_days(2028y / February / 28) + hours(8), hours(24)},
        NextDayCase {"UTC", sys_days(2026y / June / 1) + microseconds(123'456), hours(24)}));

TEST_P(IcuCalendarNextDay, KeepsTheWallClockTimeAcrossDaylightSavingChanges)
{
    EXPECT_EQ(IcuCalendar(GetParam().zone).sameTimeNextDay(GetParam().from), GetParam().from + GetParam().later);
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
