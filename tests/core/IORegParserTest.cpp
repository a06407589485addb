#include "core/IORegParser.h"
#include "core/RegistryKey.h"
#include "support/FakePlatform.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

using test::keyboardEntry;
using test::mouseEntry;
using test::Properties;
using Kind = BatteryStatus::Kind;

constexpr const char* kManaged = "AppleDeviceManagementHIDEventService";
constexpr const char* kPointing = "BNBMouseDevice";

class IORegParserTest : public ::testing::Test {
protected:
    // One refresh's worth of reading: both passes, in the view model's order.
    std::vector<Device> readBoth()
    {
        IORegParser reader(registry, settings);
        test::finish(main, reader.readDevices(RegistryKey::appleDeviceManagementHIDEventService, main));
        test::finish(main, reader.readDevices(RegistryKey::bnbMouseDevice, main));
        return test::finish(main, reader.devices(main));
    }

    test::ManualExecutor main;
    test::FakeRegistry registry;
    test::InMemorySettingsStore settings;
};

TEST(RegistryKeyTest, RawValuesConvertBothWays)
{
    for (std::uint8_t raw = 0; raw < 8; ++raw) {
        auto key = static_cast<RegistryKey>(raw);
        EXPECT_EQ(registryKeyFromRawValue(rawValue(key)), key);
    }
    EXPECT_EQ(rawValue(RegistryKey::batteryStatusFlags), "BatteryStatusFlags");
    EXPECT_EQ(rawValue(RegistryKey::bnbMouseDevice), "BNBMouseDevice");
    EXPECT_EQ(registryKeyFromRawValue("product"), std::nullopt);
    EXPECT_EQ(registryKeyFromRawValue(""), std::nullopt);
    static_assert(sizeof(RegistryKey) == 1);
}

TEST_F(IORegParserTest, ManagedDevicesComeFirstThenPointingDevicesEachInRegistryOrder)
{
    registry.setEntries(kPointing, {mouseEntry("Mouse B", "M2", 50, false), mouseEntry("Mouse A", "M1", 60, false)});
    registry.setEntries(kManaged, {keyboardEntry("Keys Z", "K2", 70), keyboardEntry("Keys Y", "K1", 80)});
    std::vector<std::string> serials;
    for (const auto& device : readBoth())
        serials.push_back(device.serialNumber);
    EXPECT_EQ(serials, (std::vector<std::string> {"K2", "K1", "M2", "M1"}));
}

struct StatusCase {
    const char* what;
    const char* serviceClass;
    Properties entry;
    Kind kind;
    std::int64_t percent;
};

class EntryStatusTest : public ::testing::TestWithParam<StatusCase> { };

TEST_P(EntryStatusTest, StatusFollowsTheRulesOfTheServiceClass)
{
    const auto& param = GetParam();
    test::FakeRegistry registry;
    registry.setEntries(param.serviceClass, {param.entry});
    auto session = registry.openSession();
    auto services = session->matchingServices(param.serviceClass);
    auto entry = services->next();
    auto serviceClass = registryKeyFromRawValue(param.serviceClass).value();
    auto device = IORegParser::deviceFromEntry(*entry, serviceClass, 20);
    ASSERT_TRUE(device.has_value());
    EXPECT_EQ(device->status.kind, param.kind);
    EXPECT_EQ(device->status.percent, param.percent);
}

Properties withProperty(Properties entry, const std::string& key, RegistryValue value)
{
    entry[key] = std::move(value);
    return entry;
}

