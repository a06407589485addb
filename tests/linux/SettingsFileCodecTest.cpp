#include "linux/SettingsFileCodec.h"

#include <gtest/gtest.h>
#include <toml++/toml.h>

namespace corvane {
namespace {

using namespace std::chrono;

constexpr Date kNinePm = Date(sys_days(2027y / January / 1) + hours(21));

// Every file that parses reads as its values, and written out again it means the same to any TOML reader
// and reads back the same; values of other types are kept as they were.
TEST(SettingsFileCodecTest, FilesReadAsTheirValuesAndAreWrittenBackUnchanged)
{
    for (const auto& [text, key, value] : std::vector<std::tuple<const char*, const char*, SettingValue>> {
             {"interval = 60\nthreshold = 15\n", "interval", std::int64_t {60}},
             {"showMenuBar = false", "showMenuBar", false}, {"\"AA:BB\" = 2027-01-01T21:00:00Z", "AA:BB", kNinePm},
             {"\"O'B\" = 2027-01-01T23:00:00.00025+02:00", "O'B", kNinePm + microseconds(250)},
             {"K = 4001-01-01T00:00:00Z # warned", "K", kDistantFuture},
             {"\"AA:BB\" = 1979-05-27T07:32:00", "AA:BB", OtherSetting {}},
             {"[window]\n\"a b\" = [1, { c = 'd' }]\n", "window", OtherSetting {}},
             {"interval = 60", "threshold", std::monostate {}}}) {
        SCOPED_TRACE(text);
        std::string problem;
        const auto table = SettingsFileCodec::decode(text, problem);
        ASSERT_TRUE(table) << problem;
        const auto found = table->find(key);
        EXPECT_EQ(found == table->end() ? SettingValue {} : found->second.value, value);
        const auto written = SettingsFileCodec::encode(*table);
        EXPECT_EQ(toml::parse(written), toml::parse(text)) << written;
        const auto reread = SettingsFileCodec::decode(written, problem);
        ASSERT_TRUE(reread) << written;
        for (const auto& [name, setting] : *table)
            EXPECT_EQ(reread->at(name).value, setting.value) << name;
        EXPECT_EQ(SettingsFileCodec::encode(*reread), written);
    }
    std::string problem;
    EXPECT_FALSE(SettingsFileCodec::decode("interval = 60\nthreshold = [[\n", problem));
    EXPECT_NE(problem.find("(line 2)"), std::string::npos) << problem;
}

// Keys as devices may name themselves; the TOML library alone writes some of them bare, and the file then breaks.
TEST(SettingsFileCodecTest, DatesAreWrittenToTheMicrosecondInUtcInAFileThatParsesWhateverTheKey)
{
    const Date remind = kNinePm + microseconds(250);
    for (const char* key : {"AA:BB:CC:DD:EE:FF", "O'BRIEN", "A.B", "K380 \\ 1", "\"Q\" = [X]", "ÄÖ'", "TAB\tNUL\x7f"}) {
        const auto text = SettingsFileCodec::encode({{key, *SettingsFileCodec::entryFor(remind)},
            {"interval", *SettingsFileCodec::entryFor(std::int64_t {60})}});
        EXPECT_NE(text.find("= 2027-01-01T21:00:00.00025Z"), std::string::npos) << text;
        std::string problem;
        const auto table = SettingsFileCodec::decode(text, problem);
        ASSERT_TRUE(table) << text << problem;
        EXPECT_EQ(table->at(key).value, SettingValue(remind));
        EXPECT_EQ(table->at("interval").value, SettingValue(std::int64_t {60}));
    }
    for (const SettingValue& unstored : std::vector<SettingValue> {std::monostate {}, OtherSetting {},
             Date(sys_days(10000y / January / 1)), Date(sys_days(-1y / December / 31))})
        EXPECT_FALSE(SettingsFileCodec::entryFor(unstored)) << unstored.index();
}

} // namespace
} // namespace corvane
