// UPower: its devices mapped to registry entries, tested as the pure function it is; then UPower on a private bus
// through the real registry: what a read finds, and UPower's signals into a view model that refreshes on changes
// (the rest of the platform is faked; the clock is real). Refreshes are counted from UPower's log of
// `EnumerateDevices` calls; what reaches the process is read from the bus daemon's match rules.

#include "core/CorvaneViewModel.h"
#include "core/runtime/ThreadClock.h"
#include "linux/PrivateBus.h"
#include "linux/UPowerDeviceMapping.h"
#include "linux/UPowerRegistry.h"
#include "support/FakePlatform.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>

namespace corvane {
namespace {

// A discharging Bluetooth keyboard "K" at `percentage`, as BlueZ's battery reaches UPower, changed by `change`.
UPowerDevice kb(
    double percentage, const std::function<void(UPowerDevice&)>& change = [](auto&) {})
{
    UPowerDevice device {
        6U, false, true, "K", "aa:bb:cc:dd:ee:01", "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01", percentage, 2U, 1U};
    change(device);
    return device;
}

// The same keyboard as the kernel's HID battery: no serial, the address in its path, charging.
const UPowerDevice kKernel = kb(70,
    [](auto& d) { d.model = "Kernel", d.serial = "", d.nativePath = "hid-aa:bb:cc:dd:ee:01-battery", d.state = 1U; });

// Each entry as "<class> <product> <serial> <percent> <status flags> <low> <behaviour>", "-" for a property
// the entry lacks.
std::vector<std::string> shown(const std::vector<UPowerDevice>& devices)
{
    std::vector<std::string> result;
    for (const auto& entry : UPowerDeviceMapping::entries(devices)) {
        std::string text = entry.serviceClass.substr(0, 3);
        for (const char* key :
            {"Product", "SerialNumber", "BatteryPercent", "BatteryStatusFlags", "BatteryLow", "HIDDefaultBehavior"}) {
            const auto found = entry.properties.find(key);
            if (found == entry.properties.end())
                text += " -";
            else if (const auto* string = std::get_if<std::string>(&found->second))
                text += " " + *string;
            else if (const auto* low = std::get_if<bool>(&found->second))
                text += *low ? " low" : " ok";
            else
                text += " " + std::to_string(std::get<std::int64_t>(found->second));
        }
        result.push_back(text);
    }
    return result;
}

TEST(UPowerDeviceMapping, GivesOneEntryPerInputDeviceInTheOrderFirstSeen)
{
    const auto seen = [](const char* serial, double percent, unsigned state) {
        return kb(percent, [&](auto& d) { d.serial = serial, d.state = state; });
    };
    const std::tuple<const char*, std::vector<UPowerDevice>, std::vector<std::string>> cases[] = {
        {"rounded percent, upper-case serial", {kb(84.6)}, {"App K AA:BB:CC:DD:EE:01 85 0 - -"}},
        {"charging", {kb(12, [](auto& d) { d.state = 1U; })}, {"App K AA:BB:CC:DD:EE:01 12 3 - -"}},
        // Pointing devices with a coarse level (1 is none) are low at 3 and 4; keyboards ignore it.
        {"mouse low", {kb(55, [](auto& d) { d.type = 5U, d.batteryLevel = 3U; })},
            {"BNB K AA:BB:CC:DD:EE:01 55 - low Mouse"}},
        {"touchpad full", {kb(55, [](auto& d) { d.type = 14U, d.batteryLevel = 8U; })},
            {"BNB K AA:BB:CC:DD:EE:01 55 - ok Mouse"}},
        {"keyboard with a level", {kb(55, [](auto& d) { d.batteryLevel = 3U; })}, {"App K AA:BB:CC:DD:EE:01 55 0 - -"}},
        // Zero is a reading only once the state is known.
        {"empty", {kb(0, [](auto& d) { d.state = 3U; })}, {"App K AA:BB:CC:DD:EE:01 0 0 - -"}},
        {"just connected", {kb(0, [](auto& d) { d.state = 0U; })}, {"App K AA:BB:CC:DD:EE:01 - 0 - -"}},
        // The kernel's and BlueZ's battery of one keyboard are one device; the charging one wins.
        {"kernel first", {kKernel, kb(71, [](auto& d) { d.state = 0U; })}, {"App Kernel AA:BB:CC:DD:EE:01 70 3 - -"}},
        {"seen twice", {seen("S2", 50, 0), seen("S0", 50, 0), seen("S2", 51, 1), seen("S0", 51, 1)},
            {"App K S2 51 3 - -", "App K S0 51 3 - -"}},
        // Other kinds of device, and devices left absent or half-read, are the fuzzer's (fuzz/).
        {"a laptop battery, or without an identity",
            {kb(50, [](auto& d) { d.type = 2U; }),
                kb(50, [](auto& d) { d.serial = "", d.nativePath = "hid-0003:046D:C52B.0005-battery"; }),
                kb(50, [](auto& d) { d.serial = "", d.nativePath = "/x/aa:bb:cc:dd:ee:ff0-battery"; })},
            {}},
    };
    for (const auto& [what, devices, expected] : cases)
        EXPECT_EQ(shown(devices), expected) << what;
}

// What a laptop battery reports every 30 s never matters; what a listed device shows does.
TEST(UPowerDeviceMapping, OnlyChangesThatCanAlterTheEntriesMatterAndOnlyTheMachinesOwnSuppliesGoUnheard)
{
    const std::vector<std::tuple<bool, std::vector<std::string>, bool>> cases {{true, {"Percentage"}, true},
        {true, {"State"}, true}, {true, {"BatteryLevel"}, true}, {true, {"IsPresent"}, true}, {true, {"Model"}, true},
        {true, {"Serial"}, true}, {true, {"NativePath"}, true}, {true, {"UpdateTime", "Energy", "Percentage"}, true},
        {true, {"UpdateTime", "Energy", "TimeToEmpty", "Icon", "Capacity"}, false},
        {false, {"UpdateTime", "Percentage", "State", "IsPresent", "Model"}, false}, {false, {"Type"}, true},
        {false, {"PowerSupply"}, true}};
    for (const auto& [listable, changed, matters] : cases)
        EXPECT_EQ(UPowerDeviceMapping::changeMatters(listable, changed), matters)
            << listable << ": " << testing::PrintToString(changed);
    // Which devices may be listed, and which are worth listening to: all but the machine's own supplies, since
    // UPower turns a kernel HID battery into a keyboard once it finds its input device.
    const std::vector<std::tuple<const char*, UPowerDevice, bool, bool>> devices {{"keyboard", kb(50), true, true},
        {"not read", UPowerDevice {}, true, true},
        {"laptop battery", kb(50, [](auto& d) { d.type = 2U, d.powerSupply = true; }), false, false},
        {"kernel HID battery", kb(50, [](auto& d) { d.type = 2U; }), false, true}};
    for (const auto& [what, device, could, worth] : devices) {
        EXPECT_EQ(UPowerDeviceMapping::couldList(device), could) << what;
        EXPECT_EQ(UPowerDeviceMapping::worthListeningTo(device), worth) << what;
    }
}

using namespace std::chrono;
using test::UPowerMock;

const QString kDevices = QStringLiteral("/org/freedesktop/UPower/devices/");
using Paths = std::set<std::string>;

// Whether a session could read the keyboards' class; on a plain thread, as the reader reads.
bool canRead(Registry& registry)
{
    return std::async(std::launch::async, [&] {
        return registry.openSession()->matchingServices("AppleDeviceManagementHIDEventService") != nullptr;
    }).get();
}

class UPowerChangesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_fake.notifications.holdPermission = true;
        m_upower->add("kbd", UPowerMock::keyboard("K", 50));
        // A laptop battery, as UPower publishes one.
        const QVariantMap laptop {{"Type", 2U}, {"PowerSupply", true}, {"Serial", "B1"}, {"NativePath", "BAT0"}};
        m_upower->add("BAT0", UPowerMock::keyboard("Laptop", 80, laptop));
        m_viewModel = CorvaneViewModel::create(m_fake.with(m_registry, &m_clock));
        auto task = m_viewModel->updateDevices();
        ASSERT_TRUE(m_fake.main.runUntil([&] { return task.isDone(); }));
        spin(milliseconds(400));
        m_refreshesBefore = m_upower->callsTo("EnumerateDevices");
    }

