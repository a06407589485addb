#pragma once

#include "core/SettingsStore.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// One key's value as the settings file holds it: what it reads as, and the
// value written as TOML on one line. Two values are the same when their text is.
struct StoredSetting {
    SettingValue value;
    std::string text;
    bool operator==(const StoredSetting& other) const { return text == other.text; }
};
using SettingsTable = std::map<std::string, StoredSetting>;

// The settings file's text and the table of its top-level keys, both ways,
// with no file involved. Integers, booleans and offset date-times read as
// such; every other TOML value (a date-time without an offset included) reads
// as `OtherSetting` and keeps its text, so it is written back unchanged. Keys
// are written bare where TOML allows, else quoted, one `key = value` a line in
// key order.
class SettingsFileCodec {
public:
    // The table in `text`, or nothing, with `problem` saying why, when it does not parse.
    static std::optional<SettingsTable> decode(std::string_view text, std::string& problem);
    static std::string encode(const SettingsTable& table);
    // A value that the system stores; nothing for an absent value, a value of
    // another type, and a date outside the years 0 to 9999.
    static std::optional<StoredSetting> entryFor(const SettingValue& value);
};

} // namespace corvane
