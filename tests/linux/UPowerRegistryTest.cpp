#include "linux/UPowerRegistry.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <thread>

namespace corvane {
namespace {

using namespace std::chrono;
using test::UPowerMock;

constexpr const char* kHid = "AppleDeviceManagementHIDEventService";
constexpr const char* kMouse = "BNBMouseDevice";

using Entries = std::map<std::string, std::map<std::string, RegistryValue>>;

// One session's entries by "<class> <serial>", read on a plain thread as the reader does; nothing
// when UPower could not be read.
std::optional<Entries> read(Registry& registry)
{
    std::optional<Entries> result;
    std::thread([&] {
        auto session = registry.openSession();
        Entries found;
        for (const std::string serviceClass : {kHid, kMouse}) {
            auto services = session->matchingServices(serviceClass);
            if (!services)
                return;
            while (auto entry = services->next()) {
                auto& properties = found[serviceClass + " " + std::get<std::string>(entry->property("SerialNumber"))];
                for (const char* key : {"Product", "BatteryPercent", "BatteryStatusFlags", "BatteryLow"})
                    properties[key] = entry->property(key);
            }
        }
        result = found;
    }).join();
    return result;
}

using Expected = std::map<std::string, RegistryValue>;

struct MappingCase {
    const char* name;
    std::vector<QVariantMap> devices;
    std::map<std::string, Expected> expected; // by "<class> <serial>", of every entry
};

void PrintTo(const MappingCase& value, std::ostream* out) { *out << value.name; }

const std::string kKeyboard = std::string(kHid) + " AA:BB:CC:DD:EE:01";
const std::string kPointer = std::string(kMouse) + " AA:BB:CC:DD:EE:01";
const QVariantMap kKernel {{"Serial", ""}, {"NativePath", "hid-aa:bb:cc:dd:ee:01-battery"}, {"State", 1U}};

class UPowerRegistryTest : public ::testing::TestWithParam<MappingCase> {
protected:
    void SetUp() override { ASSERT_TRUE(m_upower.ready()); }

