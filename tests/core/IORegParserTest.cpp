#include "core/IORegParser.h"
#include "core/runtime/ThreadPoolExecutor.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using namespace test;

// Each entry follows one that would lend it a different value, should any carry over. No handle of the
// registry but the reader's session outlives the read.
TEST(IORegParserTest, EachEntryIsJudgedOnItsOwnPropertiesManagedDevicesFirst)
{
    const auto with = [](Properties entry, const std::string& key, RegistryValue value) {
        entry[key] = std::move(value);
        return entry;
    };
    FakeRegistry registry;
    InMemorySettingsStore settings;
    registry.setEntries("BNBMouseDevice",
        {mouseEntry("Mouse", "M1", 90, true), with(mouseEntry("Pad", "M2", 33, true), "HIDDefaultBehavior", "Pad"),
            mouseEntry("Mouse", "M3", 1, false), with(mouseEntry("Mouse", "M4", 10, true), "BatteryLow", 1)});
    registry.setEntries("AppleDeviceManagementHIDEventService",
        {keyboardEntry("Magic Keyboard with Numeric Keypad", "K1", 3, 3),
            {{"SerialNumber", "K2"}, {"BatteryPercent", 7}}, {{"Product", "No serial"}}, {{"SerialNumber", "K3"}},
            {{"SerialNumber", 42}, {"BatteryPercent", 9}}, keyboardEntry("Keys", "", 9),
            keyboardEntry("My Magic Keyboard 2", "K4", 20, 2),
            with(keyboardEntry("Keys", "K5", 19), "BatteryStatusFlags", "3")});
    ManualExecutor main;
    SerialExecutor worker;
    IORegParser reader(registry, settings, worker);
    finish(main, reader.readDevices(RegistryKey::appleDeviceManagementHIDEventService, main));
    finish(main, reader.readDevices(RegistryKey::bnbMouseDevice, main));
    std::vector<std::string> devices;
    for (const auto& [name, serial, status] : finish(main, reader.devices(main)))
        devices.push_back(name + "|" + serial + " " + "LNC"[int(status.kind)] + std::to_string(status.percent));
    EXPECT_EQ(devices,
        (std::vector<std::string> {"Magic Keyboard|K1 C3", "|K2 L7", "My Magic Keyboard 2|K4 N20", "Keys|K5 L19",
            "Mouse|M1 L90", "Pad|M2 N33", "Mouse|M3 N1", "Mouse|M4 N10"}));
    EXPECT_EQ(registry.objectsAlive(), 1) << "only the session outlives the read";
}

TEST(IORegParserTest, ThresholdIsTheStoredOneRaisedToTheMinimumOrElseTheDefault)
{
    const SettingValue absent;
    for (const auto& [stored, threshold, after] : std::vector<std::tuple<SettingValue, std::int64_t, SettingValue>> {
             {absent, 20, absent}, {-3L, 5, 5L}, {4L, 5, 5L}, {5L, 5, 5L}, {25L, 25, 25L}, {true, 20, true}}) {
        InMemorySettingsStore settings;
        if (stored != absent)
            settings.setValue("threshold", stored);
        const auto writes = settings.writes().size();
        EXPECT_EQ(IORegParser::normalisedThreshold(settings), threshold);
        EXPECT_EQ(settings.value("threshold"), after);
        EXPECT_EQ(settings.writes().size() - writes, stored == after ? 0U : 1U) << "written back only when raised";
    }
}

} // namespace
} // namespace corvane
