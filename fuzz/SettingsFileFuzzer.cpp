// Feeds arbitrary bytes to the settings-file loader as the file's content, then
// writes through the store. Must hold: no crash or sanitizer report; a file that
// does not parse is kept aside byte for byte; after two writes the file parses,
// holds both written values, and every other value reads as it did before.

#include "linux/FileSettingsStore.h"
#include "linux/SettingsFiles.h"

#include <toml++/toml.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;
using corvane::SettingValue;
using corvane::test::contentOf;
using corvane::test::keptAside;

namespace {

fs::path g_folder;

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

std::optional<toml::table> parsed(const std::string& content)
{
    try {
        return toml::parse(content);
    } catch (const toml::parse_error&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The store's messages about broken files would drown libFuzzer's own.
    std::cerr.rdbuf(nullptr);
    // tmpfs where there is one: every write syncs the file.
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string folder = (base / "corvane-fuzz-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr)
        fail("cannot make a temporary folder");
    g_folder = folder;
    std::atexit([] { fs::remove_all(g_folder); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string content(reinterpret_cast<const char*>(data), size);
    const fs::path folder = g_folder / "corvane";
    const fs::path file = folder / "settings.toml";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(file, std::ios::binary) << content;
    // An old file: no editor can still be writing it, so it is read as it stands.
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));

    const auto table = parsed(content);
    const std::string serialKey = serialKeyFrom(content);
    const corvane::Date reminder = corvane::Date {std::chrono::microseconds {1'700'000'000'123'456}};
    std::vector<std::pair<std::string, SettingValue>> before;
    {
        corvane::FileSettingsStore store(file);
        if (table) {
            for (const auto& [key, node] : *table) {
                const std::string name(key.str());
                if (name != "interval" && name != serialKey)
                    before.emplace_back(name, store.value(name));
            }
        } else {
            const auto aside = keptAside(folder);
            if (aside.size() != 1)
                fail("a file that does not parse was not kept aside exactly once");
            if (contentOf(aside.front()) != content)
                fail("the file kept aside differs from the one that did not parse");
            if (!std::holds_alternative<std::monostate>(store.value("interval")))
                fail("a store whose file did not parse does not start empty");
        }
        store.setValue("interval", std::int64_t {1800});
        store.setValue(serialKey, reminder);
    }

    if (!parsed(contentOf(file)))
        fail("the store wrote a file that does not parse");
    corvane::FileSettingsStore reopened(file);
    if (reopened.value("interval") != SettingValue {std::int64_t {1800}})
        fail("the written interval did not survive");
    if (reopened.value(serialKey) != SettingValue {reminder})
        fail("the written reminder date did not survive");
    for (const auto& [key, value] : before) {
        if (reopened.value(key) != value)
            fail("a value present before the writes changed or was lost");
    }
    return 0;
}
