#include "linux/UPowerRegistry.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

namespace corvane {
namespace {

using namespace std::chrono;
using test::UPowerMock;

// Each entry's class, serial number and percent, in the order one session lists them; nothing when
// UPower could not be read. Read on a plain thread, as the reader does.
std::optional<std::vector<std::string>> read(Registry& registry)
{
    std::optional<std::vector<std::string>> result;
    std::thread([&] {
        auto session = registry.openSession();
        std::vector<std::string> found;
        for (const std::string serviceClass : {"AppleDeviceManagementHIDEventService", "BNBMouseDevice"}) {
            auto services = session->matchingServices(serviceClass);
            if (!services)
                return;
            for (auto entry = services->next(); entry; entry = services->next()) {
                const auto percent = entry->property("BatteryPercent");
                found.push_back(serviceClass.substr(0, 3) + " " + std::get<std::string>(entry->property("SerialNumber"))
                    + " " + (percent.index() == 2 ? std::to_string(std::get<std::int64_t>(percent)) : "-"));
            }
        }
        result = found;
    }).join();
    return result;
}

// Without UPower, or without a bus, a pass is empty. Once UPower is there, with more devices than are ever asked
// for at once, a mouse, and devices that are not listed: every input device in path order, from 1 + N calls.
// Then the first device's GetAll blocks the whole mock: one time-out ends the read, not one per batch.
TEST(UPowerRegistry, ReadsEveryDeviceOnceInPathOrderAndAHangingReadCostsOneTimeOut)
{
    test::PrivateBus bus;
    UPowerRegistry registry(bus.connect());
    EXPECT_FALSE(read(registry));
    UPowerRegistry disconnected(QDBusConnection(QStringLiteral("no-such-connection")));
    EXPECT_FALSE(read(disconnected));
    UPowerMock upower(bus);
    ASSERT_EQ(read(registry), std::vector<std::string> {});
    constexpr int kKeyboards = 150;
    upower.addKeyboards("kbd", 0, kKeyboards, 40);
    upower.add("mouse", UPowerMock::keyboard("M", 30, {{"Type", 5U}, {"BatteryLevel", 3U}, {"Serial", "m1"}}));
    upower.add("battery", UPowerMock::keyboard("B", 30, {{"Type", 2U}, {"PowerSupply", true}, {"Serial", "b1"}}));
    upower.add("typo", UPowerMock::keyboard("T", 30, {{"Type", 6}, {"Serial", "t1"}}));
    const auto before = upower.callsTo("GetAll");
    const auto reading = read(registry);
    ASSERT_TRUE(reading);
    ASSERT_EQ(reading->size(), std::size_t {kKeyboards + 1});
    std::vector<std::string> expected; // the mock enumerates its devices in the order they were added
    for (int i = 0; i < kKeyboards; ++i)
        expected.push_back(
            "App " + QStringLiteral("AA:BB:%1").arg(i, 8, 16, QLatin1Char('0')).toUpper().toStdString() + " 40");
    expected.push_back("BNB M1 30");
    EXPECT_EQ(*reading, expected);
    EXPECT_EQ(upower.callsTo("EnumerateDevices"), 2U);
    EXPECT_EQ(upower.callsTo("GetAll") - before, std::size_t {kKeyboards + 3});

    upower.run("objects['/org/freedesktop/UPower/devices/kbd0'].props = "
               "type('Hang', (dict,), {'__getitem__': lambda table, key: time.sleep(600)})()");
    constexpr milliseconds kTimeOut(1000);
    UPowerRegistry impatient(bus.connect(), kTimeOut);
    const auto started = steady_clock::now();
    EXPECT_EQ(read(impatient), std::vector<std::string> {});
    // Calls that each waited a time-out of their own would take 3: 153 devices, 64 asked at a time.
    EXPECT_LT(steady_clock::now() - started, 2 * kTimeOut);
}

} // namespace
} // namespace corvane
