#include "linux/UserFiles.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

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

fs::path userFile(const char* variable, const fs::path& fallback, const std::string& name)
{
    const char* base = std::getenv(variable);
    if (base != nullptr && *base != '\0' && fs::path(base).is_absolute())
        return fs::path(base) / "corvane" / name;
    const char* home = std::getenv("HOME");
    fs::path homePath;
    if (home != nullptr && *home != '\0') {
        homePath = home;
    } else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
        homePath = user->pw_dir;
    }
    return homePath / fallback / "corvane" / name;
}

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
