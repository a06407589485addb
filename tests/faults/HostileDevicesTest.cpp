// Devices that report what no sane device would, served by a mock UPower and read through the real
// registry into the view model (the rest of the platform is faked). D-Bus refuses strings that are
// not UTF-8, so invalid UTF-8 is left to the property-mapping fuzzer.

#include "core/CorvaneViewModel.h"
#include "linux/PrivateBus.h"
#include "linux/UPowerRegistry.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>

namespace corvane {
namespace {

using test::UPowerMock;

class HostileDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_fake.notifications.holdPermission = true;
        m_viewModel = CorvaneViewModel::create(m_fake.with(m_registry));
    }

    // Refreshes, then checks what must hold of any list: bounded serials, percents, one row per device (the
    // names each test compares whole).
    void refresh()
    {
        auto task = m_viewModel->updateDevices();
        ASSERT_TRUE(m_fake.main.runUntil([&] { return task.isDone(); }, std::chrono::seconds(60)));
        std::set<std::string> serials;
        for (const auto& device : m_viewModel->devices()) {
            EXPECT_LE(device.serialNumber.size(), std::size_t {UPowerRegistry::kMaximumSerialLength});
            EXPECT_TRUE(device.status.percent >= 0 && device.status.percent <= 100) << device.status.percent;
            EXPECT_TRUE(serials.insert(device.serialNumber).second) << "listed twice: " << device.serialNumber;
        }
    }

    test::PrivateBus m_bus;
    UPowerMock m_upower {m_bus};
    UPowerRegistry m_registry {m_bus.connect(), std::chrono::seconds(10)};
    test::FakePlatform m_fake;
    std::shared_ptr<CorvaneViewModel> m_viewModel;
};

// Injected: keyboards at 12 % reporting these properties, each with a serial of its own unless it sets one,
// and last a sane low one. Must hold: each is listed exactly when it has a reading, with the name given here
// (none: not listed), its text cleaned and never interpreted; each low device is warned once over two refreshes.
TEST_F(HostileDevices, AreShownSafelyOrNotAtAll)
{
    const std::vector<std::pair<QVariantMap, std::optional<std::string>>> reports {
        {{{"Model", "<b>K</b><a href='x'>&amp;</a>"}}, "<b>K</b><a href='x'>&amp;</a>"},
        {{{"Model", "Key\x01\x07\tboard\n\x1b[2J\x7f\u202E\u200B"}}, "Keyboard[2J"},
        {{{"Model", "K" + QString(100'000, 'W')}}, "K" + std::string(UPowerRegistry::kMaximumNameLength - 1, 'W')},
        {{{"Serial", QString(100'000, 'A')}}, "K"},
        {{{"Percentage", std::numeric_limits<double>::quiet_NaN()}}, std::nullopt},
        {{{"Percentage", -12.0}}, std::nullopt},
        {{{"Percentage", "12"}}, std::nullopt},
        {{{"Type", "6"}, {"Model", 42}, {"Serial", 7.5}, {"NativePath", true}, {"Percentage", qlonglong {12}},
             {"State", "1"}, {"BatteryLevel", -3.0}, {"PowerSupply", 0}, {"IsPresent", "yes"}},
            std::nullopt},
        {{{"Model", 42}, {"State", "1"}, {"BatteryLevel", -3.0}}, ""},
        {{{"Model", "Sane"}, {"Percentage", 10.0}}, "Sane"},
    };
    std::vector<std::string> expected, names, warned;
    int next = 10;
    for (auto [properties, name] : reports) {
        const QString id = QString::number(next++);
        properties.insert("Serial", properties.value("Serial", "AA:BB:CC:DD:EE:" + id));
        m_upower.add("device" + id, UPowerMock::keyboard("K", 12, properties));
        if (name)
            expected.push_back(*name);
    }
    refresh();
    refresh();
    for (const auto& device : m_viewModel->devices())
        names.push_back(device.name);
    for (const auto& request : m_fake.notifications.posted)
        warned.push_back(request.content.title);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(warned, names);
}

// Injected: the mock adds and removes devices between the calls it serves, so that a device enumerated is often
// gone by its read. Must hold: every refresh ends with a sane list that holds the device that stayed, warned once.
TEST_F(HostileDevices, DevicesComingAndGoingDuringRefreshesLeaveSaneLists)
{
    m_upower.add("steady", UPowerMock::keyboard("Steady", 5));
    m_upower.run(R"(def flap(mock=self, device=objects['/org/freedesktop/UPower/devices/steady'], n=[0]):
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
        refresh();
        const auto& devices = m_viewModel->devices();
        EXPECT_EQ(
            std::count_if(devices.begin(), devices.end(), [](const Device& device) { return device.name == "Steady"; }),
            1);
        for (const auto& device : devices)
            EXPECT_TRUE(device.name == "Steady" || device.name.starts_with("Keyboard ")) << device.name;
    }
    EXPECT_EQ(m_fake.notifications.posted.size(), 1U);
}

} // namespace
} // namespace corvane