    // Runs Qt's loop, which delivers UPower's signals, and the view model's main executor for `time`.
    void spin(milliseconds time)
    {
        const auto until = steady_clock::now() + time;
        while (steady_clock::now() < until) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            m_fake.main.runUntil([] { return true; });
            std::this_thread::sleep_for(milliseconds(2));
        }
    }
    // The refreshes since set-up, after waiting long enough for a burst to be handled.
    std::size_t refreshes()
    {
        spin(milliseconds(700));
        return m_upower->callsTo("EnumerateDevices") - m_refreshesBefore;
    }
    // Sets `properties` of a device `times` times over, the i-th time with `i` set.
    void setProperties(const QString& device, const QString& properties, int times = 1)
    {
        m_upower->run(
            QStringLiteral("for i in range(%4): objects['%1%2'].UpdateProperties('org.freedesktop.UPower.Device', %3)")
                .arg(kDevices, device, properties, QString::number(times)));
    }
    void emitDevice(const char* signal, const QString& device)
    {
        m_upower->run(QStringLiteral("self.EmitSignal('org.freedesktop.UPower', '%1', 'o', ['%2%3'])")
                          .arg(QString::fromLatin1(signal), kDevices, device));
    }
    // The devices whose property changes the bus sends the registry's connection, as its match rules say
    // ("*" for a rule of every path).
    Paths propertyRules()
    {
        const auto call = QDBusMessage::createMethodCall(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.Debug.Stats", "GetAllMatchRules");
        const auto reply = m_connection.call(call).arguments().value(0).value<QDBusArgument>();
        static const QRegularExpression path("path='" + kDevices + "([^']*)'");
        Paths paths;
        for (const auto& rule : qdbus_cast<QMap<QString, QStringList>>(reply).value(m_connection.baseService()))
            if (rule.contains("member='PropertiesChanged'"))
                paths.insert(path.match(rule).hasMatch() ? path.match(rule).captured(1).toStdString() : "*");
        return paths;
    }

    test::PrivateBus m_bus;
    std::unique_ptr<UPowerMock> m_upower = std::make_unique<UPowerMock>(m_bus);
    QDBusConnection m_connection = m_bus.connect();
    UPowerRegistry m_registry {m_connection};
    ThreadClock m_clock;
    test::FakePlatform m_fake;
    std::shared_ptr<CorvaneViewModel> m_viewModel;
    std::size_t m_refreshesBefore = 0;
};

