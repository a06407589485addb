#include "linux/UPowerRegistry.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <thread>

namespace corvane {
namespace {

using namespace std::chrono;

// Whether a session could read the keyboards' class, and how many entries it listed; on a plain thread, as the
// reader reads.
std::pair<bool, int> read(Registry& registry)
{
    std::pair<bool, int> result {false, 0};
    std::thread([&] {
        auto services = registry.openSession()->matchingServices("AppleDeviceManagementHIDEventService");
        result.first = services != nullptr;
        while (services && services->next())
            ++result.second;
    }).join();
    return result;
}

// Without a bus or without UPower a pass cannot be read (not "no devices"). When the first device's GetAll
// blocks the whole mock, one time-out ends the read, not one per batch of calls in flight.
TEST(UPowerRegistry, WithoutUPowerNothingIsReadAndAHangingOneCostsOneTimeOut)
{
    test::PrivateBus bus;
    EXPECT_EQ(read(*std::make_unique<UPowerRegistry>(QDBusConnection(QStringLiteral("none")))), std::pair(false, 0));
    UPowerRegistry registry(bus.connect());
    EXPECT_EQ(read(registry), std::pair(false, 0));
    test::UPowerMock upower(bus);
    upower.addKeyboards("kbd", 0, 150, 40);
    EXPECT_EQ(read(registry), std::pair(true, 150));

    upower.run("objects['/org/freedesktop/UPower/devices/kbd0'].props = "
               "type('Hang', (dict,), {'__getitem__': lambda table, key: time.sleep(600)})()");
    constexpr milliseconds kTimeOut(1000);
    UPowerRegistry impatient(bus.connect(), kTimeOut);
    const auto started = steady_clock::now();
    EXPECT_EQ(read(impatient), std::pair(true, 0));
    // Calls that each waited a time-out of their own would take 3: 150 devices, 64 asked at a time.
    EXPECT_LT(steady_clock::now() - started, 2 * kTimeOut);
}

} // namespace
} // namespace corvane
