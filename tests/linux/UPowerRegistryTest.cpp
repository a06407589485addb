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

// A keyboard "K" with these properties changed.
QVariantMap kb(double percentage, const QVariantMap& overrides = {})
{
    return UPowerMock::keyboard("K", percentage, overrides);
}

const std::string kHid = "AppleDeviceManagementHIDEventService AA:BB:CC:DD:EE:01";
const std::string kMouse = "BNBMouseDevice AA:BB:CC:DD:EE:01";
const auto kKernel
    = kb(70, {{"Model", "Kernel"}, {"Serial", ""}, {"NativePath", "hid-aa:bb:cc:dd:ee:01-battery"}, {"State", 1U}});
const RegistryValue kCharging {std::int64_t {3}};

class UPowerRegistryTest : public ::testing::TestWithParam<MappingCase> { };

INSTANTIATE_TEST_SUITE_P(Devices, UPowerRegistryTest,
    ::testing::Values(
        MappingCase {{kb(84.6, {{"Serial", "aa:bb:cc:dd:ee:01"}})},
            {{kHid, {{"Product", std::string("K")}, {"BatteryPercent", std::int64_t {85}}, {"BatteryLow", {}}}}}},
        MappingCase {{kb(12, {{"State", 1U}})}, {{kHid, {{"BatteryStatusFlags", kCharging}}}}},
        // Pointing devices with a coarse level (1 is none) are low at 3 and 4; keyboards ignore it.
        MappingCase {{kb(55, {{"Type", 5U}, {"BatteryLevel", 3U}})}, {{kMouse, {{"BatteryLow", true}}}}},
        MappingCase {{kb(55, {{"Type", 14U}, {"BatteryLevel", 8U}})}, {{kMouse, {{"BatteryLow", false}}}}},
        MappingCase {{kb(55, {{"BatteryLevel", 3U}})}, {{kHid, {{"BatteryLow", {}}}}}},
        MappingCase {{kb(55, {{"Type", 5U}})}, {{kHid, {{"BatteryLow", {}}}}}},
        // Zero is a reading only once the state is known.
        MappingCase {{kb(0, {{"State", 3U}})}, {{kHid, {{"BatteryPercent", std::int64_t {0}}}}}},
        MappingCase {{kb(0, {{"State", 0U}})}, {{kHid, {{"BatteryPercent", {}}}}}},
        // A kernel battery is known by the address in its path and is the same device as BlueZ's, in either order.
        MappingCase {{kKernel, kb(71, {{"State", 0U}})},
            {{kHid, {{"Product", std::string("Kernel")}, {"BatteryStatusFlags", kCharging}}}}},
        MappingCase {{kb(71, {{"State", 0U}}), kKernel},
            {{kHid, {{"Product", std::string("Kernel")}, {"BatteryStatusFlags", kCharging}}}}},
        // Not input peripherals, or without an identity.
        MappingCase {{kb(50, {{"Type", 2U}}), kb(50, {{"PowerSupply", true}}), kb(50, {{"IsPresent", false}}),
                         kb(50, {{"Type", 6}}), kb(50, {{"IsPresent", "yes"}}),
                         kb(50, {{"Serial", ""}, {"NativePath", "hid-0003:046D:C52B.0005-battery"}})},
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
