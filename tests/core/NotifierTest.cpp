#include "core/Notifier.h"
#include "support/FakePlatform.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace corvane {
namespace {

class NotifierTest : public ::testing::Test {
protected:
    test::ManualExecutor main;
    test::FakeNotificationCenter center;
    test::FakeTexts texts;
    Notifier notifier {center, main, texts};
};

TEST_F(NotifierTest, GrantRegistersTheCategoryBeforeTheCompletionRunsOnTheMainThread)
{
    std::optional<bool> granted;
    notifier.requestAuthorization([&](bool answer, std::optional<NotificationError> error) {
        EXPECT_FALSE(error);
        EXPECT_EQ(center.categoryRegistrations.size(), 1U) << "registered before the completion";
        granted = answer;
    });
    EXPECT_FALSE(granted) << "the completion waits for the main thread";
    EXPECT_EQ(center.authorizationOptions, std::vector<std::uint32_t> {6});
    main.runAll();
    EXPECT_EQ(granted, true);

    const auto& categories = center.categoryRegistrations.at(0);
    ASSERT_EQ(categories.size(), 1U);
    EXPECT_EQ(categories[0].identifier, "FEEDBACK_CATEGORY");
    ASSERT_EQ(categories[0].actions.size(), 2U);
    EXPECT_EQ(categories[0].actions[0].identifier, "REMIND_ACTION");
    EXPECT_EQ(categories[0].actions[0].title, "Remind me tomorrow");
    EXPECT_EQ(categories[0].actions[1].identifier, "NEVER_ACTION");
    EXPECT_EQ(categories[0].actions[1].title, "Never remind me");
}

TEST_F(NotifierTest, RefusalAndErrorsRegisterNothingAndReachTheCompletionUnchanged)
{
    center.grant = false;
    center.permissionError = NotificationError {"no notification server"};
    std::optional<bool> granted;
    std::optional<NotificationError> seen;
    notifier.requestAuthorization([&](bool answer, std::optional<NotificationError> error) {
        granted = answer;
        seen = std::move(error);
    });
    main.runAll();
    EXPECT_EQ(granted, false);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->description, "no notification server");
    EXPECT_TRUE(center.categoryRegistrations.empty());
}

TEST_F(NotifierTest, AuthorizationStatusIsTheServicesAnswer)
{
    center.status = notification::kDenied;
    EXPECT_EQ(test::finish(main, notifier.authorizationStatus()), notification::kDenied);
    center.status = notification::kAuthorized;
    EXPECT_EQ(test::finish(main, notifier.authorizationStatus()), notification::kAuthorized);
}

TEST_F(NotifierTest, LowBatteryRequestHasTheFixedLayoutAndAFreshIdentifier)
{
    Device device {"Keyboard <b>K</b>", "AA:BB", BatteryStatus::low(15)};
    auto first = notifier.lowBatteryRequest(device, "Battery is low: 15%");
    auto second = notifier.lowBatteryRequest(device, "Battery is low: 15%");

    EXPECT_EQ(first.content.title, "Keyboard <b>K</b>");
    EXPECT_EQ(first.content.subtitle, "");
    EXPECT_EQ(first.content.body, "Battery is low: 15%");
    EXPECT_EQ(first.content.userInfo, (std::map<std::string, std::string> {{"device", "AA:BB"}}));
    EXPECT_TRUE(first.content.defaultSound);
    EXPECT_EQ(first.content.categoryIdentifier, "FEEDBACK_CATEGORY");
    EXPECT_NE(first.identifier, second.identifier);
}

TEST_F(NotifierTest, IdentifiersAreUpperCaseVersionFourUuids)
{
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        auto identifier = notifier.makeIdentifier();
        ASSERT_TRUE(std::regex_match(identifier, uuid)) << identifier;
        seen.insert(identifier);
    }
    EXPECT_EQ(seen.size(), 1000U);
}

} // namespace
} // namespace corvane
