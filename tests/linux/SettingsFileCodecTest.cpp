#include "linux/SettingsFileCodec.h"

#include <gtest/gtest.h>
#include <toml++/toml.h>

namespace corvane {
namespace {

using namespace std::chrono;

constexpr Date kNinePm = Date(sys_days(2027y / January / 1) + hours(21));

struct Reading {
    const char* text;
    const char* key;
    SettingValue value;
    friend void PrintTo(const Reading& reading, std::ostream* out) { *out << reading.text; }
};

class SettingsFileReadings : public ::testing::TestWithParam<Reading> { };

INSTANTIATE_TEST_SUITE_P(Values, SettingsFileReadings,
    ::testing::Values(Reading {"interval = 60\nthreshold = 15\n", "interval", std::int64_t {60}},
        Reading {"showMenuBar = false", "showMenuBar", false},
        Reading {"\"AA:BB\" = 2027-01-01T21:00:00Z", "AA:BB", kNinePm},
        Reading {"\"O'B\" = 2027-01-01T23:00:00.00025+02:00", "O'B", kNinePm + microseconds(250)},
        Reading {"K = 4001-01-01T00:00:00Z # warned", "K", kDistantFuture},
        Reading {"threshold = \"high\"", "threshold", OtherSetting {}},
        Reading {"\"AA:BB\" = 1979-05-27T07:32:00", "AA:BB", OtherSetting {}},
        Reading {"interval = 2.5", "interval", OtherSetting {}},
        Reading {"[window]\n\"a b\" = [1, { c = 'd' }]\n", "window", OtherSetting {}},
        Reading {"interval = 60", "threshold", std::monostate {}}));

// Every file that parses reads as its values, and written out again it means
// the same to any TOML reader and reads back the same.
TEST_P(SettingsFileReadings, ReadsAsItsValueAndIsWrittenBackUnchanged)
{
    std::string problem;
    const auto table = SettingsFileCodec::decode(GetParam().text, problem);
    ASSERT_TRUE(table) << problem;
    const auto found = table->find(GetParam().key);
    EXPECT_EQ(found == table->end() ? SettingValue {} : found->second.value, GetParam().value);
    const auto written = SettingsFileCodec::encode(*table);
    EXPECT_EQ(toml::parse(written), toml::parse(GetParam().text)) << written;
    const auto reread = SettingsFileCodec::decode(written, problem);
    ASSERT_TRUE(reread) << written;
    for (const auto& [key, setting] : *table)
        EXPECT_EQ(reread->at(key).value, setting.value) << key;
    EXPECT_EQ(SettingsFileCodec::encode(*reread), written);
}

TEST(SettingsFileCodecTest, TextThatDoesNotParseIsRejectedWithItsLine)
{
    std::string problem;
    EXPECT_FALSE(SettingsFileCodec::decode("interval = 60\nthreshold = [[\n", problem));
    EXPECT_NE(problem.find("(line 2)"), std::string::npos) << problem;
}

// Keys as devices may name themselves; the TOML library alone writes some of them bare, and the file then breaks.
class SettingsKeys : public ::testing::TestWithParam<const char*> { };

INSTANTIATE_TEST_SUITE_P(Serials, SettingsKeys,
    ::testing::Values(
        "AA:BB:CC:DD:EE:FF", "O'BRIEN", "'", "<B>&AMP;", "A.B", "K380 \\ 1", "\"Q\" = [X]", "ÄÖ'", "TAB\tNUL\x7f"));

TEST_P(SettingsKeys, DatesAreWrittenToTheMicrosecondInUtcInAFileThatParses)
{
    const Date remind = kNinePm + microseconds(250);
    const auto entry = SettingsFileCodec::entryFor(remind);
    ASSERT_TRUE(entry);
    const auto text = SettingsFileCodec::encode(
        {{GetParam(), *entry}, {"interval", *SettingsFileCodec::entryFor(std::int64_t {60})}});
    EXPECT_NE(text.find("= 2027-01-01T21:00:00.00025Z"), std::string::npos) << text;
    std::string problem;
    const auto table = SettingsFileCodec::decode(text, problem);
    ASSERT_TRUE(table) << text << problem;
    EXPECT_EQ(table->at(GetParam()).value, SettingValue(remind));
    EXPECT_EQ(table->at("interval").value, SettingValue(std::int64_t {60}));
}

TEST(SettingsFileCodecTest, OnlyValuesTheSystemMakesAreStored)
{
    EXPECT_FALSE(SettingsFileCodec::entryFor(std::monostate {}));
    EXPECT_FALSE(SettingsFileCodec::entryFor(OtherSetting {}));
    EXPECT_FALSE(SettingsFileCodec::entryFor(Date(sys_days(10000y / January / 1))));
    EXPECT_FALSE(SettingsFileCodec::entryFor(Date(sys_days(-1y / December / 31))));
}

} // namespace
} // namespace corvane
