// The settings file under faults the ordinary tests do not reach: a huge file,
// a full disk, and a writer killed at random moments hundreds of times.

#include "linux/FileSettingsStore.h"
#include "linux/PrivateBus.h"

#include <toml++/toml.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

class TemporaryFolder {
public:
    TemporaryFolder()
    {
        std::string folder = (fs::temp_directory_path() / "corvane-faults-XXXXXX").string();
        if (::mkdtemp(folder.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = folder;
    }
    ~TemporaryFolder()
    {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

std::vector<fs::path> keptAside(const fs::path& folder)
{
    std::vector<fs::path> result;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("settings.toml.corrupt-"))
            result.push_back(entry.path());
    }
    return result;
}

// Injected: a 50 MB settings file that is valid TOML. Must hold: the store
// neither reads it into memory nor stalls; it keeps the file aside whole,
// starts from defaults and writes a fresh file.
TEST(FileSettingsStoreFaults, AHugeFileIsKeptAsideWithoutBeingRead)
{
    TemporaryFolder folder;
    const auto file = folder.path() / "settings.toml";
    constexpr std::uintmax_t kSize = 50U * 1024U * 1024U;
    {
        std::ofstream stream(file);
        stream << "interval = 60\n";
        const std::string line = "# " + std::string(1021, 'x') + "\n";
        while (static_cast<std::uintmax_t>(stream.tellp()) < kSize)
            stream << line;
    }
    // Old enough that no editor can still be writing it.
    fs::last_write_time(file, fs::file_time_type::clock::now() - hours(1));
    const auto size = fs::file_size(file);

    const auto started = steady_clock::now();
    FileSettingsStore store(file);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(store.value("interval")));
    EXPECT_LT(steady_clock::now() - started, seconds(5));

    const auto aside = keptAside(folder.path());
    ASSERT_EQ(aside.size(), 1U);
    EXPECT_EQ(fs::file_size(aside.front()), size);
    store.setValue("threshold", std::int64_t {15});
    EXPECT_LT(fs::file_size(file), 1024U);
    EXPECT_EQ(toml::parse_file(file.string())["threshold"].value<std::int64_t>(), 15);
}

// Injected: a broken hand edit saved just now, and a write by Corvane right
// after it (an answer to a notification). Must hold: what the person typed is
// never lost, neither overwritten nor deleted: it is the file or a file kept aside.
TEST(FileSettingsStoreFaults, ABrokenEditFollowedAtOnceByAWriteIsNeverOverwritten)
{
    TemporaryFolder folder;
    const auto file = folder.path() / "settings.toml";
    const std::string edit = "interval = 600\nthreshold = [15\n";
    FileSettingsStore store(file);
    store.setValue("showMenuBar", true);
    std::ofstream(file) << edit;
    store.setValue("AA:BB:CC:DD:EE:FF", kDistantFuture);

    auto candidates = keptAside(folder.path());
    candidates.push_back(file);
    const bool kept = std::any_of(candidates.begin(), candidates.end(), [&](const fs::path& candidate) {
        std::ifstream stream(candidate);
        return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()) == edit;
    });
    EXPECT_TRUE(kept) << "the broken edit is gone";
}

// Injected: device serial numbers that need quoting as TOML keys, as a device
// may report them (an apostrophe, markup, a dot, spaces, non-ASCII). Must
// hold: the file written stays parseable and every value survives a restart.
class FileSettingsStoreKeys : public ::testing::TestWithParam<const char*> { };

INSTANTIATE_TEST_SUITE_P(Serials, FileSettingsStoreKeys,
    ::testing::Values("O'BRIEN", "'", "KB'", "<B>&AMP;", "A.B", "K380 \\ 1", "\"QUOTED\"", "ÄÖ'", "=#[X]"));

TEST_P(FileSettingsStoreKeys, SurviveARestart)
{
    TemporaryFolder folder;
    const auto file = folder.path() / "settings.toml";
    {
        FileSettingsStore store(file);
        store.setValue("interval", std::int64_t {600});
        store.setValue(GetParam(), kDistantFuture);
    }
    try {
        static_cast<void>(toml::parse_file(file.string()));
    } catch (const toml::parse_error& error) {
        std::ifstream stream(file);
        FAIL() << "the file does not parse: " << error.description() << "\n"
               << std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }
    FileSettingsStore restarted(file);
    EXPECT_EQ(restarted.value("interval"), SettingValue(std::int64_t {600}));
    EXPECT_EQ(restarted.value(GetParam()), SettingValue(kDistantFuture));
}

