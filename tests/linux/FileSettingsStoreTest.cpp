#include "linux/FileSettingsStore.h"

#include "linux/PrivateBus.h"
#include <QTest>

#include <gtest/gtest.h>
#include <toml++/toml.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

std::string readAll(const fs::path& file)
{
    std::ifstream stream(file);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

// A hand edit as an editor saves: a new file renamed over the old one.
void replaceByHand(const fs::path& file, const std::string& content)
{
    const auto temporary = file.parent_path() / "editor-swap";
    std::ofstream(temporary) << content;
    fs::rename(temporary, file);
}

unsigned mode(const fs::path& path)
{
    struct stat info { };
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777U;
}

class FileSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string folder = (fs::temp_directory_path() / "corvane-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(folder.data()), nullptr);
        m_root = folder;
        m_file = m_root / "config" / "corvane" / "settings.toml";
    }
    void TearDown() override { fs::remove_all(m_root); }

    std::vector<fs::path> corruptCopies() const
    {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(m_file.parent_path())) {
            if (entry.path().filename().string().starts_with("settings.toml.corrupt-"))
                found.push_back(entry.path());
        }
        return found;
    }

    fs::path m_root;
    fs::path m_file;
};

TEST_F(FileSettingsStoreTest, RoundTripsEveryTypeThroughTheFile)
{
    const Date remind = Date(sys_days(2027y / January / 1) + hours(21) + minutes(15)) + microseconds(250);
    {
        FileSettingsStore store(m_file);
        store.setValue("interval", std::int64_t {1800});
        store.setValue("threshold", std::int64_t {-7});
        store.setValue("showMenuBar", false);
        store.setValue("AA:BB:CC:DD:EE:FF", remind);
        store.setValue("serial \"quoted\" = [x]", kDistantFuture);
    }
    FileSettingsStore reopened(m_file);
    EXPECT_EQ(reopened.value("interval"), SettingValue(std::int64_t {1800}));
    EXPECT_EQ(reopened.value("threshold"), SettingValue(std::int64_t {-7}));
    EXPECT_EQ(reopened.value("showMenuBar"), SettingValue(false));
    EXPECT_EQ(reopened.value("AA:BB:CC:DD:EE:FF"), SettingValue(remind));
    EXPECT_EQ(reopened.value("serial \"quoted\" = [x]"), SettingValue(kDistantFuture));
    EXPECT_EQ(reopened.value("absent"), SettingValue());

    const auto text = readAll(m_file);
    EXPECT_NE(text.find("\"AA:BB:CC:DD:EE:FF\" = 2027-01-01T21:15:00.00025Z"), std::string::npos) << text;
    EXPECT_NE(text.find("4001-01-01T00:00:00Z"), std::string::npos) << text;
    EXPECT_EQ(mode(m_file), 0600U);
    EXPECT_EQ(mode(m_file.parent_path()), 0700U);
}

TEST_F(FileSettingsStoreTest, RemovingAKeyTakesItOutOfTheFile)
{
    FileSettingsStore store(m_file);
    store.setValue("SERIAL", kDistantFuture);
    store.setValue("interval", std::int64_t {60});
    store.remove("SERIAL");
    EXPECT_EQ(store.value("SERIAL"), SettingValue());
    EXPECT_EQ(readAll(m_file).find("SERIAL"), std::string::npos);
    EXPECT_EQ(FileSettingsStore(m_file).value("interval"), SettingValue(std::int64_t {60}));
}

TEST_F(FileSettingsStoreTest, ValuesOfOtherTypesReadAsOtherAndSurviveRewrites)
{
    fs::create_directories(m_file.parent_path());
    std::ofstream(m_file) << "threshold = \"high\"\n"
                             "showMenuBar = \"yes\"\n"
                             "\"AA:BB\" = 1979-05-27T07:32:00\n"
                             "interval = 2.5\n"
                             "[nested]\nkey = [1, 2]\n";
    FileSettingsStore store(m_file);
    for (const char* key : {"threshold", "showMenuBar", "AA:BB", "interval", "nested"})
        EXPECT_EQ(store.value(key), SettingValue(OtherSetting {})) << key;

    store.setValue("CC:DD", kDistantFuture);
    const auto rewritten = toml::parse_file(m_file.string());
    EXPECT_EQ(rewritten["threshold"].value<std::string>(), "high");
    EXPECT_EQ(rewritten["interval"].value<double>(), 2.5);
    EXPECT_TRUE(rewritten["AA:BB"].is_date_time());
    EXPECT_EQ(rewritten["nested"]["key"][1].value<std::int64_t>(), 2);
}