INSTANTIATE_TEST_SUITE_P(Cases, EntryStatusTest,
    ::testing::Values(
        StatusCase {"at the threshold is normal", kManaged, keyboardEntry("K", "S", 20), Kind::normal, 20},
        StatusCase {"below the threshold is low", kManaged, keyboardEntry("K", "S", 19), Kind::low, 19},
        StatusCase {"empty is low", kManaged, keyboardEntry("K", "S", 0), Kind::low, 0},
        StatusCase {"charging wins over low", kManaged, keyboardEntry("K", "S", 3, 3), Kind::charging, 3},
        StatusCase {"other flags are not charging", kManaged, keyboardEntry("K", "S", 3, 2), Kind::low, 3},
        StatusCase {"flags of another type are not charging", kManaged,
            withProperty(keyboardEntry("K", "S", 50), "BatteryStatusFlags", std::string("3")), Kind::normal, 50},
        StatusCase {"mouse low flag wins at any level", kPointing, mouseEntry("M", "S", 90, true), Kind::low, 90},
        StatusCase {
            "mouse without low flag is normal at 1", kPointing, mouseEntry("M", "S", 1, false), Kind::normal, 1},
        StatusCase {"mouse never charges", kPointing,
            withProperty(mouseEntry("M", "S", 40, false), "BatteryStatusFlags", std::int64_t {3}), Kind::normal, 40},
        StatusCase {"not a mouse keeps its own percent", kPointing,
            withProperty(mouseEntry("M", "S", 33, true), "HIDDefaultBehavior", std::string("Keyboard")), Kind::normal,
            33},
        StatusCase {"low flag of another type is not low", kPointing,
            withProperty(mouseEntry("M", "S", 10, true), "BatteryLow", std::int64_t {1}), Kind::normal, 10}),
    [](const auto& testCase) {
        std::string name = testCase.param.what;
        for (auto& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST_F(IORegParserTest, ProductFamilyNamesDropTheirModelSuffixOnly)
{
    registry.setEntries(kManaged,
        {keyboardEntry("Magic Keyboard with Numeric Keypad", "A", 50), keyboardEntry("magic keyboard 2", "B", 50),
            keyboardEntry("My Magic Keyboard", "C", 50), keyboardEntry("Magic Keyboard", "D", 50)});
    auto devices = readBoth();
    ASSERT_EQ(devices.size(), 4U);
    EXPECT_EQ(devices[0].name, "Magic Keyboard");
    EXPECT_EQ(devices[1].name, "magic keyboard 2");
    EXPECT_EQ(devices[2].name, "My Magic Keyboard");
    EXPECT_EQ(devices[3].name, "Magic Keyboard");
}

TEST_F(IORegParserTest, EntriesNeverInheritValuesFromTheEntryBefore)
{
    registry.setEntries(kManaged,
        {
            keyboardEntry("Keyboard A", "SERIAL-A", 80, 3),
            {{"Product", std::string("No Serial")}, {"BatteryPercent", std::int64_t {5}}},
            {{"SerialNumber", std::string("SERIAL-C")}, {"BatteryPercent", std::int64_t {7}}},
            {{"Product", std::string("Bad Serial")}, {"SerialNumber", std::int64_t {42}},
                {"BatteryPercent", std::int64_t {9}}},
            {{"Product", std::string("No Percent")}, {"SerialNumber", std::string("SERIAL-E")}},
            {{"Product", std::string("Empty Serial")}, {"SerialNumber", std::string()},
                {"BatteryPercent", std::int64_t {9}}},
        });
    registry.setEntries(kPointing,
        {{{"Product", std::string("Odd")}, {"SerialNumber", std::string("SERIAL-F")},
            {"BatteryPercent", std::int64_t {44}}}});
    auto devices = readBoth();
    ASSERT_EQ(devices.size(), 3U) << "only entries with their own serial number and percent count";
    EXPECT_EQ(devices[0].serialNumber, "SERIAL-A");
    EXPECT_EQ(devices[1].serialNumber, "SERIAL-C");
    EXPECT_EQ(devices[1].name, "") << "no name of its own, and not the previous entry's";
    EXPECT_EQ(devices[1].status.kind, Kind::low) << "not the previous entry's charging state";
    EXPECT_EQ(devices[1].status.percent, 7);
    EXPECT_EQ(devices[2].serialNumber, "SERIAL-F");
    EXPECT_EQ(devices[2].status.kind, Kind::normal);
    EXPECT_EQ(devices[2].status.percent, 44);
}

TEST_F(IORegParserTest, DuplicateSerialNumbersAreKeptAsTheRegistryGivesThem)
{
    registry.setEntries(kManaged, {keyboardEntry("Keys", "SAME", 50)});
    registry.setEntries(kPointing, {mouseEntry("Mouse", "SAME", 10, true)});
    auto devices = readBoth();
    ASSERT_EQ(devices.size(), 2U);
    EXPECT_EQ(devices[0].id(), devices[1].id());
}

TEST_F(IORegParserTest, AbsentThresholdMeansTheDefaultAndIsNotWritten)
{
    registry.setEntries(kManaged, {keyboardEntry("K", "A", 19), keyboardEntry("K", "B", 20)});
    auto devices = readBoth();
    EXPECT_EQ(devices[0].status.kind, Kind::low);
    EXPECT_EQ(devices[1].status.kind, Kind::normal);
    EXPECT_FALSE(settings.contains("threshold"));
    EXPECT_TRUE(settings.writes().empty());
}

TEST_F(IORegParserTest, StoredThresholdBelowTheMinimumIsRaisedAndWrittenBack)
{
    registry.failMatching(kManaged);
    registry.failMatching(kPointing);
    for (std::int64_t stored : {-3, 0, 4}) {
        settings.setValue("threshold", stored);
        readBoth();
        EXPECT_EQ(std::get<std::int64_t>(settings.value("threshold")), 5) << "stored " << stored;
    }
    auto writesBefore = settings.writes().size();
    readBoth();
    EXPECT_EQ(settings.writes().size(), writesBefore) << "a stored 5 is used as it is";
}

TEST_F(IORegParserTest, ThresholdOfAnotherTypeReadsAsTheDefaultAndIsLeftAlone)
{
    settings.setValue("threshold", true);
    registry.setEntries(kManaged, {keyboardEntry("K", "A", 19)});
    auto devices = readBoth();
    EXPECT_EQ(devices[0].status.kind, Kind::low);
    EXPECT_EQ(settings.value("threshold"), SettingValue(true));
}

TEST_F(IORegParserTest, FailedMatchingLeavesTheOtherClassAndReleasesEverything)
{
    registry.failMatching(kManaged);
    registry.setEntries(kPointing, {mouseEntry("Mouse", "M", 50, false)});
    auto devices = readBoth();
    ASSERT_EQ(devices.size(), 1U);
    EXPECT_EQ(devices[0].serialNumber, "M");
    EXPECT_EQ(registry.sessionsOpened(), 1) << "both passes of one reader share one look at the registry";
    EXPECT_EQ(registry.objectsAlive(), 0) << "entries, iterators and the session are all released";
}

} // namespace
} // namespace corvane
