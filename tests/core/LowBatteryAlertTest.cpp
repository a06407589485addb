#include "support/ViewModelHarness.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using namespace std::chrono;
using test::chargingDevice;
using test::lowDevice;
using test::normalDevice;

class LowBatteryAlertTest : public test::ViewModelHarness {
protected:
    void SetUp() override
    {
        ViewModelHarness::SetUp();
        make();
    }
    std::size_t posted() const { return fake.notifications.posted.size(); }
    SettingValue record(const std::string& serial) const { return fake.settings.value(serial); }
    void nextDay() { fake.calendar.setNow(fake.calendar.now() + days(1)); }
    void answer(const std::string& action, const std::string& serial)
    {
        NotificationResponse response {action, {}};
        response.request.content.userInfo = {{"device", serial}};
        viewModel->notificationCenterDelegate().didReceive(response, [] {});
        fake.background.runAll();
    }
};

TEST_F(LowBatteryAlertTest, LowDeviceIsWarnedOnceWhileItStaysLow)
{
    alertPass({lowDevice("A", 15)});
    ASSERT_EQ(posted(), 1U);
    EXPECT_EQ(record("A"), SettingValue(kDistantFuture));
    for (int pass = 0; pass < 3; ++pass)
        alertPass({lowDevice("A", 12)});
    EXPECT_EQ(posted(), 1U);
}

TEST_F(LowBatteryAlertTest, NotificationCarriesNameLevelSerialAndCategory)
{
    alertPass({Device {"Desk Keyboard", "AA:BB:CC", BatteryStatus::low(15)}});
    ASSERT_EQ(posted(), 1U);
    const auto& content = fake.notifications.posted[0].content;
    EXPECT_EQ(content.title, "Desk Keyboard");
    EXPECT_EQ(content.subtitle, "");
    EXPECT_EQ(content.body, "Battery is low: 15%");
    EXPECT_EQ(content.userInfo, (std::map<std::string, std::string> {{"device", "AA:BB:CC"}}));
    EXPECT_EQ(content.categoryIdentifier, "FEEDBACK_CATEGORY");
    EXPECT_TRUE(content.defaultSound);
}

TEST_F(LowBatteryAlertTest, MissingMessageTextFallsBackToTheKey)
{
    fake.texts.table.erase("LOW_BATTERY_MSG");
    alertPass({lowDevice("A", 15)});
    ASSERT_EQ(posted(), 1U);
    EXPECT_EQ(fake.notifications.posted[0].content.body, "LOW_BATTERY_MSG");
}

TEST_F(LowBatteryAlertTest, ANewLowSpellAfterNormalOrChargingIsWarnedAgain)
{
    alertPass({lowDevice("A", 15), lowDevice("B", 10)});
    alertPass({normalDevice("A", 60), chargingDevice("B", 11)});
    EXPECT_FALSE(fake.settings.contains("A"));
    EXPECT_FALSE(fake.settings.contains("B"));
    alertPass({lowDevice("A", 15), lowDevice("B", 10)});
    EXPECT_EQ(posted(), 4U);
}

TEST_F(LowBatteryAlertTest, ChargingDeviceIsNeverWarnedAndLosesItsRecord)
{
    fake.settings.setValue("A", kDistantFuture);
    alertPass({chargingDevice("A", 3)});
    EXPECT_EQ(posted(), 0U);
    EXPECT_FALSE(fake.settings.contains("A"));
}

TEST_F(LowBatteryAlertTest, RemindWarnsOnTheNextDayOnceTheEarlierNotificationIsGone)
{
    alertPass({lowDevice("A", 15)});
    answer("REMIND_ACTION", "A");
    const auto remindDate = record("A");
    alertPass({lowDevice("A", 14)});
    EXPECT_EQ(posted(), 1U) << "not on the same day";

    nextDay();
    alertPass({lowDevice("A", 13)});
    EXPECT_EQ(posted(), 1U) << "the earlier notification is still shown";
    EXPECT_EQ(record("A"), remindDate);

    fake.notifications.dismissAll();
    alertPass({lowDevice("A", 13)});
    EXPECT_EQ(posted(), 2U);
    EXPECT_EQ(record("A"), SettingValue(kDistantFuture));
    fake.notifications.dismissAll();
    alertPass({lowDevice("A", 12)});
    EXPECT_EQ(posted(), 2U);
}

