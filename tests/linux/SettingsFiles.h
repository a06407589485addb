#pragma once

#include "linux/PrivateBus.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

// Files as the stores leave them, and writers killed while they write.
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

// Runs `writer` with `arguments(round)` CORVANE_FAULT_KILLS times (200 by default), each time SIGKILLed at a
// random moment once it has acknowledged a round, by writing it at the start of `acknowledgements`; then
// `check(round, last round acknowledged)` reads what it left. Stops at the first failure.
inline void killWriterRepeatedly(const char* writer, const std::filesystem::path& acknowledgements,
    const std::function<QStringList(int)>& arguments, const std::function<void(int, std::int64_t)>& check)
{
    const char* kills = std::getenv("CORVANE_FAULT_KILLS");
    const auto seed = std::random_device {}();
    std::mt19937 random(seed);
    const auto acknowledged = [&] {
        std::int64_t round = -1;
        std::ifstream(acknowledgements, std::ios::binary).read(reinterpret_cast<char*>(&round), sizeof round);
        return round;
    };
    for (int round = 0; round < (kills != nullptr ? std::atoi(kills) : 200) && !::testing::Test::HasFailure();
         ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
        std::filesystem::remove(acknowledgements);
        const auto process = startProcess(writer, arguments(round));
        // Killed only once it has stored something, so that every kill can lose something.
        ASSERT_TRUE(QTest::qWaitFor([&] { return acknowledged() >= 0; }, 30000)) << "the writer never wrote";
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 30)(random)));
        process->kill();
        process->waitForFinished();
        check(round, acknowledged());
    }
}

} // namespace corvane::test
