#include "linux/XdgAutostart.h"
#include "linux/SettingsFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace corvane {
namespace {

namespace fs = std::filesystem;

// On and off through its own entry, reading what the desktop's session settings left there, and leaving
// other entries alone. The executable is quoted as the Exec key needs.
TEST(XdgAutostartTest, TurnsOnAndOffThroughItsOwnEntryOnly)
{
    QTemporaryDir folder;
    const fs::path autostart = fs::path(folder.path().toStdString()) / "autostart";
    const fs::path entry = autostart / "corvane.desktop", other = autostart / "other.desktop";
    fs::create_directories(autostart);
    std::ofstream(other) << "[Desktop Entry]\nExec=other\nHidden=true\n";
    XdgAutostart item(entry, "/usr/bin/corvane");
    ASSERT_TRUE(item.setEnabled(true));
    EXPECT_NE(test::contentOf(entry).find("\nExec=\"/usr/bin/corvane\"\n"), std::string::npos);
    for (const auto& [text, enabled] : std::vector<std::pair<const char*, bool>> {
             {"[Desktop Entry]\nExec=corvane\n", true}, {"[Desktop Entry]\nExec=corvane\nHidden=true\n", false},
             {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
             {"[Desktop Action x]\nHidden=true\n[Desktop Entry]\nExec=corvane\n", true}}) {
        std::ofstream(entry) << text;
        EXPECT_EQ(item.isEnabled(), enabled) << text;
    }
    ASSERT_TRUE(item.setEnabled(true));
    EXPECT_TRUE(item.isEnabled()) << "turning on replaces an entry the desktop switched off";
    ASSERT_TRUE(item.setEnabled(false));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_EQ(test::contentOf(other), "[Desktop Entry]\nExec=other\nHidden=true\n");
    const auto text = XdgAutostart::entryText(R"(/opt/my apps/a"b$`x`\y)");
    const std::string exec = R"(Exec="/opt/my apps/a\\"b\\$\\`x\\`\\\\y")";
    EXPECT_NE(text.find("\n" + exec + "\n"), std::string::npos) << text;
}

} // namespace
} // namespace corvane
