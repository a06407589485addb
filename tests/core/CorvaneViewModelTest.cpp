#include "core/CorvaneViewModel.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <tuple>

namespace corvane {
namespace {

Device low(const std::string& serial, std::int64_t level) { return {serial, serial, BatteryStatus::low(level)}; }

// A view model on fakes; the permission request waits for an answer that never comes.
class CorvaneViewModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake.notifications.holdPermission = true;
        viewModel = CorvaneViewModel::create(fake.platform());
    }
    void alertPass(std::vector<Device> devices) { test::finish(fake.main, viewModel->checkLowBatteries(devices)); }
    std::size_t posted() const { return fake.notifications.posted.size(); }
    // Answers, and runs the delegate's work, which waits on the background executor.
    void answer(
        const std::string& action, std::map<std::string, std::string> userInfo, test::Job done = [] {})
    {
        NotificationResponse response {action, {}};
        response.request.content.userInfo = std::move(userInfo);
        viewModel->notificationCenterDelegate().didReceive(response, std::move(done));
        fake.background.runAll();
    }

    test::FakePlatform fake;
    std::shared_ptr<CorvaneViewModel> viewModel;
};

// Failed or refused, permission shows one alert and quits when it is pressed; granted, also to a view model
// that is gone, it registers the category of the answers and touches nothing of the view model.
TEST_F(CorvaneViewModelTest, PermissionFailedOrRefusedShowsOneAlertAndQuitsAndGrantedLateTouchesNothing)
{
    fake.notifications.heldPermission(false, NotificationError {"The notification server is gone"});
    fake.main.runAll();
    const auto refused = CorvaneViewModel::create(fake.platform());
    fake.notifications.heldPermission(false, std::nullopt);
    fake.main.runAll();
    EXPECT_EQ(fake.application.alerts,
        (std::vector<std::string> {"The notification server is gone [Quit]", "Notification access denied [Quit]"}));
    EXPECT_EQ(fake.application.terminations, 2);
    // Monitoring would start after a read on the reader's thread: time for it to show.
    EXPECT_FALSE(fake.main.runUntil([&] { return fake.clock.pending() > 0; }, std::chrono::milliseconds(200)))
        << "monitoring without permission";
    const std::weak_ptr<CorvaneViewModel> gone = CorvaneViewModel::create(fake.platform());
    ASSERT_TRUE(gone.expired());
    fake.notifications.heldPermission(true, std::nullopt);
    fake.main.runAll();
    ASSERT_EQ(fake.notifications.categories.size(), 1U);
    EXPECT_EQ(fake.notifications.categories[0].identifier, "FEEDBACK_CATEGORY");
}

TEST_F(CorvaneViewModelTest, ADueReminderWaitsUntilTheEarlierNotificationIsGone)
{
    alertPass({low("A", 15)});
    answer("REMIND_ACTION", {{"device", "A"}});
    fake.calendar.current += std::chrono::days(1);
    alertPass({low("A", 14)});
    EXPECT_EQ(posted(), 1U) << "the earlier notification is still shown";
    fake.notifications.delivered.clear();
    alertPass({low("A", 14)});
    EXPECT_EQ(posted(), 2U);
}

// Seen normal or charging, a device's stored value goes, so its next low spell is warned.
TEST_F(CorvaneViewModelTest, NormalOrChargingForgetsTheStoredValue)
{
    for (const auto& [serial, status, stored] : std::vector<std::tuple<std::string, BatteryStatus, SettingValue>> {
             {"N", BatteryStatus::normal(60), kDistantFuture},
             {"C", BatteryStatus::charging(10), fake.calendar.now()}}) {
        fake.settings.setValue(serial, stored);
        const auto before = posted();
        alertPass({Device {serial, serial, status}});
        EXPECT_EQ(fake.settings.value(serial), SettingValue {}) << serial;
        alertPass({low(serial, 15)});
        EXPECT_EQ(posted(), before + 1) << serial;
    }
}

// Remind stores the same time tomorrow, never the distant future; any other answer, or one without a device,
// changes nothing.
TEST_F(CorvaneViewModelTest, DelegateStoresEachAnswerAndCompletesIt)
{
    const Date earlier = fake.calendar.now() - std::chrono::days(3);
    for (const auto& [action, key, stored] : std::vector<std::tuple<std::string, std::string, SettingValue>> {
             {"REMIND_ACTION", "device", fake.calendar.now() + std::chrono::days(1)},
             {"NEVER_ACTION", "device", kDistantFuture}, {"default", "device", earlier},
             {"NEVER_ACTION", "serial", earlier}}) {
        SCOPED_TRACE(action + " " + key);
        fake.settings.setValue("AA", earlier);
        int completions = 0;
        answer(action, {{key, "AA"}}, [&] { ++completions; });
        EXPECT_EQ(completions, 1);
        EXPECT_EQ(fake.settings.value("AA"), stored);
    }
}

