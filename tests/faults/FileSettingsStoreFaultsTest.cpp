#include "linux/FileSettingsStore.h"
#include "linux/PrivateBus.h"
#include "linux/SettingsFiles.h"

#include <toml++/toml.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/mount.h>
#include <thread>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

class FileSettingsStoreFaults : public ::testing::Test {
protected:
    QTemporaryDir m_folder;
    const fs::path m_file = m_folder.filePath("corvane/settings.toml").toStdString();
};

// Injected: a 50 MB file from long ago. Must hold: it is set aside whole, quickly, and a small file replaces it.
TEST_F(FileSettingsStoreFaults, AHugeFileIsSetAsideWithoutBeingRead)
{
    fs::create_directories(m_file.parent_path());
    std::ofstream(m_file) << "interval = 60\n" << std::string(50'000'000, '#');
    fs::last_write_time(m_file, fs::file_time_type::clock::now() - hours(1));
    const auto started = steady_clock::now();
    FileSettingsStore store(m_file);
    EXPECT_EQ(store.value("interval"), SettingValue());
    EXPECT_LT(steady_clock::now() - started, seconds(5));
    const auto aside = test::keptAside(m_file.parent_path());
    ASSERT_EQ(aside.size(), 1U);
    EXPECT_EQ(fs::file_size(aside.front()), 50'000'014U);
    store.setValue("threshold", std::int64_t {15});
    EXPECT_LT(fs::file_size(m_file), 1024U);
}

// Injected: a broken hand edit saved just now, then at once a write by the store. Must hold: what
// the person typed survives, as the file or as the copy set aside.
TEST_F(FileSettingsStoreFaults, ABrokenEditFollowedAtOnceByAWriteIsNeverOverwritten)
{
    FileSettingsStore store(m_file);
    store.setValue("showMenuBar", true);
    std::ofstream(m_file) << "threshold = [15\n";
    store.setValue("AA:BB:CC:DD:EE:FF", kDistantFuture);
    auto candidates = test::keptAside(m_file.parent_path());
    candidates.push_back(m_file);
    EXPECT_TRUE(std::any_of(candidates.begin(), candidates.end(),
        [](const fs::path& candidate) { return test::contentOf(candidate) == "threshold = [15\n"; }));
}

// Injected: the disk (a 64 KiB tmpfs) fills between two writes. Must hold: the last complete file
// stays with no temporary left beside it, new values live on in memory, and with room all is written.
TEST_F(FileSettingsStoreFaults, AFullDiskKeepsTheLastFileAndTheValuesInMemory)
{
    const auto disk = m_file.parent_path();
    fs::create_directories(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const std::shared_ptr<void> unmount(nullptr, [&disk](void*) { ::umount2(disk.c_str(), MNT_DETACH); });
    FileSettingsStore store(m_file);
    store.setValue("interval", std::int64_t {600});
    std::ofstream(disk / "filler") << std::string(1 << 20, 'f');
    const std::string serial(100, 'A');
    for (int i = 0; i < 40; ++i)
        store.setValue(serial + std::to_string(i), kDistantFuture);
    store.setValue("interval", std::int64_t {900});
    EXPECT_EQ(toml::parse_file(m_file.string())["interval"].value<std::int64_t>(), 600);
    EXPECT_EQ(store.value(serial + "39"), SettingValue(kDistantFuture));
    EXPECT_EQ(std::distance(fs::directory_iterator(disk), fs::directory_iterator()), 2);

    fs::remove(disk / "filler");
    store.setValue("threshold", std::int64_t {10});
    const auto written = toml::parse_file(m_file.string());
    EXPECT_EQ(written["interval"].value<std::int64_t>(), 900);
    EXPECT_TRUE(written[serial + "0"].is_date_time());
}

// Injected: SIGKILL of a writer at a random moment, CORVANE_FAULT_KILLS times (200 by default). Must
// hold: the file always parses and holds every value acknowledged before the kill, or a newer one.
TEST_F(FileSettingsStoreFaults, AWriterKilledAtRandomMomentsLosesNoAcknowledgedValue)
{
    const auto rounds = qEnvironmentVariableIntValue("CORVANE_FAULT_KILLS");
    const auto seed = std::random_device {}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto acknowledgements = m_folder.filePath("acknowledged").toStdString();
    const auto acknowledged = [&] {
        std::int64_t round = -1;
        std::ifstream(acknowledgements, std::ios::binary).read(reinterpret_cast<char*>(&round), sizeof round);
        return round;
    };
    for (int round = 0; round < (rounds > 0 ? rounds : 200) && !HasFailure(); ++round) {
        fs::remove(acknowledgements);
        const auto writer = test::startProcess(QStringLiteral(CORVANE_ACKNOWLEDGING_WRITER),
            {QString::fromStdString(m_file.string()), QString::fromStdString(acknowledgements)});
        // Killed only once it has stored something, so that every kill can lose something.
        for (const auto deadline = steady_clock::now() + seconds(30);
             acknowledged() < 0 && steady_clock::now() < deadline;)
            std::this_thread::sleep_for(microseconds(200));
        ASSERT_GE(acknowledged(), 0) << "the writer never wrote";
        std::this_thread::sleep_for(milliseconds(std::uniform_int_distribution<int>(0, 30)(random)));
        writer->kill();
        writer->waitForFinished();

        const auto last = acknowledged();
        ASSERT_NO_THROW(static_cast<void>(toml::parse_file(m_file.string()))) << "round " << round;
        FileSettingsStore reader(m_file);
        EXPECT_GE(std::get<std::int64_t>(reader.value("interval")), last);
        for (auto written = std::max<std::int64_t>(0, last - 63); written <= last; ++written)
            EXPECT_GE(std::get<Date>(reader.value("device-" + std::to_string(written % 64))), Date {seconds {written}})
                << "round " << round << ", value " << written;
    }
}

} // namespace
} // namespace corvane