    test::PrivateBus m_bus;
    UPowerMock m_upower {m_bus};
};

INSTANTIATE_TEST_SUITE_P(Devices, UPowerRegistryTest,
    ::testing::Values(MappingCase {"Keyboard", {UPowerMock::keyboard("K", 84.6, {{"Serial", "aa:bb:cc:dd:ee:01"}})},
                          {{kKeyboard,
                              {{"Product", std::string("K")}, {"BatteryPercent", std::int64_t {85}},
                                  {"BatteryStatusFlags", std::int64_t {0}}, {"BatteryLow", {}}}}}},
        MappingCase {"Charging", {UPowerMock::keyboard("K", 12, {{"State", 1U}})},
            {{kKeyboard, {{"BatteryStatusFlags", std::int64_t {3}}}}}},
        MappingCase {"MouseLow", {UPowerMock::keyboard("M", 55, {{"Type", 5U}, {"BatteryLevel", 3U}})},
            {{kPointer, {{"BatteryLow", true}, {"BatteryPercent", std::int64_t {55}}}}}},
        MappingCase {"MouseCritical", {UPowerMock::keyboard("M", 55, {{"Type", 5U}, {"BatteryLevel", 4U}})},
            {{kPointer, {{"BatteryLow", true}}}}},
        MappingCase {"TouchpadFull", {UPowerMock::keyboard("T", 55, {{"Type", 14U}, {"BatteryLevel", 8U}})},
            {{kPointer, {{"BatteryLow", false}}}}},
        // Level 1 is none: a mouse with a real percentage. Only pointing devices take the coarse branch.
        MappingCase {"MouseWithoutLevel", {UPowerMock::keyboard("M", 55, {{"Type", 5U}})}, {{kKeyboard, {}}}},
        MappingCase {"KeyboardWithLevel", {UPowerMock::keyboard("K", 55, {{"BatteryLevel", 3U}})}, {{kKeyboard, {}}}},
        MappingCase {
            "Rounded", {UPowerMock::keyboard("K", 49.5)}, {{kKeyboard, {{"BatteryPercent", std::int64_t {50}}}}}},
        MappingCase {"EmptyButKnown", {UPowerMock::keyboard("K", 0, {{"State", 3U}})},
            {{kKeyboard, {{"BatteryPercent", std::int64_t {0}}}}}},
        MappingCase {
            "JustConnected", {UPowerMock::keyboard("K", 0, {{"State", 0U}})}, {{kKeyboard, {{"BatteryPercent", {}}}}}},
        // A kernel battery is known by the address in its path, and is the same device as BlueZ's.
        MappingCase {"KernelAndBlueZTwins",
            {UPowerMock::keyboard("Kernel", 70, kKernel), UPowerMock::keyboard("BlueZ", 71, {{"State", 0U}})},
            {{kKeyboard, {{"Product", std::string("Kernel")}, {"BatteryStatusFlags", std::int64_t {3}}}}}},
        MappingCase {"BlueZAndKernelTwins",
            {UPowerMock::keyboard("BlueZ", 71, {{"State", 0U}}), UPowerMock::keyboard("Kernel", 70, kKernel)},
            {{kKeyboard, {{"Product", std::string("Kernel")}, {"BatteryStatusFlags", std::int64_t {3}}}}}},
        MappingCase {"ReceiverWithoutAddress",
            {UPowerMock::keyboard("K", 50, {{"Serial", ""}, {"NativePath", "hid-0003:046D:C52B.0005-battery"}})}, {}},
        MappingCase {"NotInputPeripherals",
            {UPowerMock::keyboard("Laptop", 50, {{"Type", 2U}}), UPowerMock::keyboard("K", 50, {{"PowerSupply", true}}),
                UPowerMock::keyboard("K", 50, {{"IsPresent", false}}), UPowerMock::keyboard("K", 50, {{"Type", 6}}),
                UPowerMock::keyboard("K", 50, {{"IsPresent", "yes"}})},
            {}}),
    [](const auto& test) { return std::string(test.param.name); });

// Must hold besides the entries: one EnumerateDevices and one GetAll per device in each session.
TEST_P(UPowerRegistryTest, EachSessionListsEveryInputDeviceFromOneReadEach)
{
    UPowerRegistry registry(m_bus.connect());
    ASSERT_EQ(read(registry), std::optional<Entries>(Entries {}));
    for (std::size_t i = 0; i < GetParam().devices.size(); ++i)
        m_upower.add(QStringLiteral("device%1").arg(i), GetParam().devices[i]);
    const auto reading = read(registry);
    ASSERT_TRUE(reading);
    ASSERT_EQ(reading->size(), GetParam().expected.size());
    for (const auto& [entry, expected] : GetParam().expected) {
        for (const auto& [key, value] : expected)
            EXPECT_EQ(reading->at(entry).at(key), value) << entry << " " << key;
    }
    EXPECT_EQ(m_upower.callsTo("EnumerateDevices"), 2U);
    EXPECT_EQ(m_upower.callsTo("GetAll"), GetParam().devices.size());
}

// Injected: the first device's GetAll blocks the whole mock. Must hold: one time-out ends the read, not one per device.
TEST(UPowerRegistryHanging, AHangingReadCostsOneTimeOutNotOnePerDevice)
{
    test::PrivateBus bus;
    UPowerMock upower(bus);
    upower.addKeyboards("kbd", 0, 20, 50);
    upower.run("objects['/org/freedesktop/UPower/devices/kbd0'].props = "
               "type('Hang', (dict,), {'__getitem__': lambda table, key: time.sleep(600)})()");
    UPowerRegistry registry(bus.connect(), milliseconds(500));
    const auto started = steady_clock::now();
    EXPECT_TRUE(read(registry));
    EXPECT_LT(steady_clock::now() - started, 10 * milliseconds(500));
}

TEST(UPowerRegistryWithoutUPower, GivesAnEmptyPassWhenUPowerIsMissingOrTheBusIsGone)
{
    test::PrivateBus bus;
    UPowerRegistry missing(bus.connect());
    EXPECT_FALSE(read(missing));
    UPowerRegistry disconnected(QDBusConnection(QStringLiteral("no-such-connection")));
    EXPECT_FALSE(read(disconnected));
}

} // namespace
} // namespace corvane
