#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Files as the stores leave them.
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

} // namespace corvane::test