// A laptop battery ticking and figures nobody shows give no refresh, and the battery's changes do not even reach
// the process; a burst of changes one or two, with the last reading shown; a device that appears one, and it
// is listed and listened to until it goes.
TEST_F(UPowerChangesTest, OnlyChangesThatMatterRefreshAndABurstOnlyOnceOrTwice)
{
    setProperties("BAT0",
        "{'UpdateTime': dbus.UInt64(1030), 'Energy': dbus.Double(39.0), 'TimeToEmpty': dbus.Int64(7170), "
        "'Percentage': dbus.Double(79.0)}");
    setProperties("kbd", "{'UpdateTime': dbus.UInt64(1030)}");
    // UPower's display device (never listed by EnumerateDevices) follows the laptop battery.
    setProperties("DisplayDevice", "{'Percentage': dbus.Double(79.0)}");
    EXPECT_EQ(refreshes(), 0U);
    EXPECT_EQ(propertyRules(), Paths {"kbd"});
    setProperties("kbd", "{'Percentage': dbus.Double(100.0 - i)}", 100);
    const auto burst = refreshes();
    EXPECT_TRUE(burst == 1 || burst == 2) << burst;
    EXPECT_EQ(m_viewModel->devices().at(0).status.percent, 1) << "the last reading is shown";
    m_upower->add("kbd2", UPowerMock::keyboard("K2", 6, {{"Serial", "AA:BB:CC:DD:EE:02"}}));
    const auto warned = m_fake.notifications.posted.size();
    emitDevice("DeviceAdded", "kbd2"); // low: warned at once, with no timer due and no window
    EXPECT_EQ(refreshes(), burst + 1);
    EXPECT_EQ(m_viewModel->devices().size(), 2U);
    ASSERT_EQ(m_fake.notifications.posted.size(), warned + 1);
    EXPECT_EQ(m_fake.notifications.posted.back().content.title, "K2");
    EXPECT_EQ(propertyRules(), (Paths {"kbd", "kbd2"}));
    setProperties("kbd2", "{'Percentage': dbus.Double(70.0)}");
    EXPECT_EQ(refreshes(), burst + 2);
    m_upower->mock(QStringLiteral("RemoveObject"), {kDevices + "kbd2"});
    emitDevice("DeviceRemoved", "kbd2");
    EXPECT_EQ(refreshes(), burst + 3);
    EXPECT_EQ(propertyRules(), Paths {"kbd"});
}

