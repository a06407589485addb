#include "linux/FileSettingsStore.h"

#include "core/runtime/ThreadClock.h"

#include "linux/PrivateBus.h"
#include "linux/SettingsFiles.h"

#include <QTest>

#include <gtest/gtest.h>
#include <toml++/toml.h>

#include <atomic>
#include <sys/mount.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

class FileSettingsStoreTest : public ::testing::Test {
protected:
    std::size_t keptAside() const { return test::keptAside(m_file.parent_path()).size(); }
    std::int64_t readInteger(const std::string& key) const
    {
        return toml::parse_file(m_file.string())[key].value_or(std::int64_t {-1});
    }

    ThreadClock m_clock;
    QTemporaryDir m_folder;
    const fs::path m_file = m_folder.filePath("corvane/settings.toml").toStdString();
};

// Injected: hand edits while the store runs: the folder and a file made by hand, then an edit
// that breaks the file. Must hold: the values typed are read and observers hear of them without
// any read or write by Corvane; the broken file, after a moment (it may be an edit in progress),
// is set aside once, values start fresh, and observers hear of it.
TEST_F(FileSettingsStoreTest, HandEditsAreReadAndABrokenOneIsSetAsideOnceSettled)
{
    FileSettingsStore store(m_file, m_clock);
    std::atomic<int> changes {0};
    auto token = store.observe("threshold", [&] { ++changes; });
    fs::create_directories(m_file.parent_path());
    std::ofstream(m_file) << "threshold = 15\n";
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes == 1; }, 2000));
    EXPECT_EQ(store.value("threshold"), SettingValue(std::int64_t {15}));
    ::testing::internal::CaptureStderr();
    std::ofstream(m_file) << "threshold = [[\n";
    EXPECT_EQ(store.value("threshold"), SettingValue(std::int64_t {15}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes == 2 && keptAside() == 1; }, 3000));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(".corrupt-"), std::string::npos);
    EXPECT_EQ(store.value("threshold"), SettingValue());
    store.setValue("threshold", std::int64_t {9});
    EXPECT_EQ(readInteger("threshold"), 9);
    EXPECT_EQ(keptAside(), 1U);
}

// Injected: a file emptied in place, as an editor saving in place does before it writes the new
// text, and then left empty. Must hold: the values stay until the file has settled, and only then
// does the empty file count (every setting back to its default).
TEST_F(FileSettingsStoreTest, AFileCaughtEmptyMidSaveCountsOnlyOnceSettled)
{
    fs::create_directories(m_file.parent_path());
    std::ofstream(m_file) << "threshold = 15\n";
    FileSettingsStore store(m_file, m_clock);
    std::atomic<system_clock::rep> heard {0};
    auto token = store.observe("threshold", [&] { heard = system_clock::now().time_since_epoch().count(); });
    const auto emptied = system_clock::now();
    std::ofstream(m_file).close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard != 0; }, 3000));
    EXPECT_GE(system_clock::time_point(system_clock::duration(heard.load())) - emptied, milliseconds(900));
    EXPECT_EQ(store.value("threshold"), SettingValue());
}

// Injected: no configuration folder at all on a first run. Must hold: the folders the first write
// makes are watched, and a hand edit after it is read.
TEST_F(FileSettingsStoreTest, HandEditsAreReadInFoldersTheStoreMade)
{
    const auto file = fs::path(m_folder.path().toStdString()) / "config" / "corvane" / "settings.toml";
    FileSettingsStore store(file, m_clock);
    store.setValue("threshold", std::int64_t {15});
    std::ofstream(file) << "threshold = 25\n";
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.value("threshold") == SettingValue(std::int64_t {25}); }, 2000));
}

// Injected: a broken file written just before start, then nothing reads or writes. Must hold:
// once it has settled it is set aside with a message, and the store runs on defaults.
TEST_F(FileSettingsStoreTest, ABrokenFileTooFreshToJudgeAtStartIsSetAsideOnceSettled)
{
    fs::create_directories(m_file.parent_path());
    std::ofstream(m_file) << "interval = 60\nthreshold = [\n";
    ::testing::internal::CaptureStderr();
    FileSettingsStore store(m_file, m_clock);
    EXPECT_EQ(keptAside(), 0U) << "judged before it settled";
    EXPECT_TRUE(QTest::qWaitFor([&] { return keptAside() == 1; }, 2000));
    // Read first: the message follows the file being set aside, both under the store's lock.
    EXPECT_EQ(store.value("interval"), SettingValue());
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(".corrupt-"), std::string::npos);
}

