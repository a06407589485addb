#include "linux/FileSettingsStore.h"

#include "linux/PrivateBus.h"
#include "linux/SettingsFiles.h"

#include <QTest>

#include <gtest/gtest.h>
#include <toml++/toml.h>

#include <atomic>
#include <sys/stat.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

class FileSettingsStoreTest : public ::testing::Test {
protected:
    // As an editor saves: a new file renamed over the old one.
    void editByHand(const std::string& content)
    {
        std::ofstream(m_file.string() + "~") << content;
        fs::rename(m_file.string() + "~", m_file);
    }
    std::size_t keptAside() const { return test::keptAside(m_file.parent_path()).size(); }

    QTemporaryDir m_folder;
    const fs::path m_file = m_folder.filePath("config/corvane/settings.toml").toStdString();
};

// Keys as devices may name themselves; toml++ alone writes some of them bare or broken.
class SettingsKeys : public FileSettingsStoreTest, public ::testing::WithParamInterface<const char*> { };

INSTANTIATE_TEST_SUITE_P(Serials, SettingsKeys,
    ::testing::Values("AA:BB:CC:DD:EE:FF", "O'BRIEN", "'", "<B>&AMP;", "A.B", "K380 \\ 1", "\"Q\" = [X]", "ÄÖ'"));

TEST_P(SettingsKeys, EveryValueSurvivesARestartInAPrivateFileThatParses)
{
    const Date remind = Date(sys_days(2027y / January / 1) + hours(21)) + microseconds(250);
    FileSettingsStore(m_file).setValue(GetParam(), remind);
    FileSettingsStore(m_file).setValue("showMenuBar", false);
    const auto text = test::contentOf(m_file);
    EXPECT_NO_THROW(static_cast<void>(toml::parse(text))) << text;
    EXPECT_NE(text.find("= 2027-01-01T21:00:00.00025Z"), std::string::npos) << text;
    struct stat info { };
    EXPECT_EQ((::stat(m_file.c_str(), &info), info.st_mode & 0777U), 0600U);
    FileSettingsStore reopened(m_file);
    EXPECT_EQ(reopened.value(GetParam()), SettingValue(remind));
    EXPECT_EQ(reopened.value("showMenuBar"), SettingValue(false));
}

TEST_F(FileSettingsStoreTest, ValuesOfOtherTypesReadAsOtherAndAreWrittenBackUnchanged)
{
    fs::create_directories(m_file.parent_path());
    std::ofstream(m_file) << "threshold = \"high\"\n\"AA:BB\" = 1979-05-27T07:32:00\ninterval = 2.5\nGONE = 1\n"
                             "[nested]\nkey = [1, 2]\n";
    FileSettingsStore store(m_file);
    for (const char* key : {"threshold", "AA:BB", "interval", "nested"})
        EXPECT_EQ(store.value(key), SettingValue(OtherSetting {})) << key;
    store.remove("GONE");
    const auto rewritten = toml::parse_file(m_file.string());
    EXPECT_EQ(rewritten["threshold"].value<std::string>(), "high");
    EXPECT_EQ(rewritten["interval"].value<double>(), 2.5);
    EXPECT_TRUE(rewritten["AA:BB"].is_date_time());
    EXPECT_EQ(rewritten["nested"]["key"][1].value<std::int64_t>(), 2);
    EXPECT_FALSE(rewritten.contains("GONE"));
}

TEST_F(FileSettingsStoreTest, ObserversHearEveryChangeOnceWhoeverMadeIt)
{
    FileSettingsStore store(m_file);
    std::atomic<int> threshold {0}, interval {0}, cancelled {0};
    auto thresholdToken = store.observe("threshold", [&] { ++threshold; });
    auto intervalToken = store.observe("interval", [&] { ++interval; });
    store.observe("threshold", [&] { ++cancelled; }).cancel();
    store.setValue("threshold", std::int64_t {20});
    EXPECT_EQ(threshold, 1);
    editByHand("threshold = 12\n");
    EXPECT_EQ(store.value("threshold"), SettingValue(std::int64_t {12}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return threshold == 2; }, 10000));
    std::ofstream(m_file, std::ios::app) << "interval = 90\n";
    EXPECT_TRUE(QTest::qWaitFor([&] { return interval == 1; }, 10000));
    // Events come in order: the watcher has seen, and not passed on, the store's own write.
    EXPECT_EQ(threshold, 2);
    EXPECT_EQ(cancelled, 0);
}

TEST_F(FileSettingsStoreTest, AFileThatDoesNotParseIsSetAsideOnceSettledAndValuesStartFresh)
{
    FileSettingsStore store(m_file);
    store.setValue("threshold", std::int64_t {15});
    ::testing::internal::CaptureStderr();
    editByHand("threshold = [[\n");
    // Just written, it may be an edit in progress: the old values hold for a moment.
    EXPECT_EQ(store.value("threshold"), SettingValue(std::int64_t {15}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.value("threshold") == SettingValue() && keptAside() == 1; }, 10000));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(".corrupt-"), std::string::npos);
    EXPECT_EQ(test::contentOf(test::keptAside(m_file.parent_path()).front()), "threshold = [[\n");
    store.setValue("threshold", std::int64_t {9});
    EXPECT_EQ(FileSettingsStore(m_file).value("threshold"), SettingValue(std::int64_t {9}));
    EXPECT_EQ(keptAside(), 1U);
}

TEST_F(FileSettingsStoreTest, AnUnwritableFolderKeepsValuesInMemoryWithOneMessage)
{
    // Running as root, permissions stop nothing: a file where the folder's parent should be does.
    std::ofstream(m_folder.filePath("config").toStdString()) << "not a folder";
    FileSettingsStore store(m_file);
    ::testing::internal::CaptureStderr();
    store.setValue("threshold", std::int64_t {25});
    store.setValue("interval", std::int64_t {120});
    const auto message = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(store.value("threshold"), SettingValue(std::int64_t {25}));
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    fs::remove(m_folder.filePath("config").toStdString());
    store.setValue("showMenuBar", true);
    EXPECT_EQ(FileSettingsStore(m_file).value("interval"), SettingValue(std::int64_t {120}));
}

} // namespace
} // namespace corvane
