#include "linux/FileSettingsStore.h"
#include "linux/SettingsFileCodec.h"

#include "core/runtime/ThreadClock.h"

#include "linux/SettingsFiles.h"

#include <QTemporaryDir>
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

    void write(const std::string& text)
    {
        fs::create_directories(m_file.parent_path());
        std::ofstream(m_file) << text;
    }

    ThreadClock m_clock;
    QTemporaryDir m_folder;
    // Two folders that do not exist yet, as on a first run.
    const fs::path m_file = m_folder.filePath("config/corvane/settings.toml").toStdString();
};

// Injected: a broken file written just before start. Must hold: it counts only once it has settled (it may be an
// edit in progress), and is then set aside with a message.
TEST_F(FileSettingsStoreTest, AFreshBrokenFileIsSetAsideOnceSettled)
{
    write("interval = 60\nthreshold = [\n");
    ::testing::internal::CaptureStderr();
    FileSettingsStore store(m_file, m_clock);
    EXPECT_EQ(keptAside(), 0U) << "judged before it settled";
    EXPECT_TRUE(QTest::qWaitFor([&] { return keptAside() == 1; }, 2000));
    // Read first: the message follows the file being set aside, both under the store's lock.
    EXPECT_EQ(store.value("interval"), SettingValue());
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(".corrupt-"), std::string::npos);
}

// Injected: no configuration folder at all; after the first write made it, a hand edit, then a broken one
// followed at once by a write of the store. Must hold: what is typed is read; the file is replaced whole, never
// written in place (a kill or a full disk would leave half a file); a broken edit is set aside before a write.
TEST_F(FileSettingsStoreTest, HandEditsAreReadAndABrokenOneIsSetAsideBeforeAWrite)
{
    FileSettingsStore store(m_file, m_clock);
    std::atomic<int> changes {0};
    auto token = store.observe("threshold", [&] { ++changes; });
    store.setValue("showMenuBar", true);
    std::ofstream(m_file) << "threshold = 25\n";
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes == 1; }, 2000));
    EXPECT_EQ(store.value("threshold"), SettingValue(std::int64_t {25}));
    const auto edited = m_folder.filePath("edited").toStdString();
    fs::create_hard_link(m_file, edited);
    store.setValue("interval", std::int64_t {60});
    EXPECT_EQ(test::contentOf(edited), "threshold = 25\n") << "written in place";
    EXPECT_EQ(readInteger("threshold"), 25);
    std::ofstream(m_file) << "threshold = [15\n";
    store.setValue("AA:BB:CC:DD:EE:FF", kDistantFuture);
    ASSERT_EQ(keptAside(), 1U);
    EXPECT_EQ(test::contentOf(test::keptAside(m_file.parent_path()).front()), "threshold = [15\n");
}

// Injected: a 50 MB file from long ago. Must hold: it is set aside whole, unread, and a small file replaces it.
TEST_F(FileSettingsStoreTest, AHugeFileIsSetAsideWithoutBeingRead)
{
    write("interval = 60\n" + std::string(50'000'000, '#'));
    fs::last_write_time(m_file, fs::file_time_type::clock::now() - hours(1));
    FileSettingsStore store(m_file, m_clock);
    EXPECT_EQ(store.value("interval"), SettingValue());
    store.setValue("threshold", std::int64_t {15});
    EXPECT_EQ(fs::file_size(test::keptAside(m_file.parent_path()).at(0)), 50'000'014U);
    EXPECT_LT(fs::file_size(m_file), 1024U);
}

// Injected: no folder can be made (a file stands in the way; as root, permissions stop nothing), later a
// full disk (a 64 KiB tmpfs). Must hold: values live on in memory with one message, the last complete file
// stays with no temporary beside it, and once writing works again everything is written.
TEST_F(FileSettingsStoreTest, WhenNothingCanBeWrittenValuesLiveOnInMemory)
{
    fs::create_directories(m_file.parent_path().parent_path());
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

constexpr Date kNinePm = Date(sys_days(2027y / January / 1) + hours(21));

// Every file that parses reads as its values, and written out again reads back the same, whatever the key; values
// of other types are kept as they were. Arbitrary files and keys written back are the fuzzer's (fuzz/).
TEST(SettingsFileCodecTest, FilesReadAsTheirValuesAndAreWrittenBackUnchanged)
{
    for (const auto& [text, key, value] : std::vector<std::tuple<const char*, const char*, SettingValue>> {
             {"interval = 60\nthreshold = 15\n", "interval", std::int64_t {60}},
             {"showMenuBar = false", "showMenuBar", false}, {"\"AA:BB\" = 2027-01-01T21:00:00Z", "AA:BB", kNinePm},
             {"\"ÄÖ'\" = 2027-01-01T23:00:00.00025+02:00", "ÄÖ'", kNinePm + microseconds(250)},
             {"K = 4001-01-01T00:00:00Z # warned", "K", kDistantFuture},
             {"\"AA:BB\" = 1979-05-27T07:32:00", "AA:BB", OtherSetting {}},
             {"[window]\n\"a b\" = [1, { c = 'd' }]\n", "window", OtherSetting {}},
             {"interval = 60", "threshold", std::monostate {}}}) {
        SCOPED_TRACE(text);
        std::string problem;
        const auto table = SettingsFileCodec::decode(text, problem);
        ASSERT_TRUE(table) << problem;
        const auto found = table->find(key);
        EXPECT_EQ(found == table->end() ? SettingValue {} : found->second.value, value);
        const auto reread = SettingsFileCodec::decode(SettingsFileCodec::encode(*table), problem);
        ASSERT_TRUE(reread) << problem;
        for (const auto& [name, setting] : *table)
            EXPECT_EQ(reread->at(name).value, setting.value) << name;
    }
}

} // namespace
} // namespace corvane