TEST_F(FileSettingsStoreTest, HandEditsAreSeenAtTheNextReadAndByObservers)
{
    FileSettingsStore store(m_file);
    store.setValue("threshold", std::int64_t {20});
    std::atomic<int> thresholdChanges {0};
    std::atomic<int> intervalChanges {0};
    auto thresholdToken = store.observe("threshold", [&] { ++thresholdChanges; });
    auto intervalToken = store.observe("interval", [&] { ++intervalChanges; });

    replaceByHand(m_file, "threshold = 12\nshowMenuBar = false\n");
    EXPECT_EQ(store.value("threshold"), SettingValue(std::int64_t {12}));
    EXPECT_EQ(store.value("showMenuBar"), SettingValue(false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return thresholdChanges == 1; }, 10000));

    // An edit in place, as `echo >>` does, is seen by the watcher without a read.
    std::ofstream(m_file, std::ios::app) << "interval = 90\n";
    EXPECT_TRUE(QTest::qWaitFor([&] { return intervalChanges == 1; }, 10000));
    EXPECT_EQ(store.value("interval"), SettingValue(std::int64_t {90}));
    EXPECT_EQ(thresholdChanges, 1);
}

TEST_F(FileSettingsStoreTest, AFolderRemovedAndMadeAgainIsWatchedAgain)
{
    FileSettingsStore store(m_file);
    store.setValue("interval", std::int64_t {60});
    std::atomic<int> changes {0};
    auto token = store.observe("threshold", [&] { ++changes; });
    fs::remove_all(m_file.parent_path());
    // The next write makes the folder anew.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            store.setValue("interval", std::int64_t {61});
            return fs::exists(m_file);
        },
        10000));
    replaceByHand(m_file, "threshold = 11\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes == 1; }, 10000));
}

TEST_F(FileSettingsStoreTest, OwnWritesReachObserversOnceAndCancelledObserversNotAtAll)
{
    FileSettingsStore store(m_file);
    std::atomic<int> changes {0};
    std::atomic<int> cancelledChanges {0};
    std::atomic<int> markerChanges {0};
    auto token = store.observe("threshold", [&] { ++changes; });
    auto cancelled = store.observe("threshold", [&] { ++cancelledChanges; });
    auto marker = store.observe("marker", [&] { ++markerChanges; });
    cancelled.cancel();

    store.setValue("threshold", std::int64_t {5});
    EXPECT_EQ(changes, 1);
    // The watcher handles events in order: once it has seen this later hand
    // edit, it has also seen (and ignored) the store's own write above.
    replaceByHand(m_file, readAll(m_file) + "marker = true\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return markerChanges == 1; }, 10000));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(cancelledChanges, 0);
}

TEST_F(FileSettingsStoreTest, ACorruptFileIsKeptAsideAndTheStoreStartsEmpty)
{
    fs::create_directories(m_file.parent_path());
    const std::string garbage = "threshold = = 7\n[[[\n";
    std::ofstream(m_file) << garbage;
    // Broken since long before the start, not an edit in progress.
    fs::last_write_time(m_file, fs::file_time_type::clock::now() - hours(1));

    ::testing::internal::CaptureStderr();
    FileSettingsStore store(m_file);
    EXPECT_EQ(store.value("threshold"), SettingValue());
    const auto message = ::testing::internal::GetCapturedStderr();

    const auto copies = corruptCopies();
    ASSERT_EQ(copies.size(), 1U);
    EXPECT_EQ(readAll(copies.front()), garbage);
    EXPECT_NE(message.find(m_file.string()), std::string::npos) << message;
    EXPECT_NE(message.find(copies.front().string()), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(m_file));

    store.setValue("threshold", std::int64_t {9});
    EXPECT_EQ(FileSettingsStore(m_file).value("threshold"), SettingValue(std::int64_t {9}));
    EXPECT_EQ(corruptCopies().size(), 1U);
}

TEST_F(FileSettingsStoreTest, AHandEditThatBreaksTheFileIsKeptAsideOnceItHasSettled)
{
    FileSettingsStore store(m_file);
    store.setValue("threshold", std::int64_t {15});
    std::atomic<int> changes {0};
    auto token = store.observe("threshold", [&] { ++changes; });

    ::testing::internal::CaptureStderr();
    replaceByHand(m_file, "threshold = \"unterminated\n");
    // Just written, it may be an edit in progress: the old values hold for a moment.
    EXPECT_EQ(store.value("threshold"), SettingValue(std::int64_t {15}));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return store.value("threshold") == SettingValue() && corruptCopies().size() == 1; }, 10000));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(changes, 1);
}