TEST_F(LowBatteryAlertTest, RemindDateWhoseDayPassedUnseenStillWarns)
{
    alertPass({lowDevice("A", 15)});
    answer("REMIND_ACTION", "A");
    fake.notifications.dismissAll();
    nextDay();
    nextDay(); // the machine was off on the reminder's day
    alertPass({lowDevice("A", 11)});
    EXPECT_EQ(posted(), 2U);
}

TEST_F(LowBatteryAlertTest, NeverSilencesTheDeviceUntilItHasBeenSeenNotLow)
{
    alertPass({lowDevice("A", 15)});
    answer("NEVER_ACTION", "A");
    fake.notifications.dismissAll();
    for (int day = 0; day < 3; ++day) {
        nextDay();
        alertPass({lowDevice("A", 9)});
    }
    EXPECT_EQ(posted(), 1U);
    alertPass({normalDevice("A", 80)});
    alertPass({lowDevice("A", 9)});
    EXPECT_EQ(posted(), 2U);
}

TEST_F(LowBatteryAlertTest, EmptyDeviceIsWarnedEverySecondPassWhateverTheAnswer)
{
    std::vector<std::size_t> counts;
    for (int pass = 1; pass <= 6; ++pass) {
        alertPass({lowDevice("A", 0)});
        counts.push_back(posted());
        if (pass == 3)
            answer("NEVER_ACTION", "A");
    }
    EXPECT_EQ(counts, (std::vector<std::size_t> {1, 1, 2, 2, 3, 3}));
}

TEST_F(LowBatteryAlertTest, WithoutPermissionNothingIsPostedAndTheWarningWaits)
{
    fake.notifications.status = notification::kDenied;
    alertPass({lowDevice("A", 15)});
    EXPECT_EQ(posted(), 0U);
    EXPECT_FALSE(fake.settings.contains("A")) << "nothing was shown, so nothing counts as warned";
    fake.notifications.status = notification::kAuthorized;
    alertPass({lowDevice("A", 15)});
    EXPECT_EQ(posted(), 1U);
}

TEST_F(LowBatteryAlertTest, RefusedPostIsTriedAgainAtTheNextPass)
{
    fake.notifications.addError = NotificationError {"server gone"};
    alertPass({lowDevice("A", 15)});
    EXPECT_FALSE(fake.settings.contains("A"));
    fake.notifications.addError.reset();
    alertPass({lowDevice("A", 15)});
    EXPECT_EQ(posted(), 1U);
    EXPECT_EQ(record("A"), SettingValue(kDistantFuture));
}

TEST_F(LowBatteryAlertTest, ValueOfAnotherTypeCountsAsNoRecordAndIsReplaced)
{
    fake.settings.setValue("A", std::int64_t {7});
    alertPass({lowDevice("A", 15)});
    EXPECT_EQ(posted(), 1U);
    EXPECT_EQ(record("A"), SettingValue(kDistantFuture));
}

TEST_F(LowBatteryAlertTest, EntriesSharingASerialNumberShareOneRecord)
{
    alertPass({lowDevice("A", 15), lowDevice("A", 15)});
    EXPECT_EQ(posted(), 1U);
}

TEST_F(LowBatteryAlertTest, OverlappingPassesWarnAboutADeviceOnce)
{
    // The first pass stops at the authorization question; the second starts meanwhile.
    auto first = viewModel->checkLowBatteries({lowDevice("A", 15)});
    auto second = viewModel->checkLowBatteries({lowDevice("A", 15)});
    test::finish(fake.main, first);
    test::finish(fake.main, second);
    EXPECT_EQ(posted(), 1U);
}

TEST_F(LowBatteryAlertTest, ADeviceNoLongerConnectedKeepsItsRecord)
{
    alertPass({lowDevice("A", 15)});
    alertPass({});
    EXPECT_EQ(record("A"), SettingValue(kDistantFuture));
}

} // namespace
} // namespace corvane
