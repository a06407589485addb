#include "core/NotificationCenterDelegate.h"
#include "core/Notifier.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using namespace std::chrono;

Date localMoment(int year, unsigned month, unsigned day, int hour, int minute, minutes offset)
{
    return Date {sys_days {std::chrono::year {year} / std::chrono::month {month} / std::chrono::day {day}} + hours(hour)
        + minutes(minute) - offset};
}

class NotificationCenterDelegateTest : public ::testing::Test {
protected:
    // Answers a notification about `serial` with `action`; true when the completion ran.
    bool answer(const std::string& action, std::map<std::string, std::string> userInfo)
    {
        NotificationResponse response;
        response.actionIdentifier = action;
        response.request.content.userInfo = std::move(userInfo);
        bool completed = false;
        delegate.didReceive(response, [&] { completed = true; });
        EXPECT_FALSE(completed) << "the work runs on the background executor, not in the callback";
        background.runAll();
        return completed;
    }

    test::ManualExecutor background;
    test::InMemorySettingsStore settings;
    test::FakeCalendar calendar;
    NotificationCenterDelegate delegate {settings, calendar, background};
};

TEST_F(NotificationCenterDelegateTest, EveryNotificationIsPresentedWithSoundListAndBanner)
{
    std::optional<std::uint32_t> options;
    delegate.willPresent(NotificationRequest {}, [&](std::uint32_t given) { options = given; });
    EXPECT_FALSE(options);
    background.runAll();
    EXPECT_EQ(options, 26U);
}

TEST_F(NotificationCenterDelegateTest, RemindOnNewYearsEveStoresTheSameTimeOnTheFirstOfJanuary)
{
    const minutes berlin {60};
    calendar.addOffsetChange(Date {}, berlin);
    calendar.setNow(localMoment(2026, 12, 31, 22, 15, berlin));
    ASSERT_TRUE(answer("REMIND_ACTION", {{"device", "AA:BB"}}));
    EXPECT_EQ(settings.value("AA:BB"), SettingValue(localMoment(2027, 1, 1, 22, 15, berlin)));
}

TEST_F(NotificationCenterDelegateTest, RemindAcrossADaylightSavingChangeKeepsTheWallClockTime)
{
    // Clocks go forward at 01:00 UTC on 29 March 2026: the next day is 23 hours long.
    calendar.addOffsetChange(Date {}, minutes(60));
    calendar.addOffsetChange(Date {sys_days {2026y / March / 29} + hours(1)}, minutes(120));
    calendar.setNow(localMoment(2026, 3, 28, 9, 30, minutes(60)));
    ASSERT_TRUE(answer("REMIND_ACTION", {{"device", "AA:BB"}}));
    auto stored = std::get<Date>(settings.value("AA:BB"));
    EXPECT_EQ(stored, localMoment(2026, 3, 29, 9, 30, minutes(120)));
    EXPECT_EQ(stored - calendar.now(), hours(23));
}

TEST_F(NotificationCenterDelegateTest, RemindWithoutANextDayRemovesTheOldDate)
{
    settings.setValue("AA:BB", kDistantFuture);
    calendar.failNextDay = true;
    ASSERT_TRUE(answer("REMIND_ACTION", {{"device", "AA:BB"}}));
    EXPECT_FALSE(settings.contains("AA:BB"));
}

TEST_F(NotificationCenterDelegateTest, NeverStoresTheDistantFutureOverAnyEarlierDate)
{
    settings.setValue("AA:BB", calendar.now());
    ASSERT_TRUE(answer("NEVER_ACTION", {{"device", "AA:BB"}}));
    EXPECT_EQ(settings.value("AA:BB"), SettingValue(kDistantFuture));
    EXPECT_EQ(kDistantFuture.time_since_epoch(), sys_days {4001y / January / 1}.time_since_epoch());
}

TEST_F(NotificationCenterDelegateTest, OtherAnswersWriteNothingButStillComplete)
{
    const Date earlier = calendar.now();
    settings.setValue("AA:BB", earlier);
    const auto writes = settings.writes().size();
    EXPECT_TRUE(answer("default", {{"device", "AA:BB"}}));
    EXPECT_TRUE(answer("dismiss", {{"device", "AA:BB"}}));
    EXPECT_TRUE(answer("remind_action", {{"device", "AA:BB"}}));
    EXPECT_TRUE(answer("REMIND_ACTION", {{"serial", "AA:BB"}}));
    EXPECT_TRUE(answer("NEVER_ACTION", {}));
    EXPECT_TRUE(answer("NEVER_ACTION", {{"device", ""}}));
    EXPECT_EQ(settings.writes().size(), writes);
    EXPECT_EQ(settings.value("AA:BB"), SettingValue(earlier));
}

} // namespace
} // namespace corvane
