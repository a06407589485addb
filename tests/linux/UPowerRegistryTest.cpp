#include "linux/UPowerRegistry.h"

#include "core/RegistryKey.h"
#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QDBusObjectPath>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace corvane {
namespace {

using namespace std::chrono;

constexpr const char* kHid = "AppleDeviceManagementHIDEventService";
constexpr const char* kMouse = "BNBMouseDevice";

enum DeviceType : uint { battery = 2, mouse = 5, keyboard = 6, touchpad = 14 };

// A device as UPower publishes it; tests change what they need.
QVariantMap upowerDevice(
    DeviceType type, const QString& model, const QString& serial, double percentage, uint state = 2, uint level = 1)
{
    return {{"Type", uint {type}}, {"Model", model}, {"Serial", serial},
        {"NativePath", QStringLiteral("/org/bluez/hci0/dev_00_00_00_00_00_00")}, {"Percentage", percentage},
        {"State", state}, {"BatteryLevel", level}, {"PowerSupply", false}, {"IsPresent", true}};
}

std::vector<UPowerEntry> entriesOf(const std::vector<QVariantMap>& devices)
{
    std::vector<UPowerDevice> read;
    for (const auto& device : devices)
        read.push_back(UPowerRegistry::deviceFromProperties(device));
    return UPowerDeviceMapping::entries(read);
}

RegistryValue property(const UPowerEntry& entry, const char* key)
{
    auto found = entry.properties.find(std::string_view(key));
    return found == entry.properties.end() ? RegistryValue {} : found->second;
}

TEST(UPowerDeviceMapping, KeyboardWithAPercentageIsAManagedInputDevice)
{
    const auto entries = entriesOf({upowerDevice(keyboard, "Magic Keyboard", "aa:bb:cc:dd:ee:01", 84.6)});
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].serviceClass, kHid);
    EXPECT_EQ(property(entries[0], "Product"), RegistryValue(std::string("Magic Keyboard")));
    EXPECT_EQ(property(entries[0], "SerialNumber"), RegistryValue(std::string("AA:BB:CC:DD:EE:01")));
    EXPECT_EQ(property(entries[0], "BatteryPercent"), RegistryValue(std::int64_t {85}));
    EXPECT_EQ(property(entries[0], "BatteryStatusFlags"), RegistryValue(std::int64_t {0}));
}

TEST(UPowerDeviceMapping, ChargingSetsTheChargingFlags)
{
    const auto entries = entriesOf({upowerDevice(keyboard, "K", "AA:BB:CC:DD:EE:02", 12, 1)});
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(property(entries[0], "BatteryStatusFlags"), RegistryValue(std::int64_t {3}));
}

struct CoarseCase {
    const char* name;
    DeviceType type;
    uint level;
    const char* serviceClass;
    RegistryValue batteryLow;
};

void PrintTo(const CoarseCase& value, std::ostream* out) { *out << value.name; }

class UPowerCoarseLevel : public ::testing::TestWithParam<CoarseCase> { };

