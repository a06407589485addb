#include "support/ViewModelHarness.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::lowDevice;

class CorvaneViewModelTest : public test::ViewModelHarness { };

TEST_F(CorvaneViewModelTest, FirstLaunchReadsDefaultsAndWritesNothing)
{
    auto& model = make();
    EXPECT_EQ(model.interval().get(), 3600);
    EXPECT_EQ(model.threshold().get(), 20);
    EXPECT_TRUE(model.showMenuBar().get());
    connectKeyboard("Keys", "K", 19);
    refresh();
    ASSERT_EQ(model.devices().size(), 1U);
    EXPECT_EQ(model.devices()[0].status.kind, BatteryStatus::Kind::low) << "19 is below the default 20";
    EXPECT_FALSE(fake.settings.contains("threshold"));
    EXPECT_FALSE(fake.settings.contains("interval"));
    EXPECT_FALSE(fake.settings.contains("showMenuBar"));
}

TEST_F(CorvaneViewModelTest, SettingsAreLiveViewsOntoTheStore)
{
    auto& model = make();
    fake.settings.setValue("threshold", std::int64_t {25});
    EXPECT_EQ(model.threshold().get(), 25);
    model.showMenuBar().set(false);
    EXPECT_EQ(fake.settings.value("showMenuBar"), SettingValue(false));
    fake.settings.setValue("interval", true);
    EXPECT_EQ(model.interval().get(), 3600) << "a value of another type reads as the default";
}

TEST_F(CorvaneViewModelTest, ObserversAreToldBeforeEveryAssignmentEvenWhenUnchanged)
{
    auto& model = make();
    connectKeyboard("Keys", "K", 50);
    std::vector<std::size_t> sizesWhenTold;
    auto subscription = model.observeDevices([&] { sizesWhenTold.push_back(model.devices().size()); });
    refresh();
    refresh();
    EXPECT_EQ(sizesWhenTold, (std::vector<std::size_t> {0, 1})) << "told twice, each time before the new list";
    fake.registry.setEntries("AppleDeviceManagementHIDEventService", {});
    refresh();
    EXPECT_EQ(sizesWhenTold.size(), 3U);
    EXPECT_TRUE(model.devices().empty());
    subscription.cancel();
    refresh();
    EXPECT_EQ(sizesWhenTold.size(), 3U);
}

TEST_F(CorvaneViewModelTest, RefreshNobodyWaitsForStillPublishesAndWarns)
{
    auto& model = make();
    connectKeyboard("Keys", "K", 5);
    {
        auto abandoned = model.updateDevices();
    }
    ASSERT_TRUE(fake.main.runUntil([&] { return !fake.notifications.posted.empty(); }));
    EXPECT_EQ(model.devices().size(), 1U);
}

TEST_F(CorvaneViewModelTest, OverlappingRefreshesEachPublishTheirOwnWholeList)
{
    auto& model = make();
    connectKeyboard("Keys", "K", 50);
    auto first = model.updateDevices();
    auto second = model.updateDevices();
    test::finish(fake.main, first);
    test::finish(fake.main, second);
    ASSERT_EQ(model.devices().size(), 1U) << "lists never mix";
    EXPECT_EQ(fake.registry.sessionsOpened(), 2);
}

} // namespace
} // namespace corvane
