#include "core/AlertPolicy.h"
#include "core/IORegParser.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using namespace test;

// Each entry follows one that would lend it a different value, should any carry over. Entries of the wrong
// types are the mapping fuzzer's.
TEST(IORegParserTest, EachEntryIsJudgedOnItsOwnPropertiesManagedDevicesFirst)
{
    FakePlatform fake;
    auto pad = mouseEntry("Pad", "M2", 33, true);
    pad["HIDDefaultBehavior"] = std::string("Pad");
    fake.registry.setEntries(
        "BNBMouseDevice", {mouseEntry("Mouse", "M1", 90, true), pad, mouseEntry("Mouse", "M3", 1, false)});
    fake.registry.setEntries("AppleDeviceManagementHIDEventService",
        {keyboardEntry("Magic Keyboard with Numeric Keypad", "K1", 3, 3),
            {{"SerialNumber", "K2"}, {"BatteryPercent", 7}}, {{"SerialNumber", "K3"}},
            keyboardEntry("My Magic Keyboard 2", "K4", 20, 2), keyboardEntry("Keys", "K5", 19)});
    IORegParser reader(fake.registry, fake.settings, fake.reader);
    finish(fake.main, reader.readDevices(RegistryKey::appleDeviceManagementHIDEventService, fake.main));
    finish(fake.main, reader.readDevices(RegistryKey::bnbMouseDevice, fake.main));
    std::vector<std::string> devices;
    for (const auto& [name, serial, status] : finish(fake.main, reader.devices(fake.main)))
        devices.push_back(name + "|" + serial + " " + "LNC"[int(status.kind)] + std::to_string(status.percent));
    EXPECT_EQ(devices,
        (std::vector<std::string> {"Magic Keyboard|K1 C3", "|K2 L7", "My Magic Keyboard 2|K4 N20", "Keys|K5 L19",
            "Mouse|M1 L90", "Pad|M2 N33", "Mouse|M3 N1"}));
}

TEST(IORegParserTest, ThresholdIsTheStoredOneRaisedToTheMinimumOrElseTheDefault)
{
    const SettingValue absent;
    for (const auto& [stored, threshold, after] : std::vector<std::tuple<SettingValue, std::int64_t, SettingValue>> {
             {absent, 20, absent}, {4L, 5, 5L}, {5L, 5, 5L}, {25L, 25, 25L}}) {
        InMemorySettingsStore settings; // nothing stored reads as a value of no type
        settings.setValue("threshold", stored);
        EXPECT_EQ(IORegParser::normalisedThreshold(settings), threshold);
        EXPECT_EQ(settings.value("threshold"), after);
    }
}

using namespace std::chrono;

TEST(AlertPolicyTest, DecidesFromStatusStoredValueShownNotificationAndDay)
{
    test::FakeCalendar calendar; // noon
    const Date now = calendar.now();
    const auto low = BatteryStatus::low;
    const std::optional<bool> unknown;
    using enum AlertDecision;
    // The case, the status, the value stored, whether its notification is still shown (unknown: not asked), and
    // the decision.
    for (const auto& [name, status, stored, shown, decision] :
        std::vector<std::tuple<const char*, BatteryStatus, SettingValue, std::optional<bool>, AlertDecision>> {
            {"not low, nothing stored", BatteryStatus::normal(50), {}, unknown, skip},
            {"normal forgets the distant future", BatteryStatus::normal(50), kDistantFuture, unknown, forget},
            {"charging forgets a remind date", BatteryStatus::charging(3), now, unknown, forget},
            {"low, nothing stored", low(15), {}, unknown, warn},
            {"low at 0, nothing stored", low(0), {}, unknown, warn},
            {"low, a value of another type", low(15), OtherSetting {}, unknown, warn},
            {"low, warned already", low(15), kDistantFuture, unknown, skip},
            {"low at 0, warned already or never", low(0), kDistantFuture, unknown, forget},
            {"low, reminder tomorrow", low(15), now + days(1), unknown, skip},
            {"low at 0, reminder tomorrow", low(0), now + days(1), unknown, forget},
            {"low, reminder today", low(15), now - hours(2), unknown, askWhetherShown},
            {"low, reminder later today", low(15), now + hours(2), false, warn},
            {"low, reminder today, not shown", low(15), now - hours(2), false, warn},
            {"low, reminder today, still shown", low(15), now - hours(2), true, skip},
            {"low at 0, reminder today, still shown", low(0), now - hours(2), true, forget},
            {"low at 0, reminder today, not shown", low(0), now - hours(2), false, warn},
            {"low, reminder day missed", low(15), now - days(3), unknown, askWhetherShown},
        })
        EXPECT_EQ(decideAlert({"Mouse", "SN", status}, stored, shown, calendar), decision) << name;
}

} // namespace
} // namespace corvane
