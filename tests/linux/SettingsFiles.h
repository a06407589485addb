#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Header only, without the rest of the test support.
namespace corvane::test {

inline std::string contentOf(const std::filesystem::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

// The copies of broken files (settings by default) that a store set aside in `folder`.
inline std::vector<std::filesystem::path> keptAside(
    const std::filesystem::path& folder, const std::string& file = "settings.toml")
{
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().starts_with(file + ".corrupt-"))
            found.push_back(entry.path());
    return found;
}

// How many times a fault test kills its writer: CORVANE_FAULT_KILLS, 200 by default.
inline int faultKills()
{
    const char* kills = std::getenv("CORVANE_FAULT_KILLS");
    return kills != nullptr ? std::atoi(kills) : 200;
}

// The last round a killed writer acknowledged in `file`, or -1 before its first.
inline std::int64_t acknowledgedRound(const std::filesystem::path& file)
{
    std::int64_t round = -1;
    std::ifstream(file, std::ios::binary).read(reinterpret_cast<char*>(&round), sizeof round);
    return round;
}

} // namespace corvane::test
