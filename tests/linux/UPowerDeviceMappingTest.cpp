#include "linux/UPowerDeviceMapping.h"

#include <gtest/gtest.h>

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
    using Shown = std::vector<std::string>;
    const auto seen = [](const char* serial, double percent, unsigned state) {
        return kb(percent, [&](auto& d) { d.serial = serial, d.state = state; });
    };
    const std::tuple<const char*, std::vector<UPowerDevice>, Shown> cases[] = {
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

} // namespace
} // namespace corvane
