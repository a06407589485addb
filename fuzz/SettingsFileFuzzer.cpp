// Feeds arbitrary bytes to the settings-file codec as a file's text, then
// stores two values in what it read and writes the table out again. Must
// hold: no crash or sanitizer report; text that does not parse is rejected
// with a reason; the written text parses, holds both stored values, and every other
// value reads as it did before, with the same text.

#include "linux/SettingsFileCodec.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using corvane::SettingsFileCodec;
using corvane::SettingValue;

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "settings file fuzzer: %s\n", what);
    std::abort();
}

// A key as the system would write one: a device's serial number, printable
// text of at most 128 characters, here taken from the input's first line.
std::string serialKeyFrom(std::string_view data)
{
    std::string key;
    for (char c : data.substr(0, data.find('\n'))) {
        if (c >= 0x20 && c <= 0x7e && key.size() < 128)
            key.push_back(c);
    }
    return key.empty() || key == "interval" ? std::string("AA:BB:CC:DD:EE:FF") : key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    std::string problem;
    const auto table = SettingsFileCodec::decode(content, problem);
    if (!table) {
        if (problem.empty())
            fail("text that does not parse was rejected without a reason");
        return 0;
    }

    const std::string serialKey = serialKeyFrom(content);
    const corvane::Date reminder = corvane::Date {std::chrono::microseconds {1'700'000'000'123'456}};
    auto written = *table;
    written.insert_or_assign("interval", *SettingsFileCodec::entryFor(std::int64_t {1800}));
    written.insert_or_assign(serialKey, *SettingsFileCodec::entryFor(reminder));
    const auto text = SettingsFileCodec::encode(written);
    const auto reread = SettingsFileCodec::decode(text, problem);
    if (!reread)
        fail("the codec wrote text that does not parse");
    if (reread->at("interval").value != SettingValue {std::int64_t {1800}})
        fail("the written interval did not survive");
    if (reread->at(serialKey).value != SettingValue {reminder})
        fail("the written reminder date did not survive");
    for (const auto& [key, setting] : *table) {
        const auto found = reread->find(key);
        if (key != "interval" && key != serialKey
            && (found == reread->end() || found->second.value != setting.value || found->second.text != setting.text))
            fail("a value present before the writes changed or was lost");
    }
    return 0;
}
