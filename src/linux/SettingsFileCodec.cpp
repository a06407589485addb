#include "linux/SettingsFileCodec.h"

#include <toml++/toml.h>

#include <algorithm>
#include <chrono>
#include <sstream>

namespace corvane {

namespace {

std::optional<toml::date_time> toToml(Date date)
{
    using namespace std::chrono;
    const auto day = floor<days>(date);
    const year_month_day ymd {day};
    const int year = static_cast<int>(ymd.year());
    if (!ymd.ok() || year < 0 || year > 9999)
        return std::nullopt;
    const hh_mm_ss time {date - day};
    const auto nanos = duration_cast<nanoseconds>(time.subseconds()).count();
    const toml::date tomlDate(year, static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    const toml::time tomlTime(static_cast<unsigned>(time.hours().count()),
        static_cast<unsigned>(time.minutes().count()), static_cast<unsigned>(time.seconds().count()),
        static_cast<unsigned>(nanos));
    return toml::date_time(tomlDate, tomlTime, toml::time_offset {});
}

SettingValue fromToml(const toml::node& node)
{
    if (const auto* integer = node.as_integer())
        return integer->get();
    if (const auto* boolean = node.as_boolean())
        return boolean->get();
    if (const auto* dateTime = node.as_date_time()) {
        const auto& value = dateTime->get();
        // A date-time without an offset names no moment: another type.
        if (!value.offset)
            return OtherSetting {};
        using namespace std::chrono;
        const sys_days day {year {value.date.year} / month {value.date.month} / value.date.day};
        const auto moment = day + hours {value.time.hour} + minutes {value.time.minute} + seconds {value.time.second}
            + duration_cast<microseconds>(nanoseconds {value.time.nanosecond}) - minutes {value.offset->minutes};
        return Date {moment};
    }
    return OtherSetting {};
}

// A key as TOML writes it: bare when it can be, else a basic string. (The
// TOML library leaves a key with an apostrophe bare, which does not parse.)
std::string tomlKey(std::string_view key)
{
    const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
    if (bare)
        return std::string(key);
    std::string quoted = "\"";
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            constexpr std::string_view kDigits = "0123456789ABCDEF";
            quoted += "\\u00";
            quoted += kDigits[byte >> 4];
            quoted += kDigits[byte & 0x0F];
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// A value on one line, tables and arrays inline, with every key quoted by us.
std::string inlineText(const toml::node& node)
{
    std::string text;
    if (const auto* table = node.as_table()) {
        for (auto&& [key, value] : *table)
            text += (text.empty() ? "{ " : ", ") + tomlKey(key.str()) + " = " + inlineText(value);
        return text.empty() ? "{}" : text + " }";
    }
    if (const auto* array = node.as_array()) {
        for (const auto& value : *array)
            text += (text.empty() ? "[ " : ", ") + inlineText(value);
        return text.empty() ? "[]" : text + " ]";
    }
    // A scalar as the library writes it, after "k = ".
    toml::table single;
    single.insert("k", node);
    std::ostringstream written;
    written << single;
    text = written.str().substr(4);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

std::optional<SettingsTable> SettingsFileCodec::decode(std::string_view text, std::string& problem)
{
    toml::table parsed;
    try {
        parsed = toml::parse(text);
    } catch (const toml::parse_error& parseError) {
        std::ostringstream description;
        description << parseError.description() << " (line " << parseError.source().begin.line << ")";
        problem = description.str();
        return std::nullopt;
    }
    SettingsTable table;
    for (auto&& [key, node] : parsed)
        table.emplace(std::string(key.str()), StoredSetting {fromToml(node), inlineText(node)});
    return table;
}

std::string SettingsFileCodec::encode(const SettingsTable& table)
{
    std::string text;
    for (const auto& [key, setting] : table)
        text += tomlKey(key) + " = " + setting.text + "\n";
    return text;
}

std::optional<StoredSetting> SettingsFileCodec::entryFor(const SettingValue& value)
{
    if (const auto* integer = std::get_if<std::int64_t>(&value))
        return StoredSetting {value, inlineText(toml::value<std::int64_t>(*integer))};
    if (const auto* boolean = std::get_if<bool>(&value))
        return StoredSetting {value, inlineText(toml::value<bool>(*boolean))};
    if (const auto* date = std::get_if<Date>(&value)) {
        if (const auto dateTime = toToml(*date))
            return StoredSetting {value, inlineText(toml::value<toml::date_time>(*dateTime))};
    }
    return std::nullopt;
}

} // namespace corvane