INSTANTIATE_TEST_SUITE_P(Levels, UPowerCoarseLevel,
    ::testing::Values(CoarseCase {"MouseLow", mouse, 3, kMouse, true},
        CoarseCase {"MouseCritical", mouse, 4, kMouse, true}, CoarseCase {"TouchpadNormal", touchpad, 6, kMouse, false},
        CoarseCase {"MouseFull", mouse, 8, kMouse, false},
        // No coarse level (1 = none): a mouse with a real percentage.
        CoarseCase {"MouseWithoutLevel", mouse, 1, kHid, RegistryValue {}},
        // Only pointing devices take the coarse branch.
        CoarseCase {"KeyboardWithLevel", keyboard, 3, kHid, RegistryValue {}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_P(UPowerCoarseLevel, PointingDevicesWithACoarseLevelReportLowness)
{
    const auto& param = GetParam();
    const auto entries = entriesOf({upowerDevice(param.type, "Mouse", "AA:BB:CC:DD:EE:03", 55, 0, param.level)});
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].serviceClass, param.serviceClass);
    EXPECT_EQ(property(entries[0], "BatteryLow"), param.batteryLow);
    EXPECT_EQ(property(entries[0], "BatteryPercent"), RegistryValue(std::int64_t {55}));
    const RegistryValue behavior
        = param.serviceClass == std::string(kMouse) ? RegistryValue(std::string("Mouse")) : RegistryValue {};
    EXPECT_EQ(property(entries[0], "HIDDefaultBehavior"), behavior);
}

TEST(UPowerDeviceMapping, KernelBatteryWithoutSerialIsKnownByTheAddressInItsNativePath)
{
    auto device = upowerDevice(mouse, "Mouse", "", 40);
    device["NativePath"] = QStringLiteral("hid-aa:bb:cc:dd:ee:04-battery");
    const auto entries = entriesOf({device});
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(property(entries[0], "SerialNumber"), RegistryValue(std::string("AA:BB:CC:DD:EE:04")));

    // A USB receiver's path holds no address: no identity, no entry.
    device["NativePath"] = QStringLiteral("hid-0003:046D:C52B.0005-battery");
    EXPECT_TRUE(entriesOf({device}).empty());
}

TEST(UPowerDeviceMapping, TheSameDeviceSeenTwiceAppearsOnceWithItsChargingState)
{
    auto kernel = upowerDevice(keyboard, "Kernel name", "", 70, 1);
    kernel["NativePath"] = QStringLiteral("hid-aa:bb:cc:dd:ee:05-battery");
    const auto bluez = upowerDevice(keyboard, "BlueZ name", "AA:BB:CC:DD:EE:05", 71, 0);
    const auto other = upowerDevice(keyboard, "Other", "AA:BB:CC:DD:EE:06", 50);
    for (const auto& order : {std::vector {bluez, other, kernel}, std::vector {kernel, other, bluez}}) {
        const auto entries = entriesOf(order);
        ASSERT_EQ(entries.size(), 2U);
        EXPECT_EQ(property(entries[0], "SerialNumber"), RegistryValue(std::string("AA:BB:CC:DD:EE:05")));
        EXPECT_EQ(property(entries[0], "Product"), RegistryValue(std::string("Kernel name")));
        EXPECT_EQ(property(entries[0], "BatteryStatusFlags"), RegistryValue(std::int64_t {3}));
    }
}

struct ExcludedCase {
    const char* name;
    const char* property;
    QVariant value;
};

void PrintTo(const ExcludedCase& value, std::ostream* out) { *out << value.name; }

class UPowerExcluded : public ::testing::TestWithParam<ExcludedCase> { };

INSTANTIATE_TEST_SUITE_P(Devices, UPowerExcluded,
    ::testing::Values(ExcludedCase {"LaptopBattery", "Type", uint {battery}},
        ExcludedCase {"PowerSupply", "PowerSupply", true}, ExcludedCase {"NotPresent", "IsPresent", false},
        ExcludedCase {"TypeOfWrongType", "Type", QVariant(int {6})},
        ExcludedCase {"PresenceOfWrongType", "IsPresent", QStringLiteral("yes")}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_P(UPowerExcluded, IsNotAnInputPeripheral)
{
    auto device = upowerDevice(keyboard, "K", "AA:BB:CC:DD:EE:07", 50);
    device[QString::fromLatin1(GetParam().property)] = GetParam().value;
    EXPECT_TRUE(entriesOf({device}).empty());
}

struct ReadingCase {
    const char* name;
    QVariant percentage;
    uint state;
    RegistryValue expected;
};

void PrintTo(const ReadingCase& value, std::ostream* out) { *out << value.name; }

class UPowerReading : public ::testing::TestWithParam<ReadingCase> { };

INSTANTIATE_TEST_SUITE_P(Percentages, UPowerReading,
    ::testing::Values(ReadingCase {"Rounded", 49.5, 2, std::int64_t {50}},
        ReadingCase {"EmptyButKnown", 0.0, 3, std::int64_t {0}},
        ReadingCase {"JustConnected", 0.0, 0, RegistryValue {}},
        ReadingCase {"NotANumber", std::numeric_limits<double>::quiet_NaN(), 2, RegistryValue {}},
        ReadingCase {"Infinite", std::numeric_limits<double>::infinity(), 2, RegistryValue {}},
        ReadingCase {"Negative", -5.0, 2, RegistryValue {}}, ReadingCase {"AboveFull", 150.0, 2, RegistryValue {}},
        ReadingCase {"WrongType", QStringLiteral("85"), 2, RegistryValue {}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_P(UPowerReading, BecomesAPercentOnlyWhenItIsOne)
{
    auto device = upowerDevice(keyboard, "K", "AA:BB:CC:DD:EE:08", 0, GetParam().state);
    device["Percentage"] = GetParam().percentage;
    const auto entries = entriesOf({device});
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(property(entries[0], "BatteryPercent"), GetParam().expected);
}

TEST(UPowerDeviceMapping, NamesLoseControlCharactersAndAreBounded)
{
    const QString hostile = QStringLiteral("Evil\u202E\u0007Key\nboard\u200B") + QString(10000, QChar(u'x'));
    const auto entries = entriesOf({upowerDevice(keyboard, hostile, QStringLiteral("aa:bb\tcc"), 50)});
    ASSERT_EQ(entries.size(), 1U);
    const auto name = std::get<std::string>(property(entries[0], "Product"));
    EXPECT_TRUE(name.starts_with("EvilKeyboardxxx")) << name;
    EXPECT_EQ(QString::fromStdString(name).size(), UPowerRegistry::kMaximumNameLength);
    EXPECT_EQ(property(entries[0], "SerialNumber"), RegistryValue(std::string("AA:BBCC")));
}

// Against python-dbusmock's UPower on a private bus.
class UPowerRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_upower = std::make_unique<test::DBusMock>(
            m_bus, "upower", QStringLiteral("org.freedesktop.UPower"), QStringLiteral("/org/freedesktop/UPower"));
        ASSERT_TRUE(m_upower->ready());
    }

    void addDevice(const QString& name, const QVariantMap& properties)
    {
        const auto path = QStringLiteral("/org/freedesktop/UPower/devices/") + name;
        m_upower->addObject(path, QStringLiteral("org.freedesktop.UPower.Device"), properties);
        m_upower->emitSignal(QStringLiteral("/org/freedesktop/UPower"), QStringLiteral("org.freedesktop.UPower"),
            QStringLiteral("DeviceAdded"), QStringLiteral("o"), {QVariant::fromValue(QDBusObjectPath(path))});
    }

    struct Reading {
        std::map<std::string, std::vector<std::map<std::string, RegistryValue>>> byClass;
        bool matched = true;
    };

    // Both passes of one session, on a plain std::thread as the reader does.
    static Reading read(Registry& registry)
    {
        Reading reading;
        std::thread reader([&] {
            auto session = registry.openSession();
            for (const char* serviceClass : {kHid, kMouse}) {
                auto services = session->matchingServices(serviceClass);
                if (!services) {
                    reading.matched = false;
                    continue;
                }
                while (auto entry = services->next()) {
                    std::map<std::string, RegistryValue> properties;
                    for (const char* key : {"Product", "SerialNumber", "BatteryPercent", "BatteryStatusFlags",
                             "HIDDefaultBehavior", "BatteryLow"})
                        properties[key] = entry->property(key);
                    reading.byClass[serviceClass].push_back(properties);
                }
            }
        });
        reader.join();
        return reading;
    }

    test::PrivateBus m_bus;
    std::unique_ptr<test::DBusMock> m_upower;
};

TEST_F(UPowerRegistryTest, ServesEveryKindOfDeviceFromOneReadOfUPower)
{
    addDevice("keyboard", upowerDevice(keyboard, "Keyboard", "aa:bb:cc:dd:ee:10", 85));
    addDevice("charging", upowerDevice(keyboard, "Charging", "AA:BB:CC:DD:EE:11", 12, 1));
    addDevice("mouse", upowerDevice(mouse, "Mouse", "AA:BB:CC:DD:EE:12", 20, 0, 3));
    auto kernel = upowerDevice(touchpad, "Trackpad", "", 64, 2);
    kernel["NativePath"] = QStringLiteral("hid-aa:bb:cc:dd:ee:13-battery");
    addDevice("kernel", kernel);
    auto twin = upowerDevice(touchpad, "Trackpad BlueZ", "AA:BB:CC:DD:EE:13", 60, 0);
    addDevice("twin", twin);
    auto wrongType = upowerDevice(keyboard, "Wrong", "AA:BB:CC:DD:EE:14", 50);
    wrongType["Percentage"] = QStringLiteral("50");
    addDevice("wrong", wrongType);
    auto laptop = upowerDevice(battery, "Laptop", "BAT0", 90);
    laptop["PowerSupply"] = true;
    addDevice("battery_BAT0", laptop);
    m_upower->clearCalls();

    UPowerRegistry registry(m_bus.connect());
    const auto reading = read(registry);
    ASSERT_TRUE(reading.matched);

    const auto& managed = reading.byClass.at(kHid);
    ASSERT_EQ(managed.size(), 4U);
    std::map<std::string, std::map<std::string, RegistryValue>> bySerial;
    for (const auto& entry : managed)
        bySerial[std::get<std::string>(entry.at("SerialNumber"))] = entry;
    EXPECT_EQ(bySerial["AA:BB:CC:DD:EE:10"]["BatteryPercent"], RegistryValue(std::int64_t {85}));
    EXPECT_EQ(bySerial["AA:BB:CC:DD:EE:11"]["BatteryStatusFlags"], RegistryValue(std::int64_t {3}));
    EXPECT_EQ(bySerial["AA:BB:CC:DD:EE:13"]["Product"], RegistryValue(std::string("Trackpad")));
    EXPECT_EQ(bySerial["AA:BB:CC:DD:EE:14"]["BatteryPercent"], RegistryValue {});
    const auto& pointing = reading.byClass.at(kMouse);
    ASSERT_EQ(pointing.size(), 1U);
    EXPECT_EQ(pointing[0].at("SerialNumber"), RegistryValue(std::string("AA:BB:CC:DD:EE:12")));
    EXPECT_EQ(pointing[0].at("BatteryLow"), RegistryValue(true));

    // One EnumerateDevices and one GetAll per device, however many passes.
    const auto log = m_upower->log();
    auto count = [&log](const std::string& what) {
        std::size_t found = 0;
        for (auto at = log.find(what); at != std::string::npos; at = log.find(what, at + 1))
            ++found;
        return found;
    };
    EXPECT_EQ(count("EnumerateDevices"), 1U) << log;
    EXPECT_EQ(count("GetAll"), 7U) << log;
}

TEST_F(UPowerRegistryTest, EachSessionReadsUPowerAfresh)
{
    UPowerRegistry registry(m_bus.connect());
    EXPECT_TRUE(read(registry).byClass.empty());
    addDevice("keyboard", upowerDevice(keyboard, "Keyboard", "AA:BB:CC:DD:EE:20", 85));
    EXPECT_EQ(read(registry).byClass[kHid].size(), 1U);
}

TEST_F(UPowerRegistryTest, AHungUPowerGivesAnEmptyPassWithinTheTimeOut)
{
    addDevice("keyboard", upowerDevice(keyboard, "Keyboard", "AA:BB:CC:DD:EE:30", 85));
    UPowerRegistry registry(m_bus.connect(), milliseconds(500));
    m_upower->pause();
    const auto started = steady_clock::now();
    const auto reading = read(registry);
    const auto took = steady_clock::now() - started;
    m_upower->resume();
    EXPECT_TRUE(reading.byClass.empty());
    EXPECT_FALSE(reading.matched);
    EXPECT_LT(took, seconds(5));
}

TEST(UPowerRegistryWithoutUPower, MatchesNothingWhenUPowerIsMissingOrTheBusIsGone)
{
    test::PrivateBus bus;
    UPowerRegistry missing(bus.connect());
    auto session = missing.openSession();
    EXPECT_EQ(session->matchingServices(kHid), nullptr);

    UPowerRegistry disconnected(QDBusConnection(QStringLiteral("no-such-connection")));
    EXPECT_EQ(disconnected.openSession()->matchingServices(kHid), nullptr);
}

} // namespace
} // namespace corvane