// The notification names the device and its level in the category of the answers, one per device; the
// distant future is stored only for one the service accepted. Two passes that overlap warn about a device once.
TEST_F(CorvaneViewModelTest, EachLowDeviceIsNotifiedAndMarkedOnlyOnceTheServiceAcceptedIt)
{
    fake.notifications.status = notification::kDenied;
    alertPass({low("A", 15)});
    fake.notifications.status = notification::kAuthorized;
    fake.notifications.addError = NotificationError {"server gone"};
    alertPass({low("A", 15)});
    EXPECT_EQ(fake.settings.value("A"), SettingValue {});
    fake.notifications.addError.reset();
    auto overlapping = viewModel->checkLowBatteries({Device {"Desk Keyboard", "A", BatteryStatus::low(15)}});
    alertPass({low("A", 15), low("B", 9)});
    test::finish(fake.main, std::move(overlapping));
    ASSERT_EQ(posted(), 2U);
    const auto& [identifier, content] = fake.notifications.posted[0];
    EXPECT_EQ(std::tie(content.title, content.body, content.categoryIdentifier, content.defaultSound),
        std::tuple("Desk Keyboard", "Battery is low: 15%", "FEEDBACK_CATEGORY", true));
    EXPECT_EQ(content.userInfo, (std::map<std::string, std::string> {{"device", "A"}}));
    EXPECT_NE(identifier, fake.notifications.posted[1].identifier);
    EXPECT_EQ(fake.settings.value("A"), SettingValue(kDistantFuture));
}

// Permission is granted at once: the view model refreshes and starts its
// timer on the stored interval. Counts the device lists it publishes.
class LifecycleTest : public CorvaneViewModelTest {
protected:
    void SetUp() override
    {
        fake.settings.setValue(settings::kInterval, std::int64_t {60});
        viewModel = CorvaneViewModel::create(fake.platform());
        subscription = viewModel->observeDevices([this] { ++published; });
        settle(1, 1);
    }
    // Lets the main thread run until `lists` lists are published and `timers` timer calls wait.
    void settle(int lists, std::size_t timers)
    {
        ASSERT_TRUE(fake.main.runUntil([&] { return published == lists && fake.clock.pending() == timers; }));
    }

    Subscription subscription;
    int published = 0;
};

TEST_F(LifecycleTest, GrantedPermissionRefreshesAtOnceAndThenEveryIntervalRecordingEachReading)
{
    fake.registry.setEntries("AppleDeviceManagementHIDEventService",
        {test::keyboardEntry("Desk", "A1", 40, 3), test::keyboardEntry("Travel", "B2", 12)});
    EXPECT_EQ(fake.clock.advance(std::chrono::seconds(59)), 0);
    EXPECT_EQ(fake.clock.advance(std::chrono::seconds(1)), 1);
    settle(2, 1);
    const auto& stored = fake.history.stored;
    ASSERT_EQ(stored.size(), 2U);
    EXPECT_EQ(std::tuple(stored[0].serialNumber, stored[0].name, stored[0].percent, stored[0].charging),
        std::tuple("A1", "Desk", 40, true));
    EXPECT_EQ(stored[1].time, fake.calendar.current);
}

TEST_F(LifecycleTest, NothingIsReadWhileAsleepAndWakeRefreshesAtOnceOnTheIntervalStoredNow)
{
    fake.events.willSleep.fire();
    settle(1, 0);
    EXPECT_EQ(fake.clock.advance(std::chrono::hours(24)), 0);
    // A read while asleep would be one list too many for the wake below.
    fake.settings.setValue(settings::kInterval, std::int64_t {30});
    fake.events.didWake.fire();
    settle(2, 1);
    EXPECT_EQ(fake.clock.advance(std::chrono::seconds(30)), 1);
    settle(3, 1);
}

// A new threshold re-evaluates at once, through the same pass: a device now below it is flagged and warned once,
// and flagged no longer when it drops. A change that comes while that refresh runs gives one more refresh, the
// delay after the first one started, and no third.
TEST_F(LifecycleTest, AThresholdChangeReevaluatesTheDevicesAtOnceAndOneDuringThatRefreshOnceMore)
{
    fake.registry.setEntries("AppleDeviceManagementHIDEventService", {test::keyboardEntry("Keys", "K", 25)});
    test::finish(fake.main, viewModel->updateDevices());
    const auto expectKeys = [this](BatteryStatus::Kind kind) {
        ASSERT_EQ(viewModel->devices().size(), 1U);
        EXPECT_EQ(viewModel->devices()[0].status.kind, kind);
        EXPECT_EQ(fake.notifications.posted.size(), 1U);
    };
    fake.settings.setValue(settings::kThreshold, std::int64_t {30});
    fake.settings.setValue(settings::kThreshold, std::int64_t {29});
    settle(3, 2); // the refresh to follow waits beside the timer
    expectKeys(BatteryStatus::Kind::low);
    EXPECT_EQ(fake.clock.advance(std::chrono::milliseconds(249)), 0);
    EXPECT_EQ(fake.clock.advance(std::chrono::milliseconds(1)), 1);
    settle(4, 1);
    expectKeys(BatteryStatus::Kind::low);
    EXPECT_EQ(fake.clock.advance(std::chrono::seconds(1)), 0);
    fake.settings.setValue(settings::kThreshold, std::int64_t {20});
    settle(5, 1);
    expectKeys(BatteryStatus::Kind::normal);
}

TEST_F(LifecycleTest, ActivationBringsTheTrayItemBackOnlyWithAltHeld)
{
    fake.settings.setValue(settings::kShowMenuBar, false);
    fake.activation.activated.fire();
    EXPECT_FALSE(viewModel->showMenuBar().get());
    fake.keyboard.optionKeyHeld = true;
    fake.activation.activated.fire();
    EXPECT_TRUE(viewModel->showMenuBar().get());
}

} // namespace
} // namespace corvane
