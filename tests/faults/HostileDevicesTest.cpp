// Devices that come and go while they are read, served by a mock UPower and read through the real registry
// into the view model (the rest of the platform is faked). Hostile property values are the property-mapping
// fuzzer's.

#include "core/CorvaneViewModel.h"
#include "linux/PrivateBus.h"
#include "linux/UPowerRegistry.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::UPowerMock;

// Injected: the mock adds and removes devices between the calls it serves, so that a device enumerated is often
// gone by its read. Must hold: every refresh ends with a list that holds the device that stayed, warned once.
TEST(HostileDevices, DevicesComingAndGoingDuringRefreshesLeaveSaneLists)
{
    test::PrivateBus bus;
    UPowerMock upower {bus};
    UPowerRegistry registry {bus.connect(), std::chrono::seconds(10)};
    test::FakePlatform fake;
    fake.notifications.holdPermission = true;
    const auto viewModel = CorvaneViewModel::create(fake.with(registry));
    upower.add("steady", UPowerMock::keyboard("Steady", 5));
    upower.run(R"(def flap(mock=self, device=objects['/org/freedesktop/UPower/devices/steady'], n=[0]):
    i, n[0] = n[0], n[0] + 1
    path = '/org/freedesktop/UPower/devices/flap%d' % (i % 8)
    if i % 16 < 8:
        mock.AddObject(path, device.interface, dict(device.props[device.interface], Model='Keyboard %d' % i,
            Serial='AA:BB:%d' % (i % 8), Percentage=dbus.Double(50)), [])
    else:
        mock.RemoveObject(path)
    return True
from gi.repository import GLib
GLib.timeout_add(1, flap))");
    for (int refreshes = 0; refreshes < 30; ++refreshes) {
        auto task = viewModel->updateDevices();
        ASSERT_TRUE(fake.main.runUntil([&] { return task.isDone(); }, std::chrono::seconds(60)));
        int steady = 0;
        for (const auto& device : viewModel->devices()) {
            steady += device.name == "Steady";
            EXPECT_TRUE(device.name == "Steady" || device.name.starts_with("Keyboard ")) << device.name;
        }
        EXPECT_EQ(steady, 1);
    }
    EXPECT_EQ(fake.notifications.posted.size(), 1U);
}

} // namespace
} // namespace corvane