// Injected: a broken hand edit saved just now, then at once a write by the store. Must hold: what
// the person typed survives, set aside before the write.
TEST_F(FileSettingsStoreTest, ABrokenEditFollowedAtOnceByAWriteIsKeptAside)
{
    FileSettingsStore store(m_file, m_clock);
    store.setValue("showMenuBar", true);
    std::ofstream(m_file) << "threshold = [15\n";
    store.setValue("AA:BB:CC:DD:EE:FF", kDistantFuture);
    ASSERT_EQ(keptAside(), 1U);
    EXPECT_EQ(test::contentOf(test::keptAside(m_file.parent_path()).front()), "threshold = [15\n");
}

// Injected: a 50 MB file from long ago. Must hold: it is set aside whole, quickly, and a small file replaces it.
TEST_F(FileSettingsStoreTest, AHugeFileIsSetAsideWithoutBeingRead)
{
    fs::create_directories(m_file.parent_path());
    std::ofstream(m_file) << "interval = 60\n" << std::string(50'000'000, '#');
    fs::last_write_time(m_file, fs::file_time_type::clock::now() - hours(1));
    const auto started = steady_clock::now();
    FileSettingsStore store(m_file, m_clock);
    EXPECT_EQ(store.value("interval"), SettingValue());
    EXPECT_LT(steady_clock::now() - started, seconds(5));
    store.setValue("threshold", std::int64_t {15});
    EXPECT_EQ(fs::file_size(test::keptAside(m_file.parent_path()).at(0)), 50'000'014U);
    EXPECT_LT(fs::file_size(m_file), 1024U);
}

// Injected: no folder can be made (a file stands in the way; as root, permissions stop nothing), later a
// full disk (a 64 KiB tmpfs). Must hold: values live on in memory with one message, the last complete file
// stays with no temporary beside it, and once writing works again everything is written.
TEST_F(FileSettingsStoreTest, WhenNothingCanBeWrittenValuesLiveOnInMemory)
{
    std::ofstream(m_file.parent_path().string()) << "in the way";
    FileSettingsStore store(m_file, m_clock);
    ::testing::internal::CaptureStderr();
    store.setValue("threshold", std::int64_t {25});
    store.setValue("interval", std::int64_t {120});
    const auto message = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(store.value("threshold"), SettingValue(std::int64_t {25}));
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    fs::remove(m_file.parent_path());
    fs::create_directories(m_file.parent_path());
    if (::mount("tmpfs", m_file.parent_path().c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const std::shared_ptr<void> unmount(nullptr, [&](void*) { ::umount2(m_file.parent_path().c_str(), MNT_DETACH); });
    store.setValue("interval", std::int64_t {600});
    std::ofstream(m_file.parent_path() / "filler") << std::string(1 << 20, 'f');
    for (int i = 0; i < 40; ++i)
        store.setValue(std::string(100, 'A') + std::to_string(i), kDistantFuture);
    store.setValue("interval", std::int64_t {900});
    EXPECT_EQ(readInteger("interval"), 600);
    EXPECT_EQ(store.value(std::string(100, 'A') + "39"), SettingValue(kDistantFuture));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_file.parent_path()), {}), 2);
    fs::remove(m_file.parent_path() / "filler");
    store.setValue("showMenuBar", true);
    EXPECT_EQ(readInteger("interval"), 900);
    EXPECT_EQ(readInteger("threshold"), 25);
}

// Injected: SIGKILL of a writer at a random moment, CORVANE_FAULT_KILLS times (200 by default). Must
// hold: the file always parses and holds every value acknowledged before the kill, or a newer one.
TEST_F(FileSettingsStoreTest, AWriterKilledAtRandomMomentsLosesNoAcknowledgedValue)
{
    const auto acknowledgements = m_folder.filePath("acknowledged").toStdString();
    test::killWriterRepeatedly(
        CORVANE_KILLED_WRITER, acknowledgements,
        [&](int) {
            return QStringList {"settings", QString::fromStdString(m_file), QString::fromStdString(acknowledgements)};
        },
        [&](int, std::int64_t last) {
            ASSERT_GE(readInteger("interval"), last);
            FileSettingsStore reader(m_file, m_clock);
            for (auto written = std::max<std::int64_t>(0, last - 63); written <= last; ++written)
                EXPECT_GE(
                    std::get<Date>(reader.value("device-" + std::to_string(written % 64))), Date {seconds {written}})
                    << "value " << written;
        });
}

} // namespace
} // namespace corvane
