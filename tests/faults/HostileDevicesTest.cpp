// Devices that report what no sane device would, served by a mock UPower on a
// private bus and read through the real registry adapter into the view model
// (the rest of the platform is faked). D-Bus itself refuses strings that are
// not UTF-8, so invalid UTF-8 is left to the property-mapping fuzzer.

#include "core/CorvaneViewModel.h"
#include "faults/UPowerFleet.h"
#include "linux/UPowerRegistry.h"
#include "support/FakePlatform.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

#include <QString>

#include <QDBusMessage>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <set>
#include <thread>

namespace corvane {
namespace {

using namespace std::chrono;

class HostileDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_upower.ready());
        m_fake.notifications.holdPermission = true;
        Platform platform = m_fake.platform();
        Platform onUPower {platform.main, platform.background, platform.clock, m_registry, platform.settings,
            platform.notifications, platform.events, platform.keyboard, platform.application, platform.calendar,
            platform.texts};
        m_viewModel = CorvaneViewModel::create(onUPower);
    }

    void refresh(milliseconds limit = seconds(60))
    {
        auto task = m_viewModel->updateDevices();
        ASSERT_TRUE(m_fake.main.runUntil([&] { return task.isDone(); }, limit)) << "the refresh never ended";
    }

    // What must hold of any list, whatever the devices sent: texts fit to
    // show and bounded, percents that are percents, one row per device.
    void expectSaneList() const
    {
        std::set<std::string> serials;
        for (const auto& device : m_viewModel->devices()) {
            const auto name = QString::fromStdString(device.name).toUcs4();
            EXPECT_LE(name.size(), UPowerRegistry::kMaximumNameLength);
            for (char32_t c : name)
                EXPECT_FALSE(c < 0x20 || (c >= 0x7f && c < 0xa0)) << "control character in " << device.name;
            EXPECT_LE(device.serialNumber.size(), std::size_t {UPowerRegistry::kMaximumSerialLength});
            EXPECT_GE(device.status.percent, 0);
            EXPECT_LE(device.status.percent, 100);
            EXPECT_TRUE(serials.insert(device.serialNumber).second) << "listed twice: " << device.serialNumber;
        }
    }

    test::PrivateBus m_bus;
    test::DBusMock m_upower {
        m_bus, "upower", QStringLiteral("org.freedesktop.UPower"), QStringLiteral("/org/freedesktop/UPower")};
    test::UPowerFleet m_fleet {m_upower};
    UPowerRegistry m_registry {m_bus.connect(), seconds(10)};
    test::FakePlatform m_fake;
    std::shared_ptr<CorvaneViewModel> m_viewModel;
};

struct HostileCase {
    const char* label;
    QVariantMap properties;
    // Empty: the device must not be listed (it has no usable reading).
    std::optional<std::string> shownName;
};

void PrintTo(const HostileCase& hostile, std::ostream* out) { *out << hostile.label; }

QVariantMap keyboardWith(const QVariantMap& overrides)
{
    auto properties = test::upowerKeyboard(QStringLiteral("Keyboard"), QStringLiteral("AA:BB:CC:DD:EE:01"), 12);
    for (auto it = overrides.begin(); it != overrides.end(); ++it)
        properties[it.key()] = it.value();
    return properties;
}

const std::string kLongName = "Keyboard" + std::string(UPowerRegistry::kMaximumNameLength - 8, 'W');

class HostileDevice : public HostileDevices, public ::testing::WithParamInterface<HostileCase> { };

