#include "core/runtime/ThreadPoolExecutor.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <set>

namespace corvane {
namespace {

// Refreshes with devices flapping between low, normal, charging and out of
// range, while the user answers on another thread: every low spell is warned
// exactly once, and no registry object outlives its refresh.
TEST(SoakTest, EveryLowSpellIsWarnedExactlyOnceAcrossTenThousandRefreshes)
{
    test::FakePlatform fake;
    fake.notifications.holdPermission = true;
    SerialExecutor answers;
    auto viewModel = CorvaneViewModel::create(fake.with(fake.registry, nullptr, &answers));

    std::mt19937 random(20261206);
    std::array<bool, 3> low {}, seenLow {}; // seen: as the last alert pass saw it; out of range is unseen
    std::size_t lowSpells = 0, answersGiven = 0, answersHandled = 0;
    const auto handled = [&] { fake.main.post([&] { ++answersHandled; }); };
    for (int refresh = 0; refresh < 10'000; ++refresh) {
        std::vector<test::Properties> entries;
        std::set<std::string> stayingLow; // answers come only for these, and land before the next refresh
        for (std::size_t device = 0; device < low.size(); ++device) {
            const auto serial = "DEV-" + std::to_string(device);
            if (const auto roll = random() % 10; roll >= 8)
                low[device] = roll == 8;
            if (random() % 25 == 0)
                continue; // out of range
            lowSpells += low[device] && !seenLow[device];
            if (low[device] && seenLow[device])
                stayingLow.insert(serial);
            seenLow[device] = low[device];
            const auto percent = low[device] ? 1 + static_cast<std::int64_t>(random() % 19) : 50;
            entries.push_back(test::keyboardEntry(serial, serial, percent, !low[device] && random() % 2 ? 3 : 0));
        }
        fake.registry.setEntries("AppleDeviceManagementHIDEventService", std::move(entries));
        for (const auto& shown : fake.notifications.delivered) {
            if (stayingLow.contains(shown.content.userInfo.at("device")) && random() % 2 == 0) {
                viewModel->notificationCenterDelegate().didReceive(
                    {random() % 2 ? "NEVER_ACTION" : "REMIND_ACTION", shown}, handled);
                ++answersGiven;
            }
        }
        fake.notifications.delivered.clear();
        test::finish(fake.main, viewModel->updateDevices());
        ASSERT_TRUE(fake.main.runUntil([&] { return answersHandled == answersGiven; }));
    }

    EXPECT_EQ(fake.notifications.posted.size(), lowSpells);
    EXPECT_GT(lowSpells, 100U);
    EXPECT_GT(answersGiven, 100U);
    EXPECT_EQ(fake.registry.objectsAlive(), 0);
}

} // namespace
} // namespace corvane