TEST_F(FileSettingsStoreTest, AFolderThatCannotBeWrittenKeepsValuesInMemoryAndRetries)
{
    // Running as root, permissions stop nothing: a regular file where the
    // folder's parent should be does.
    const auto blocker = m_root / "config";
    std::ofstream(blocker) << "not a folder";

    FileSettingsStore store(m_file);
    ::testing::internal::CaptureStderr();
    store.setValue("threshold", std::int64_t {25});
    store.setValue("interval", std::int64_t {120});
    const auto message = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(store.value("threshold"), SettingValue(std::int64_t {25}));
    EXPECT_EQ(store.value("interval"), SettingValue(std::int64_t {120}));
    // One message for the whole spell, naming the file.
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_NE(message.find(m_file.string()), std::string::npos) << message;

    fs::remove(blocker);
    ::testing::internal::CaptureStderr();
    store.setValue("showMenuBar", true);
    ::testing::internal::GetCapturedStderr();
    FileSettingsStore reopened(m_file);
    EXPECT_EQ(reopened.value("threshold"), SettingValue(std::int64_t {25}));
    EXPECT_EQ(reopened.value("showMenuBar"), SettingValue(true));
}

TEST_F(FileSettingsStoreTest, WritesFromManyThreadsAreAllKept)
{
    FileSettingsStore store(m_file);
    std::vector<std::thread> writers;
    for (int thread = 0; thread < 4; ++thread) {
        writers.emplace_back([&store, thread] {
            for (int i = 0; i < 25; ++i)
                store.setValue("key-" + std::to_string(thread) + "-" + std::to_string(i), std::int64_t {i});
        });
    }
    for (auto& writer : writers)
        writer.join();
    FileSettingsStore reopened(m_file);
    for (int thread = 0; thread < 4; ++thread) {
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(reopened.value("key-" + std::to_string(thread) + "-" + std::to_string(i)),
                SettingValue(std::int64_t {i}));
    }
}

TEST_F(FileSettingsStoreTest, AWriterKilledAtAnyMomentLeavesAFileThatParses)
{
    for (int round = 0; round < 12; ++round) {
        test::ChildProcess writer({CORVANE_SETTINGS_WRITER, m_file.string()});
        ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(m_file); }, 20000));
        std::this_thread::sleep_for(milliseconds(3 + 7 * round));
        ::kill(writer.pid(), SIGKILL);
        writer.stop();
        try {
            const auto table = toml::parse_file(m_file.string());
            EXPECT_TRUE(table["interval"].is_integer()) << "round " << round;
        } catch (const toml::parse_error& error) {
            ADD_FAILURE() << "round " << round << ": " << error.description();
        }
    }
}

class DefaultPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* value = std::getenv("XDG_CONFIG_HOME"))
            m_saved = value;
        if (const char* value = std::getenv("HOME"))
            m_home = value;
        ::setenv("HOME", "/home/someone", 1);
    }
    void TearDown() override
    {
        if (m_saved)
            ::setenv("XDG_CONFIG_HOME", m_saved->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        if (m_home)
            ::setenv("HOME", m_home->c_str(), 1);
        else
            ::unsetenv("HOME");
    }
    std::optional<std::string> m_saved;
    std::optional<std::string> m_home;
};

TEST_F(DefaultPathTest, FollowsXdgConfigHomeOrFallsBackToDotConfig)
{
    ::setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
    EXPECT_EQ(FileSettingsStore::defaultPath(), fs::path("/xdg/config/corvane/settings.toml"));
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(FileSettingsStore::defaultPath(), fs::path("/home/someone/.config/corvane/settings.toml"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(FileSettingsStore::defaultPath(), fs::path("/home/someone/.config/corvane/settings.toml"));
}

} // namespace
} // namespace corvane
