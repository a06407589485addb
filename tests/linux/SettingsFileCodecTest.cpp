#include "linux/SettingsFileCodec.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using namespace std::chrono;

constexpr Date kNinePm = Date(sys_days(2027y / January / 1) + hours(21));

// Every file that parses reads as its values, and written out again reads back the same, whatever the key; values
// of other types are kept as they were. Arbitrary files and keys written back are the fuzzer's (fuzz/).
TEST(SettingsFileCodecTest, FilesReadAsTheirValuesAndAreWrittenBackUnchanged)
{
    for (const auto& [text, key, value] : std::vector<std::tuple<const char*, const char*, SettingValue>> {
             {"interval = 60\nthreshold = 15\n", "interval", std::int64_t {60}},
             {"showMenuBar = false", "showMenuBar", false}, {"\"AA:BB\" = 2027-01-01T21:00:00Z", "AA:BB", kNinePm},
             {"\"ÄÖ'\" = 2027-01-01T23:00:00.00025+02:00", "ÄÖ'", kNinePm + microseconds(250)},
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
        const auto reread = SettingsFileCodec::decode(SettingsFileCodec::encode(*table), problem);
        ASSERT_TRUE(reread) << problem;
        for (const auto& [name, setting] : *table)
            EXPECT_EQ(reread->at(name).value, setting.value) << name;
    }
}

} // namespace
} // namespace corvane
