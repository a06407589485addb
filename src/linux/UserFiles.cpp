#include "linux/UserFiles.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <string>

namespace corvane {

namespace fs = std::filesystem;

namespace {

std::string utcStamp()
{
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const auto day = std::chrono::floor<std::chrono::days>(now);
    const std::chrono::year_month_day ymd {day};
    const std::chrono::hh_mm_ss time {now - day};
    std::array<char, 32> text {};
    std::snprintf(text.data(), text.size(), "%04d%02u%02uT%02ld%02ld%02ldZ", static_cast<int>(ymd.year()),
        static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), static_cast<long>(time.hours().count()),
        static_cast<long>(time.minutes().count()), static_cast<long>(time.seconds().count()));
    return text.data();
}

} // namespace

fs::path corruptCopyName(const fs::path& file)
{
    auto aside = file;
    aside += ".corrupt-" + utcStamp();
    for (int attempt = 1; fs::exists(aside) && attempt < 100; ++attempt) {
        aside = file;
        aside += ".corrupt-" + utcStamp() + "-" + std::to_string(attempt);
    }
    return aside;
}

} // namespace corvane
