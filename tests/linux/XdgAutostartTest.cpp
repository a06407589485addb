#include "linux/XdgAutostart.h"
#include "linux/SettingsFiles.h"
#include "linux/XdgPaths.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace corvane {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// On and off through its own entry, reading what the desktop's session settings left there, and leaving
// other entries alone; a file where the folder should be fails every write (even as root) and is left as is.
// The executable is quoted as the Exec key needs.
TEST(XdgAutostartTest, TurnsOnAndOffThroughItsOwnEntryOnly)
{
    QTemporaryDir folder;
    const fs::path autostart = fs::path(folder.path().toStdString()) / "autostart";
    const fs::path entry = autostart / "corvane.desktop", other = autostart / "other.desktop";
    write(other, "[Desktop Entry]\nExec=other\nHidden=true\n");
    XdgAutostart item(entry, "/usr/bin/corvane");
    EXPECT_FALSE(item.isEnabled());
    ASSERT_TRUE(item.setEnabled(true));
    EXPECT_TRUE(item.isEnabled());
    EXPECT_NE(test::contentOf(entry).find("\nExec=\"/usr/bin/corvane\"\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(entry.string() + ".partial"));
    for (const auto& [text, enabled] : std::vector<std::pair<const char*, bool>> {
             {"[Desktop Entry]\nExec=corvane\n", true}, {"[Desktop Entry]\nExec=corvane\nHidden=true\n", false},
             {"[Desktop Entry]\nExec=corvane\nHidden = true\r\n", false},
             {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
             {"[Desktop Entry]\nX-GNOME-Autostart-enabled=true\nHidden=false\n", true},
             {"[Desktop Action x]\nHidden=true\n[Desktop Entry]\nExec=corvane\n", true}}) {
        write(entry, text);
        EXPECT_EQ(item.isEnabled(), enabled) << text;
    }
    ASSERT_TRUE(item.setEnabled(true));
    EXPECT_TRUE(item.isEnabled()) << "turning on replaces an entry the desktop switched off";
    ASSERT_TRUE(item.setEnabled(false));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_TRUE(item.setEnabled(false)) << "turning off what is off is no failure";
    EXPECT_EQ(test::contentOf(other), "[Desktop Entry]\nExec=other\nHidden=true\n");
    fs::remove_all(autostart);
    write(autostart, "");
    EXPECT_FALSE(item.setEnabled(true));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_TRUE(fs::is_regular_file(autostart));
    for (const auto& [executable, exec] :
        std::vector<std::pair<const char*, const char*>> {{"/opt/my apps/corvane", R"(Exec="/opt/my apps/corvane")"},
            {R"(/a"b/$HOME/`x`)", R"(Exec="/a\\"b/\\$HOME/\\`x\\`")"}, {R"(/back\slash)", R"(Exec="/back\\\\slash")"}})
        EXPECT_NE(XdgAutostart::entryText(executable).find(std::string("\n") + exec + "\n"), std::string::npos)
            << XdgAutostart::entryText(executable);
}

TEST(XdgPathsTest, FindsAnIconWhereAnInstalledThemeOrThePixmapsFolderHoldsIt)
{
    QTemporaryDir folder;
    const fs::path home = fs::path(folder.path().toStdString()) / "home";
    const fs::path system = fs::path(folder.path().toStdString()) / "system";
    write(home / "icons" / "hicolor" / "48x48" / "apps" / "mine.png", "png");
    write(system / "icons" / "hicolor" / "scalable" / "apps" / "theirs.svg", "svg");
    write(system / "pixmaps" / "old.png", "png");
    write(system / "icons" / "hicolor" / "48x48" / "apps" / "folder.svg" / "x", "not a file");
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_DIRS", ("relative:" + system.string()).c_str(), 1);
    for (const char* name : {"mine", "theirs", "old"})
        EXPECT_TRUE(xdg::hasInstalledIcon(name)) << name;
    for (const char* name : {"folder", "missing"})
        EXPECT_FALSE(xdg::hasInstalledIcon(name)) << name;
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_DIRS");
}

} // namespace
} // namespace corvane
