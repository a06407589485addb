#include "core/AlertPolicy.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using std::chrono::days;
using std::chrono::hours;

struct Case {
    const char* name;
    BatteryStatus status;
    SettingValue stored;
    std::optional<bool> shown;
    AlertDecision decision;
};

TEST(AlertPolicyTest, DecidesFromStatusStoredValueShownNotificationAndDay)
{
    test::FakeCalendar calendar; // noon
    const Date now = calendar.now();
    const auto low = BatteryStatus::low;
    const std::optional<bool> unknown;
    using enum AlertDecision;
    for (const auto& [name, status, stored, shown, decision] :
        std::vector<Case> {
            {"not low, nothing stored", BatteryStatus::normal(50), {}, unknown, skip},
            {"normal forgets the distant future", BatteryStatus::normal(50), kDistantFuture, unknown, forget},
            {"charging forgets a remind date", BatteryStatus::charging(3), now, unknown, forget},
            {"charging forgets a value of another type", BatteryStatus::charging(80), OtherSetting {}, unknown, forget},
            {"low, nothing stored", low(15), {}, unknown, warn},
            {"low at 0, nothing stored", low(0), {}, unknown, warn},
            {"low, a value of another type", low(15), OtherSetting {}, unknown, warn},
            {"low, warned already", low(15), kDistantFuture, unknown, skip},
            {"low at 0, warned already or never", low(0), kDistantFuture, unknown, forget},
            {"low, reminder tomorrow", low(15), now + days(1), unknown, skip},
            {"low at 0, reminder tomorrow", low(0), now + days(1), unknown, forget},
            {"low, reminder today", low(15), now - hours(2), unknown, askWhetherShown},
            {"low, reminder later today", low(15), now + hours(2), false, warn},
            {"low, reminder today, not shown", low(15), now - hours(2), false, warn},
            {"low, reminder today, still shown", low(15), now - hours(2), true, skip},
            {"low at 0, reminder today, still shown", low(0), now - hours(2), true, forget},
            {"low at 0, reminder today, not shown", low(0), now - hours(2), false, warn},
            {"low, reminder day missed", low(15), now - days(3), unknown, askWhetherShown},
        })
        EXPECT_EQ(decideAlert({"Mouse", "SN", status}, stored, shown, calendar), decision) << name;
}

} // namespace
} // namespace corvane
