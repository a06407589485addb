#include "core/runtime/ThreadPoolExecutor.h"
#include "support/FakePlatform.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

namespace corvane {
namespace {

// Many refreshes with devices flapping between low, normal and charging, and
// the user's answers arriving on another thread meanwhile. Whatever the
// interleaving, every low spell is warned exactly once and nothing leaks.
TEST(SoakTest, EveryLowSpellIsWarnedExactlyOnceAcrossThousandsOfRefreshes)
{
    constexpr int kRefreshes = 10'000;
    constexpr int kDevices = 3;

    test::FakePlatform fake;
    fake.notifications.holdPermission = true;
    SerialExecutor answers;
    Platform platform = fake.platform();
    Platform withRealBackground {platform.main, answers, platform.clock, platform.registry, platform.settings,
        platform.notifications, platform.events, platform.keyboard, platform.application, platform.calendar,
        platform.texts};
    auto viewModel = CorvaneViewModel::create(withRealBackground);

    std::mt19937 random(20261206);
    std::vector<bool> low(kDevices, false);
    // What the alert pass saw last of each device; out of range counts as unseen.
    std::vector<bool> seenLow(kDevices, false);
    std::size_t lowSpells = 0;
    std::size_t answersGiven = 0;

    for (int refresh = 0; refresh < kRefreshes; ++refresh) {
        std::vector<test::Properties> entries;
        std::set<std::string> stayingLow;
        for (std::size_t device = 0; device < kDevices; ++device) {
            const auto serial = "DEV-" + std::to_string(device);
            // Mostly steady, sometimes a change, like a real battery report.
            const auto roll = random() % 10;
            low[device] = roll < 8 ? bool(low[device]) : roll == 8;
            if (random() % 25 == 0)
                continue; // out of range for this refresh
            const std::int64_t percent = low[device] ? 1 + static_cast<std::int64_t>(random() % 19) : 50;
            const std::int64_t flags = (!low[device] && random() % 2 == 0) ? 3 : 0;
            if (low[device] && !seenLow[device])
                ++lowSpells;
            if (low[device] && seenLow[device])
                stayingLow.insert(serial);
            seenLow[device] = low[device];
            entries.push_back(test::keyboardEntry("Keyboard " + serial, serial, percent, flags));
        }
        fake.registry.setEntries("AppleDeviceManagementHIDEventService", std::move(entries));

        // The user answers shown notifications of devices that stay low, on
        // another thread, while the refresh runs.
        for (const auto& shown : fake.notifications.delivered) {
            if (stayingLow.count(shown.content.userInfo.at("device")) != 0 && random() % 2 == 0) {
                NotificationResponse response {random() % 2 == 0 ? "NEVER_ACTION" : "REMIND_ACTION", shown};
                viewModel->notificationCenterDelegate().didReceive(response, [] {});
                ++answersGiven;
            }
        }
        fake.notifications.dismissAll();
        test::finish(fake.main, viewModel->updateDevices());
    }
    answers.post([] {});

    EXPECT_EQ(fake.notifications.posted.size(), lowSpells);
    EXPECT_GT(lowSpells, 100U);
    EXPECT_GT(answersGiven, 100U);
    EXPECT_EQ(fake.registry.objectsAlive(), 0);
}

} // namespace
} // namespace corvane