// Without UPower, or without a bus, a pass cannot be read (not "no devices"). UPower restarts with other devices:
// they are read and listened to instead of the old ones, and a change the new UPower reports is refreshed once
// and warned about.
TEST_F(UPowerChangesTest, WithoutUPowerNothingIsReadAndARestartedOneIsReadAndItsChangesRefreshAndWarn)
{
    m_upower.reset();
    EXPECT_FALSE(canRead(m_registry));
    EXPECT_FALSE(canRead(*std::make_unique<UPowerRegistry>(QDBusConnection(QStringLiteral("none")))));
    m_upower = std::make_unique<UPowerMock>(m_bus);
    // The view model's main executor has not run since: no refresh can have started yet.
    m_refreshesBefore = m_upower->callsTo("EnumerateDevices");
    m_upower->add("kbdNew", UPowerMock::keyboard("K", 30));
    ASSERT_EQ(refreshes(), 1U);
    EXPECT_EQ(m_viewModel->devices().at(0).status.percent, 30);
    EXPECT_EQ(propertyRules(), Paths {"kbdNew"});
    setProperties("kbdNew", "{'Percentage': dbus.Double(6.0)}");
    EXPECT_EQ(refreshes(), 2U);
    EXPECT_EQ(m_viewModel->devices().at(0).status.percent, 6);
    EXPECT_EQ(m_fake.notifications.posted.size(), 1U);
}

