// Devices that report what no sane device would, served by a mock UPower and read through the
// real registry into the view model (the rest of the platform is faked). D-Bus refuses strings
// that are not UTF-8, so invalid UTF-8 is left to the property-mapping fuzzer.

#include "core/CorvaneViewModel.h"
#include "linux/PrivateBus.h"
#include "linux/UPowerRegistry.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <set>

namespace corvane {
namespace {

using namespace std::chrono;

class HostileDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_upower.ready());
        m_fake.notifications.holdPermission = true;
        const Platform fake = m_fake.platform();
        m_viewModel = CorvaneViewModel::create({fake.main, fake.background, fake.clock, m_registry, fake.settings,
            fake.notifications, fake.events, fake.keyboard, fake.application, fake.calendar, fake.texts});
    }

    // Refreshes; then what must hold of any list: plain bounded texts, percents, one row per device.
    void refresh()
    {
        auto task = m_viewModel->updateDevices();
        ASSERT_TRUE(m_fake.main.runUntil([&] { return task.isDone(); }, seconds(60))) << "the refresh never ended";
        std::set<std::string> serials;
        for (const auto& device : m_viewModel->devices()) {
            const auto name = QString::fromStdString(device.name).toUcs4();
            EXPECT_LE(name.size(), UPowerRegistry::kMaximumNameLength);
            for (char32_t c : name)
                EXPECT_FALSE(c < 0x20 || (c >= 0x7f && c < 0xa0)) << "control character in " << device.name;
            EXPECT_LE(device.serialNumber.size(), std::size_t {UPowerRegistry::kMaximumSerialLength});
            EXPECT_TRUE(device.status.percent >= 0 && device.status.percent <= 100) << device.status.percent;
            EXPECT_TRUE(serials.insert(device.serialNumber).second) << "listed twice: " << device.serialNumber;
        }
    }

    test::PrivateBus m_bus;
    test::UPowerMock m_upower {m_bus};
    UPowerRegistry m_registry {m_bus.connect(), seconds(10)};
    test::FakePlatform m_fake;
    std::shared_ptr<CorvaneViewModel> m_viewModel;
};

struct HostileCase {
    const char* label;
    QVariantMap overrides; // on a discharging keyboard at 12 %
    std::optional<std::string> shownName; // none: not listed, it has no usable reading
};

void PrintTo(const HostileCase& hostile, std::ostream* out) { *out << hostile.label; }

class HostileDevice : public HostileDevices, public ::testing::WithParamInterface<HostileCase> { };

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(Reports, HostileDevice,
    ::testing::Values(HostileCase {"MarkupStaysText", {{"Model", "<b>Key</b><a href='x'>&amp;</a>"}},
                          "<b>Key</b><a href='x'>&amp;</a>"},
        HostileCase {"ControlCharactersGo", {{"Model", "Key\x01\x07\tboard\n\x1b[2J\x7f"}}, "Keyboard[2J"},
        HostileCase {"BidiOverridesAndZeroWidthGo", {{"Model", QString::fromUtf8("\u202Edraob\u200Byek")}}, "draobyek"},
        HostileCase {"AHundredThousandCharactersAreBounded", {{"Model", "Keyboard" + QString(100'000, 'W')}},
            "Keyboard" + std::string(UPowerRegistry::kMaximumNameLength - 8, 'W')},
        HostileCase {"AHugeSerialIsBounded", {{"Serial", QString(100'000, 'A')}}, "Keyboard"},
        HostileCase {"NaNIsNoReading", {{"Percentage", kNaN}}, {}},
        HostileCase {"InfinityIsNoReading", {{"Percentage", kInfinity}}, {}},
        HostileCase {"NegativeIsNoReading", {{"Percentage", -12.0}}, {}},
        HostileCase {"AboveAHundredIsNoReading", {{"Percentage", 1e9}}, {}},
        HostileCase {"APercentageOfAnotherTypeIsNoReading", {{"Percentage", "12"}}, {}},
        HostileCase {"EveryPropertyOfTheWrongType",
            {{"Type", "6"}, {"Model", 42}, {"Serial", 7.5}, {"NativePath", true}, {"Percentage", qlonglong {12}},
                {"State", "1"}, {"BatteryLevel", -3.0}, {"PowerSupply", 0}, {"IsPresent", "yes"}},
            {}},
        HostileCase {
            "WrongTypesWhereAWorkingValueRemains", {{"Model", 42}, {"State", "1"}, {"BatteryLevel", -3.0}}, ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

// Injected: one hostile device beside a sane low one. Must hold: the hostile one is listed exactly
// when it has a reading, with its text cleaned (never interpreted), and each low device is warned
// once over two refreshes.
TEST_P(HostileDevice, IsShownSafelyOrNotAtAll)
{
    const auto& hostile = GetParam();
    m_upower.add("hostile", test::UPowerMock::keyboard("Keyboard", 12, hostile.overrides));
    m_upower.add("sane", test::UPowerMock::keyboard("Sane", 10, {{"Serial", "AA:BB:CC:DD:EE:99"}}));
    refresh();
    refresh();

    const auto& devices = m_viewModel->devices();
    ASSERT_EQ(devices.size(), hostile.shownName ? 2U : 1U);
    EXPECT_EQ(devices.back().name, "Sane");
    if (hostile.shownName) {
        EXPECT_EQ(devices.front().name, *hostile.shownName);
        EXPECT_EQ(devices.front().status.kind, BatteryStatus::Kind::low);
        EXPECT_EQ(devices.front().status.percent, 12);
    }
    std::multiset<std::string> warned;
    for (const auto& request : m_fake.notifications.posted)
        warned.insert(request.content.title);
    EXPECT_EQ(warned.size(), devices.size());
    for (const auto& device : devices)
        EXPECT_EQ(warned.count(device.name), 1U) << device.name;
}

// Injected: a thousand devices. Must hold: one refresh lists them all with 1 + N calls and warns every low one once.
TEST_F(HostileDevices, AThousandDevicesAreReadInOnePassOfOneCallEach)
{
    m_upower.addKeyboards("low", 0, 100, 7);
    m_upower.addKeyboards("kbd", 100, 900, 64);
    refresh();
    EXPECT_EQ(m_viewModel->devices().size(), 1000U);
    EXPECT_EQ(m_upower.callsTo("EnumerateDevices"), 1U);
    EXPECT_EQ(m_upower.callsTo("GetAll"), 1000U);
    EXPECT_EQ(m_fake.notifications.posted.size(), 100U);
}

// Injected: the mock adds and removes devices between the calls it serves, so that a device
// enumerated is often gone by its read. Must hold: every refresh ends with a sane list that
// holds the device that stayed, and that low device is warned once.
TEST_F(HostileDevices, DevicesComingAndGoingDuringRefreshesLeaveSaneLists)
{
    m_upower.add("steady", test::UPowerMock::keyboard("Steady", 5));
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
        std::size_t steady = 0;
        for (const auto& device : m_viewModel->devices()) {
            steady += device.name == "Steady" ? 1U : 0U;
            EXPECT_TRUE(device.name == "Steady" || device.name.starts_with("Keyboard ")) << device.name;
        }
        EXPECT_EQ(steady, 1U);
    }
    EXPECT_EQ(m_fake.notifications.posted.size(), 1U);
}

} // namespace
} // namespace corvane
