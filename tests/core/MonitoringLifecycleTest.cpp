#include "support/Eventually.h"
#include "support/ViewModelHarness.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using namespace std::chrono;
using test::eventually;

class MonitoringLifecycleTest : public test::ViewModelHarness {
protected:
    int refreshes() const { return fake.registry.sessionsOpened(); }
    // Lets the main thread and the serialised objects settle.
    void settle()
    {
        for (int round = 0; round < 5; ++round) {
            fake.main.runUntil([] { return false; }, milliseconds(20));
        }
    }
    bool timerRunning() { return test::finish(fake.main, viewModel->safeTimer().isRunning(fake.main)); }
    void grant()
    {
        fake.notifications.grant = true;
        fake.notifications.answerPermission();
        settle();
    }
};

TEST_F(MonitoringLifecycleTest, StartUpSubscribesInstallsTheDelegateAndAsksForPermission)
{
    make();
    EXPECT_EQ(fake.events.subscriberCount(), 3U);
    EXPECT_EQ(fake.notifications.delegate, &viewModel->notificationCenterDelegate());
    EXPECT_EQ(fake.notifications.log, (std::vector<std::string> {"setDelegate", "requestAuthorization"}));
    settle();
    EXPECT_EQ(refreshes(), 0) << "nothing is read before the answer";
}

TEST_F(MonitoringLifecycleTest, GrantRefreshesAtOnceThenEveryInterval)
{
    fake.settings.setValue("interval", std::int64_t {600});
    connectKeyboard("Keys", "K", 50);
    make();
    grant();
    EXPECT_EQ(refreshes(), 1);
    ASSERT_EQ(viewModel->devices().size(), 1U);
    ASSERT_TRUE(timerRunning());
    ASSERT_TRUE(eventually([&] { return fake.clock.pendingCalls() == 1; }));
    EXPECT_EQ(fake.clock.nextDeadlineIn(), seconds(600));
    fake.clock.advance(seconds(600));
    EXPECT_TRUE(fake.main.runUntil([&] { return refreshes() == 2; }));
}

TEST_F(MonitoringLifecycleTest, RefusalShowsTheDeniedAlertAndQuitsOnlyWhenPressed)
{
    make();
    fake.notifications.grant = false;
    fake.notifications.answerPermission();
    settle();
    ASSERT_EQ(fake.application.alerts.size(), 1U);
    EXPECT_EQ(fake.application.alerts[0].message, "Notification access denied");
    EXPECT_EQ(fake.application.alerts[0].buttonTitle, "Quit");
    EXPECT_EQ(fake.application.terminations, 0);
    fake.application.pressButton();
    settle();
    EXPECT_EQ(fake.application.terminations, 1);
    EXPECT_EQ(refreshes(), 0);
    EXPECT_FALSE(timerRunning());
}

TEST_F(MonitoringLifecycleTest, PermissionErrorShowsItsOwnDescriptionEvenWhenGranted)
{
    make();
    fake.notifications.grant = true;
    fake.notifications.permissionError = NotificationError {"No notification server is running"};
    fake.notifications.answerPermission();
    settle();
    ASSERT_EQ(fake.application.alerts.size(), 1U);
    EXPECT_EQ(fake.application.alerts[0].message, "No notification server is running");
    EXPECT_EQ(fake.application.alerts[0].buttonTitle, "Quit");
    fake.application.pressButton();
    settle();
    EXPECT_EQ(fake.application.terminations, 1);
    EXPECT_FALSE(timerRunning());
}

TEST_F(MonitoringLifecycleTest, SleepStopsTheTimerAndWakeRefreshesAndRestartsWithTheNewInterval)
{
    make();
    grant();
    ASSERT_TRUE(timerRunning());
    fake.events.willSleep();
    settle();
    EXPECT_FALSE(timerRunning());
    EXPECT_TRUE(eventually([&] { return fake.clock.pendingCalls() == 0; }));
    EXPECT_EQ(refreshes(), 1) << "sleep does not refresh";

    fake.settings.setValue("interval", std::int64_t {120});
    fake.events.didWake();
    settle();
    EXPECT_EQ(refreshes(), 2);
    ASSERT_TRUE(timerRunning());
    ASSERT_TRUE(eventually([&] { return fake.clock.pendingCalls() == 1; }));
    EXPECT_EQ(fake.clock.nextDeadlineIn(), seconds(120));
}

TEST_F(MonitoringLifecycleTest, WakeWhileRunningRefreshesOnceAndKeepsTheSchedule)
{
    make();
    grant();
    ASSERT_TRUE(eventually([&] { return fake.clock.pendingCalls() == 1; }));
    fake.clock.advance(minutes(20));
    fake.settings.setValue("interval", std::int64_t {60});
    fake.events.didWake();
    settle();
    EXPECT_EQ(refreshes(), 2);
    EXPECT_EQ(fake.clock.pendingCalls(), 1U);
    EXPECT_EQ(fake.clock.nextDeadlineIn(), minutes(40)) << "the old loop and period stay";
}

TEST_F(MonitoringLifecycleTest, WakeBeforeThePermissionAnswerStartsMonitoring)
{
    make();
    fake.events.didWake();
    settle();
    EXPECT_EQ(refreshes(), 1);
    EXPECT_TRUE(timerRunning());
}

TEST_F(MonitoringLifecycleTest, ActivationWithAltShowsTheTrayItemAndWithoutAltDoesNothing)
{
    make();
    fake.events.didBecomeActive();
    EXPECT_TRUE(fake.settings.writes().empty());

    fake.keyboard.optionHeld = true;
    fake.events.didBecomeActive();
    EXPECT_EQ(fake.settings.value("showMenuBar"), SettingValue(true)) << "written even though true was the default";

    fake.settings.setValue("showMenuBar", false);
    fake.events.didBecomeActive();
    EXPECT_EQ(fake.settings.value("showMenuBar"), SettingValue(true));
    settle();
    EXPECT_EQ(refreshes(), 0) << "activation starts no refresh";
}

TEST_F(MonitoringLifecycleTest, EventsAfterTheViewModelIsGoneDoNothing)
{
    make();
    viewModel.reset();
    EXPECT_EQ(fake.events.subscriberCount(), 0U);
    fake.keyboard.optionHeld = true;
    fake.events.didBecomeActive();
    fake.events.didWake();
    fake.notifications.answerPermission();
    settle();
    EXPECT_EQ(refreshes(), 0);
    EXPECT_TRUE(fake.settings.writes().empty());
}

} // namespace
} // namespace corvane