// Past 200 devices worth listening to, one rule listens to every path (a bus allows a connection some 500), and
// changes are still seen; back at 200, one rule each again. When the first device's GetAll blocks the whole mock,
// one time-out ends the read, not one per batch of calls in flight.
TEST_F(UPowerChangesTest, PastTwoHundredDevicesOneRuleListensToEveryPathAndAHangingUPowerCostsOneTimeOut)
{
    m_upower->addKeyboards("many", 0, 200, 50);
    emitDevice("DeviceAdded", "many199");
    ASSERT_EQ(refreshes(), 1U);
    // More than are ever asked for at once, all listed in UPower's order.
    ASSERT_EQ(m_viewModel->devices().size(), 201U);
    EXPECT_EQ(m_viewModel->devices().back().name, "Keyboard 199");
    EXPECT_EQ(propertyRules(), Paths {"*"});
    setProperties("many7", "{'Percentage': dbus.Double(6.0)}");
    EXPECT_EQ(refreshes(), 2U);
    m_upower->mock(QStringLiteral("RemoveObject"), {kDevices + "many199"});
    emitDevice("DeviceRemoved", "many199");
    ASSERT_EQ(refreshes(), 3U);
    const auto rules = propertyRules();
    EXPECT_EQ(rules.size(), 200U);
    EXPECT_TRUE(rules.contains("kbd") && rules.contains("many198") && !rules.contains("*"));

    m_upower->run(QStringLiteral("objects['%1kbd'].props = "
                                 "type('Hang', (dict,), {'__getitem__': lambda table, key: time.sleep(600)})()")
                      .arg(kDevices));
    constexpr milliseconds kTimeOut(1000);
    UPowerRegistry impatient(m_bus.connect(), kTimeOut);
    const auto started = steady_clock::now();
    EXPECT_TRUE(canRead(impatient));
    // Calls that each waited a time-out of their own would take 4: 200 devices, 64 asked at a time.
    EXPECT_LT(steady_clock::now() - started, 2 * kTimeOut);
}

// Devices that report what no sane device would, each a keyboard at 12 % with these properties (and a serial of
// its own unless set), the first listed by UPower but gone by its read. Each is listed exactly when it has a
// reading, under the name given (none: not listed), its text bounded and cleaned, and the rest still listed.
// D-Bus refuses strings that are not UTF-8, so such a name can only come as bytes.
TEST_F(UPowerChangesTest, HostileDevicesAreListedSafelyOrNotAtAll)
{
    const std::vector<std::pair<QVariantMap, std::optional<std::string>>> reports {
        {{{"Model", "Gone"}}, std::nullopt},
        {{{"Model", "<b>K</b><a href='x'>&amp;</a>"}}, "<b>K</b><a href='x'>&amp;</a>"},
        {{{"Model", "Key\x01\x07\tboard\n\x1b[2J\x7f\u202E\u200B"}}, "Keyboard[2J"},
        {{{"Model", "K" + QString(100'000, 'W')}, {"Serial", QString(100'000, 'A')}},
            "K" + std::string(UPowerRegistry::kMaximumNameLength - 1, 'W')},
        {{{"Model", QByteArray("K\xff\xfe")}, {"State", "1"}, {"BatteryLevel", -3.0}}, ""},
        {{{"Percentage", std::numeric_limits<double>::quiet_NaN()}}, std::nullopt},
        {{{"Percentage", -12.0}}, std::nullopt},
        {{{"Percentage", 150.0}}, std::nullopt},
        {{{"Type", "6"}, {"Percentage", qlonglong {12}}, {"PowerSupply", 0}, {"IsPresent", "yes"}}, std::nullopt},
    };
    std::vector<std::string> expected {"K"}, names;
    int id = 10;
    for (auto [properties, name] : reports) {
        properties.insert("Serial", properties.value("Serial", QStringLiteral("AA:BB:CC:DD:EE:%1").arg(++id)));
        m_upower->add(QStringLiteral("hostile%1").arg(id), UPowerMock::keyboard("K", 12, properties));
        if (name)
            expected.push_back(*name);
    }
    m_upower->run(QStringLiteral("objects['%1hostile11'].remove_from_connection()").arg(kDevices));
    auto task = m_viewModel->updateDevices();
    ASSERT_TRUE(m_fake.main.runUntil([&] { return task.isDone(); }));
    for (const auto& device : m_viewModel->devices()) {
        names.push_back(device.name);
        EXPECT_LE(device.serialNumber.size(), std::size_t {UPowerRegistry::kMaximumSerialLength});
    }
    EXPECT_EQ(names, expected);
}

} // namespace
} // namespace corvane
