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
using Entries = std::map<std::string, std::map<std::string, RegistryValue>>; // by "<class> <serial>"

// One session's entries, read on a plain thread as the reader does; nothing when UPower could not be read.
std::optional<Entries> read(Registry& registry)
{
    std::optional<Entries> result;
    std::thread([&] {
        auto session = registry.openSession();
        Entries found;
        for (const std::string serviceClass : {"AppleDeviceManagementHIDEventService", "BNBMouseDevice"}) {
            auto services = session->matchingServices(serviceClass);
            for (auto entry = services ? services->next() : nullptr; entry; entry = services->next()) {
                auto& properties = found[serviceClass + " " + std::get<std::string>(entry->property("SerialNumber"))];
                for (const char* key : {"Product", "BatteryPercent", "BatteryStatusFlags", "BatteryLow"})
                    properties[key] = entry->property(key);
            }
            if (!services)
                return;
        }
        result = found;
    }).join();
    return result;
}

struct MappingCase {
    std::vector<QVariantMap> devices;
    Entries expected; // every entry, with the properties that matter
};

const std::string kKeyboard = "AppleDeviceManagementHIDEventService AA:BB:CC:DD:EE:01";
const std::string kPointer = "BNBMouseDevice AA:BB:CC:DD:EE:01";
const QVariantMap kKernel {{"Serial", ""}, {"NativePath", "hid-aa:bb:cc:dd:ee:01-battery"}, {"State", 1U}};
const auto kBlueZ = UPowerMock::keyboard("BlueZ", 71, {{"State", 0U}});
const auto kKernelTwin = UPowerMock::keyboard("Kernel", 70, kKernel);

class UPowerRegistryTest : public ::testing::TestWithParam<MappingCase> { };

INSTANTIATE_TEST_SUITE_P(Devices, UPowerRegistryTest,
    ::testing::Values(MappingCase {{UPowerMock::keyboard("K", 84.6, {{"Serial", "aa:bb:cc:dd:ee:01"}})},
                          {{kKeyboard,
                              {{"Product", std::string("K")}, {"BatteryPercent", std::int64_t {85}},
                                  {"BatteryStatusFlags", std::int64_t {0}}, {"BatteryLow", {}}}}}},
        MappingCase {{UPowerMock::keyboard("K", 12, {{"State", 1U}})},
            {{kKeyboard, {{"BatteryStatusFlags", std::int64_t {3}}}}}},
        // Pointing devices with a coarse level (1 is none) are low at 3 and 4; keyboards ignore it.
        MappingCase {{UPowerMock::keyboard("M", 55, {{"Type", 5U}, {"BatteryLevel", 3U}})},
            {{kPointer, {{"BatteryLow", true}, {"BatteryPercent", std::int64_t {55}}}}}},
        MappingCase {{UPowerMock::keyboard("T", 55, {{"Type", 14U}, {"BatteryLevel", 8U}})},
            {{kPointer, {{"BatteryLow", false}}}}},
        MappingCase {{UPowerMock::keyboard("M", 55, {{"Type", 5U}})}, {{kKeyboard, {{"BatteryLow", {}}}}}},
        MappingCase {{UPowerMock::keyboard("K", 55, {{"BatteryLevel", 3U}})}, {{kKeyboard, {{"BatteryLow", {}}}}}},
        // Zero is a reading only once the state is known.
        MappingCase {{UPowerMock::keyboard("K", 49.5)}, {{kKeyboard, {{"BatteryPercent", std::int64_t {50}}}}}},
        MappingCase {
            {UPowerMock::keyboard("K", 0, {{"State", 3U}})}, {{kKeyboard, {{"BatteryPercent", std::int64_t {0}}}}}},
        MappingCase {{UPowerMock::keyboard("K", 0, {{"State", 0U}})}, {{kKeyboard, {{"BatteryPercent", {}}}}}},
        // A kernel battery is known by the address in its path, and is the same device as BlueZ's.
        MappingCase {{kKernelTwin, kBlueZ},
            {{kKeyboard, {{"Product", std::string("Kernel")}, {"BatteryStatusFlags", std::int64_t {3}}}}}},
        MappingCase {{kBlueZ, kKernelTwin},
            {{kKeyboard, {{"Product", std::string("Kernel")}, {"BatteryStatusFlags", std::int64_t {3}}}}}},
        // Not input peripherals, or without an identity.
        MappingCase {
            {UPowerMock::keyboard("Laptop", 50, {{"Type", 2U}}), UPowerMock::keyboard("K", 50, {{"PowerSupply", true}}),
                UPowerMock::keyboard("K", 50, {{"IsPresent", false}}), UPowerMock::keyboard("K", 50, {{"Type", 6}}),
                UPowerMock::keyboard("K", 50, {{"IsPresent", "yes"}}),
                UPowerMock::keyboard("K", 50, {{"Serial", ""}, {"NativePath", "hid-0003:046D:C52B.0005-battery"}})},
            {}}));

// Besides the entries, each session costs one EnumerateDevices and one GetAll per device.
TEST_P(UPowerRegistryTest, EachSessionListsEveryInputDeviceFromOneReadEach)
{
    test::PrivateBus bus;
    UPowerMock upower(bus);
    UPowerRegistry registry(bus.connect());
    ASSERT_EQ(read(registry), Entries {});
    for (std::size_t i = 0; i < GetParam().devices.size(); ++i)
        upower.add(QStringLiteral("device%1").arg(i), GetParam().devices[i]);
    const auto reading = read(registry);
    ASSERT_TRUE(reading);
    ASSERT_EQ(reading->size(), GetParam().expected.size());
    for (const auto& [entry, expected] : GetParam().expected) {
        for (const auto& [key, value] : expected)
            EXPECT_EQ(reading->at(entry).at(key), value) << entry << " " << key;
    }
    EXPECT_EQ(upower.callsTo("EnumerateDevices"), 2U);
    EXPECT_EQ(upower.callsTo("GetAll"), GetParam().devices.size());
}

// Injected: the first device's GetAll blocks the whole mock. Must hold: one time-out ends the read, not one per device.
TEST(UPowerRegistry, AHangingReadCostsOneTimeOutNotOnePerDevice)
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

TEST(UPowerRegistry, GivesAnEmptyPassWhenUPowerIsMissingOrTheBusIsGone)
{
    test::PrivateBus bus;
    UPowerRegistry missing(bus.connect());
    EXPECT_FALSE(read(missing));
    UPowerRegistry disconnected(QDBusConnection(QStringLiteral("no-such-connection")));
    EXPECT_FALSE(read(disconnected));
}

} // namespace
} // namespace corvane
