#include "linux/UPowerDeviceMapping.h"

#include <gtest/gtest.h>

#include <map>

namespace corvane {
namespace {

using Entries = std::map<std::string, std::map<std::string, RegistryValue>>; // by "<class> <serial>"

// A discharging Bluetooth keyboard "K" at `percentage`, as BlueZ's battery reaches UPower.
UPowerDevice kb(double percentage)
{
    return {6U, false, true, "K", "aa:bb:cc:dd:ee:01", "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01", percentage, 2U, 1U};
}
template <typename Change> UPowerDevice kb(double percentage, Change change)
{
    auto device = kb(percentage);
    change(device);
    return device;
}

const std::string kHid = "AppleDeviceManagementHIDEventService AA:BB:CC:DD:EE:01";
const std::string kMouse = "BNBMouseDevice AA:BB:CC:DD:EE:01";
const RegistryValue kCharging {std::int64_t {3}};
const RegistryValue kAbsent {};

// The same keyboard as the kernel's HID battery: no serial, the address in its path, charging.
const UPowerDevice kKernel = kb(70, [](auto& d) {
    d.model = "Kernel";
    d.serial = "";
    d.nativePath = "hid-aa:bb:cc:dd:ee:01-battery";
    d.state = 1U;
});
const UPowerDevice kBlueZUnknownState = kb(71, [](auto& d) { d.state = 0U; });

// Each entry's properties that matter, in the order the entries come.
std::vector<std::pair<std::string, std::map<std::string, RegistryValue>>> mapped(
    const std::vector<UPowerDevice>& devices)
{
    std::vector<std::pair<std::string, std::map<std::string, RegistryValue>>> result;
    for (const auto& entry : UPowerDeviceMapping::entries(devices)) {
        auto& [name, properties] = result.emplace_back();
        name = entry.serviceClass + " " + std::get<std::string>(entry.properties.at("SerialNumber"));
        for (const auto& [key, value] : entry.properties)
            properties[key] = value;
    }
    return result;
}

struct MappingCase {
    const char* what;
    std::vector<UPowerDevice> devices;
    Entries expected; // every entry, with the properties checked
};

TEST(UPowerDeviceMapping, GivesOneEntryPerInputDevice)
{
    for (const auto& [what, devices, expected] :
        std::vector<MappingCase> {MappingCase {"rounded percent, upper-case serial", {kb(84.6)},
                                      {{kHid,
                                          {{"Product", std::string("K")}, {"BatteryPercent", std::int64_t {85}},
                                              {"BatteryLow", kAbsent}, {"BatteryStatusFlags", std::int64_t {0}}}}}},
            MappingCase {
                "charging", {kb(12, [](auto& d) { d.state = 1U; })}, {{kHid, {{"BatteryStatusFlags", kCharging}}}}},
            // Pointing devices with a coarse level (1 is none) are low at 3 and 4; keyboards ignore it.
            MappingCase {"mouse low", {kb(55, [](auto& d) { d.type = 5U, d.batteryLevel = 3U; })},
                {{kMouse, {{"BatteryLow", true}, {"HIDDefaultBehavior", std::string("Mouse")}}}}},
            MappingCase {"touchpad critical", {kb(55, [](auto& d) { d.type = 14U, d.batteryLevel = 4U; })},
                {{kMouse, {{"BatteryLow", true}}}}},
            MappingCase {"touchpad full", {kb(55, [](auto& d) { d.type = 14U, d.batteryLevel = 8U; })},
                {{kMouse, {{"BatteryLow", false}}}}},
            MappingCase {"keyboard with a level", {kb(55, [](auto& d) { d.batteryLevel = 3U; })},
                {{kHid, {{"BatteryLow", kAbsent}}}}},
            MappingCase {
                "mouse without a level", {kb(55, [](auto& d) { d.type = 5U; })}, {{kHid, {{"BatteryLow", kAbsent}}}}},
            // Zero is a reading only once the state is known.
            MappingCase {
                "empty", {kb(0, [](auto& d) { d.state = 3U; })}, {{kHid, {{"BatteryPercent", std::int64_t {0}}}}}},
            MappingCase {
                "just connected", {kb(0, [](auto& d) { d.state = 0U; })}, {{kHid, {{"BatteryPercent", kAbsent}}}}},
            MappingCase {"out of range", {kb(100.5)}, {{kHid, {{"BatteryPercent", kAbsent}}}}},
            // The kernel's and BlueZ's battery of one keyboard are one device, in either order.
            MappingCase {"kernel first", {kKernel, kBlueZUnknownState},
                {{kHid, {{"Product", std::string("Kernel")}, {"BatteryStatusFlags", kCharging}}}}},
            MappingCase {"kernel second", {kBlueZUnknownState, kKernel},
                {{kHid, {{"Product", std::string("Kernel")}, {"BatteryStatusFlags", kCharging}}}}},
            MappingCase {"not input peripherals, or without an identity",
                {kb(50, [](auto& d) { d.type = 2U; }), kb(50, [](auto& d) { d.powerSupply = true; }),
                    kb(50, [](auto& d) { d.isPresent = false; }), kb(50, [](auto& d) { d.isPresent.reset(); }),
                    kb(50, [](auto& d) { d.type.reset(); }),
                    kb(50, [](auto& d) { d.serial = "", d.nativePath = "hid-0003:046D:C52B.0005-battery"; }),
                    kb(50, [](auto& d) { d.serial = "", d.nativePath = "/x/aa:bb:cc:dd:ee:ff0-battery"; })},
                {}}}) {
        SCOPED_TRACE(what);
        const auto entries = mapped(devices);
        ASSERT_EQ(entries.size(), expected.size());
        for (const auto& [entry, properties] : entries) {
            ASSERT_TRUE(expected.contains(entry)) << entry;
            for (const auto& [key, value] : expected.at(entry)) {
                auto found = properties.find(key);
                EXPECT_EQ(found == properties.end() ? kAbsent : found->second, value) << entry << " " << key;
            }
        }
    }
}

// Every device seen twice, the second time charging: one entry each, in the order first seen, from the
// charging one. (How the merge scales is RefreshBench's to show.)
TEST(UPowerDeviceMapping, MergesTwiceSeenDevicesInFirstSeenOrder)
{
    std::vector<UPowerDevice> devices;
    for (const unsigned state : {0U, 1U}) {
        for (const char* serial : {"S2", "S0", "S1"})
            devices.push_back(kb(50 + state, [&](auto& d) { d.serial = serial, d.state = state; }));
    }
    std::vector<std::string> seen;
    for (const auto& entry : UPowerDeviceMapping::entries(devices))
        seen.push_back(std::get<std::string>(entry.properties.at("SerialNumber")) + " "
            + std::to_string(std::get<std::int64_t>(entry.properties.at("BatteryPercent"))));
    EXPECT_EQ(seen, (std::vector<std::string> {"S2 51", "S0 51", "S1 51"}));
}

// What a laptop battery reports every 30 s never matters; what a listed device shows does.
TEST(UPowerDeviceMapping, OnlyChangesThatCanAlterTheEntriesMatter)
{
    const std::vector<std::tuple<bool, std::vector<std::string>, bool>> cases {{true, {"Percentage"}, true},
        {true, {"State"}, true}, {true, {"BatteryLevel"}, true}, {true, {"IsPresent"}, true}, {true, {"Model"}, true},
        {true, {"Serial"}, true}, {true, {"NativePath"}, true}, {true, {"UpdateTime", "Energy", "Percentage"}, true},
        {true, {"UpdateTime", "Energy", "TimeToEmpty", "EnergyRate", "Voltage", "Temperature"}, false},
        {true, {"Icon", "WarningLevel", "Capacity", "Luminosity"}, false}, {true, {}, false},
        {false, {"UpdateTime", "Energy", "TimeToEmpty", "Percentage", "State", "IsPresent", "Model"}, false},
        {false, {"Type"}, true}, {false, {"PowerSupply"}, true}, {true, {"percentage"}, false}};
    for (const auto& [listable, changed, matters] : cases) {
        std::string names;
        for (const auto& name : changed)
            names += name + " ";
        EXPECT_EQ(UPowerDeviceMapping::changeMatters(listable, changed), matters) << listable << ": " << names;
    }
}

// Which devices may be listed, and which are worth listening to: all but the machine's own supplies, since
// UPower turns a kernel HID battery into a keyboard once it finds its input device.
TEST(UPowerDeviceMapping, OnlyTheMachinesOwnSuppliesAreNotWorthListeningTo)
{
    const std::vector<std::tuple<const char*, UPowerDevice, bool, bool>> cases {{"keyboard", kb(50), true, true},
        {"absent, no serial", kb(50, [](auto& d) { d.isPresent = false, d.serial.reset(); }), true, true},
        {"not read", UPowerDevice {}, true, true},
        {"laptop battery", kb(50, [](auto& d) { d.type = 2U, d.powerSupply = true; }), false, false},
        {"a supply of another type", kb(50, [](auto& d) { d.powerSupply = true; }), false, false},
        {"line power", kb(50, [](auto& d) { d.type = 1U; }), false, false},
        {"kernel HID battery", kb(50, [](auto& d) { d.type = 2U; }), false, true},
        {"phone", kb(50, [](auto& d) { d.type = 8U; }), false, true}};
    for (const auto& [what, device, could, worth] : cases) {
        EXPECT_EQ(UPowerDeviceMapping::couldList(device), could) << what;
        EXPECT_EQ(UPowerDeviceMapping::worthListeningTo(device), worth) << what;
    }
}

} // namespace
} // namespace corvane
