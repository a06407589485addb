#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// How ICU's number formatter writes a whole percent from 0 to 999 in one
// locale: prefix, the number in the locale's digits, suffix (no grouping, no
// sign below 1000). Plain characters, no pointers: the table needs no
// relocation and only the pages a look-up reads come into memory.
struct PercentEntry {
    char name[16]; // as QLocale::name() writes it
    char prefix[24];
    char suffix[24];
    char digits[10][5];
};

// Written at build time by src/tools/percent_table.cpp, sorted by name, each
// entry checked against the formatter for every value it covers.
extern const PercentEntry kPercentTable[];
extern const std::size_t kPercentTableSize;
extern const char* const kPercentTableIcuVersion; // the ICU it was read from

// The entry for a locale, if the table has it and the ICU in use is the one
// it was read from.
const PercentEntry* findPercentEntry(std::string_view name);

// `value` (0 to 999) as the entry writes it.
inline std::string percentFromEntry(const PercentEntry& entry, std::int64_t value)
{
    std::string text = entry.prefix;
    for (const std::int64_t unit : {100, 10, 1})
        if (value >= unit || unit == 1)
            text += entry.digits[value / unit % 10];
    return text + entry.suffix;
}

} // namespace corvane