// A tmpfs of a few pages, mounted for the test; only where mounting works (root).
class SmallDisk {
public:
    explicit SmallDisk(const fs::path& at)
        : m_path(at)
    {
        fs::create_directories(at);
        m_mounted = ::mount("tmpfs", at.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

    // Fills what space is left; false if the disk never reported itself full.
    bool fill()
    {
        const int descriptor = ::open((m_path / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const std::string block(4096, 'f');
        bool full = false;
        while (descriptor >= 0 && !full)
            full = ::write(descriptor, block.data(), block.size()) < 0 && errno == ENOSPC;
        if (descriptor >= 0)
            ::close(descriptor);
        return full;
    }
    void free() { fs::remove(m_path / "filler"); }

private:
    fs::path m_path;
    bool m_mounted = false;
};

// Injected: the disk fills up between two writes. Must hold: the file on disk
// stays the last complete one, the new value lives on in memory, no temporary
// file is left behind, and once there is room the next write stores everything.
TEST(FileSettingsStoreFaults, AFullDiskKeepsTheLastFileAndTheValuesInMemory)
{
    TemporaryFolder folder;
    SmallDisk disk(folder.path() / "disk");
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const auto file = folder.path() / "disk" / "corvane" / "settings.toml";
    FileSettingsStore store(file);
    store.setValue("interval", std::int64_t {600});
    ASSERT_TRUE(disk.fill());

    const std::string longSerial(100, 'A');
    for (int i = 0; i < 40; ++i)
        store.setValue(longSerial + std::to_string(i), kDistantFuture);
    store.setValue("interval", std::int64_t {900});

    const auto onDisk = toml::parse_file(file.string());
    EXPECT_EQ(onDisk["interval"].value<std::int64_t>(), 600);
    EXPECT_EQ(store.value("interval"), SettingValue(std::int64_t {900}));
    EXPECT_EQ(store.value(longSerial + "39"), SettingValue(kDistantFuture));
    for (const auto& entry : fs::directory_iterator(file.parent_path()))
        EXPECT_EQ(entry.path().filename(), "settings.toml") << "left behind: " << entry.path();

    disk.free();
    store.setValue("threshold", std::int64_t {10});
    const auto written = toml::parse_file(file.string());
    EXPECT_EQ(written["interval"].value<std::int64_t>(), 900);
    EXPECT_EQ(written["threshold"].value<std::int64_t>(), 10);
    EXPECT_TRUE(written[longSerial + "0"].is_date_time());
}

// CORVANE_FAULT_KILLS rounds (default 200), each killing the writer with
// SIGKILL at a random moment. Injected: the kill, at any point of a write.
// Must hold: the file always parses, and every value the writer had been told
// was stored before the kill is in it (or a newer one is).
TEST(FileSettingsStoreFaults, AWriterKilledAtRandomMomentsLosesNoAcknowledgedValue)
{
    const char* configured = std::getenv("CORVANE_FAULT_KILLS");
    const int rounds = configured != nullptr ? std::atoi(configured) : 200;
    const auto seed = std::random_device {}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delay(0, 30);
    SCOPED_TRACE("seed " + std::to_string(seed));

    TemporaryFolder folder;
    const auto file = folder.path() / "corvane" / "settings.toml";
    const auto acknowledgementFile = folder.path() / "acknowledged";
    const auto readAcknowledged = [&acknowledgementFile] {
        std::int64_t round = -1;
        std::ifstream stream(acknowledgementFile, std::ios::binary);
        if (!stream.read(reinterpret_cast<char*>(&round), sizeof round))
            return std::int64_t {-1};
        return round;
    };
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        fs::remove(acknowledgementFile);
        test::ChildProcess writer({CORVANE_ACKNOWLEDGING_WRITER, file.string(), acknowledgementFile.string()});
        // Killed only once it has stored something, so that every kill can lose something.
        const auto deadline = steady_clock::now() + seconds(30);
        while (readAcknowledged() < 0 && steady_clock::now() < deadline)
            std::this_thread::sleep_for(microseconds(200));
        ASSERT_GE(readAcknowledged(), 0) << "the writer never wrote";
        std::this_thread::sleep_for(milliseconds(delay(random)));
        ::kill(writer.pid(), SIGKILL);
        writer.stop();

        const auto acknowledged = readAcknowledged();
        try {
            static_cast<void>(toml::parse_file(file.string()));
        } catch (const toml::parse_error& error) {
            FAIL() << "the file does not parse: " << error.description();
        }
        FileSettingsStore reader(file);
        const auto interval = reader.value("interval");
        ASSERT_TRUE(std::holds_alternative<std::int64_t>(interval));
        EXPECT_GE(std::get<std::int64_t>(interval), acknowledged);
        for (auto written = std::max<std::int64_t>(0, acknowledged - 63); written <= acknowledged; ++written) {
            const auto stored = reader.value("device-" + std::to_string(written % 64));
            ASSERT_TRUE(std::holds_alternative<Date>(stored)) << "value " << written;
            EXPECT_GE(std::get<Date>(stored), Date {seconds {written}}) << "value " << written;
        }
    }
}

} // namespace
} // namespace corvane