INSTANTIATE_TEST_SUITE_P(Reports, HostileDevice,
    ::testing::Values(
        HostileCase {"MarkupStaysText", keyboardWith({{"Model", "<b>Key</b><a href='x'>&amp;</a><img src=/>"}}),
            "<b>Key</b><a href='x'>&amp;</a><img src=/>"},
        HostileCase {
            "ControlCharactersGo", keyboardWith({{"Model", "Key\x01\x07\tboard\n\x1b[2J\x7f"}}), "Keyboard[2J"},
        HostileCase {"BidiOverridesAndZeroWidthGo",
            keyboardWith({{"Model", QString::fromUtf8("\u202Edraob\u200Byek")}}), "draobyek"},
        HostileCase {"AHundredThousandCharactersAreBounded",
            keyboardWith({{"Model", QString("Keyboard") + QString(100'000, QLatin1Char('W'))}}), kLongName},
        HostileCase {
            "AHugeSerialIsBounded", keyboardWith({{"Serial", QString(100'000, QLatin1Char('A'))}}), "Keyboard"},
        HostileCase {"NaNIsNoReading", keyboardWith({{"Percentage", std::numeric_limits<double>::quiet_NaN()}}), {}},
        HostileCase {
            "InfinityIsNoReading", keyboardWith({{"Percentage", std::numeric_limits<double>::infinity()}}), {}},
        HostileCase {"NegativeIsNoReading", keyboardWith({{"Percentage", -12.0}}), {}},
        HostileCase {"AboveAHundredIsNoReading", keyboardWith({{"Percentage", 1e9}}), {}},
        HostileCase {"APercentageOfAnotherTypeIsNoReading", keyboardWith({{"Percentage", QStringLiteral("12")}}), {}},
        HostileCase {"EveryPropertyOfTheWrongType",
            keyboardWith({{"Type", QStringLiteral("6")}, {"Model", 42}, {"Serial", 7.5}, {"NativePath", true},
                {"Percentage", qlonglong {12}}, {"State", QStringLiteral("1")}, {"BatteryLevel", -3.0},
                {"PowerSupply", 0}, {"IsPresent", QStringLiteral("yes")}}),
            {}},
        HostileCase {"WrongTypesWhereAWorkingValueRemains",
            keyboardWith({{"Model", 42}, {"State", QStringLiteral("1")}, {"BatteryLevel", -3.0}}), ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

// Injected: one device with the hostile report, plus a well-behaved low one.
// Must hold: no crash, a sane list, the hostile device listed exactly when it
// has a reading and then with its text cleaned (never interpreted), and each
// low device warned once over two refreshes.
TEST_P(HostileDevice, IsShownSafelyOrNotAtAll)
{
    const auto& hostile = GetParam();
    m_fleet.add(QStringLiteral("hostile"), hostile.properties);
    m_fleet.add(
        QStringLiteral("sane"), test::upowerKeyboard(QStringLiteral("Sane"), QStringLiteral("AA:BB:CC:DD:EE:99"), 10));
    refresh();
    refresh();

    expectSaneList();
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
    EXPECT_EQ(warned.size(), devices.size()) << "each low device warned once";
    for (const auto& device : devices)
        EXPECT_EQ(warned.count(device.name), 1U) << device.name;
}

// Injected: a thousand devices. Must hold: one refresh reads them all with
// exactly one EnumerateDevices and one GetAll each, and every low one is warned
// once.
TEST_F(HostileDevices, AThousandDevicesAreReadInOnePassOfOneCallEach)
{
    m_fleet.addKeyboards(QStringLiteral("low"), 0, 100, 7);
    m_fleet.addKeyboards(QStringLiteral("kbd"), 100, 900, 64);
    m_upower.clearCalls();
    const auto enumerations = m_fleet.callsTo("EnumerateDevices");
    const auto reads = m_fleet.callsTo("GetAll");
    refresh();

    expectSaneList();
    EXPECT_EQ(m_viewModel->devices().size(), 1000U);
    EXPECT_EQ(m_fleet.callsTo("EnumerateDevices") - enumerations, 1U);
    EXPECT_EQ(m_fleet.callsTo("GetAll") - reads, 1000U);
    EXPECT_EQ(m_fake.notifications.posted.size(), 100U);
}

// Injected: devices that appear and disappear on another thread while
// refreshes run, so that a device enumerated is often gone by its GetAll.
// Must hold: every refresh ends, lists only devices that existed, always
// holds the devices that stayed, and a device that stays low is warned once.
TEST_F(HostileDevices, DevicesComingAndGoingDuringRefreshesLeaveSaneLists)
{
    m_fleet.add(QStringLiteral("steady"),
        test::upowerKeyboard(QStringLiteral("Steady"), QStringLiteral("AA:BB:CC:DD:EE:FF"), 5));
    std::atomic<bool> stop {false};
    test::PrivateBus& bus = m_bus;
    std::thread flapping([&stop, &bus] {
        // A connection of its own: the mock's helper belongs to the test thread.
        auto connection = bus.connect();
        for (int round = 0; !stop; ++round) {
            const auto path = QStringLiteral("/org/freedesktop/UPower/devices/flap%1").arg(round % 8);
            auto message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.UPower"),
                QStringLiteral("/org/freedesktop/UPower"), QStringLiteral("org.freedesktop.DBus.Mock"),
                round % 16 < 8 ? QStringLiteral("AddKeyboards") : QStringLiteral("RemoveObject"));
            if (round % 16 < 8)
                message << QStringLiteral("flap") << (round % 8) << 1 << 50.0;
            else
                message << path;
            connection.call(message, QDBus::Block, 10000);
        }
    });
    for (int refreshes = 0; refreshes < 30; ++refreshes) {
        refresh();
        expectSaneList();
        const auto& devices = m_viewModel->devices();
        ASSERT_FALSE(devices.empty());
        EXPECT_TRUE(std::any_of(devices.begin(), devices.end(),
            [](const Device& device) { return device.serialNumber == "AA:BB:CC:DD:EE:FF"; }));
        for (const auto& device : devices)
            EXPECT_TRUE(device.name == "Steady" || device.name.starts_with("Keyboard ")) << device.name;
    }
    stop = true;
    flapping.join();
    EXPECT_EQ(m_fake.notifications.posted.size(), 1U);
}

} // namespace
} // namespace corvane
