#include "linux/XdgPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <vector>

namespace corvane::xdg {

namespace {

namespace fs = std::filesystem;

fs::path homeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr)
        return user->pw_dir;
    return {};
}

// A relative path in the variable is invalid and ignored, as the rules say.
fs::path baseDirectory(const char* variable, const fs::path& underHome)
{
    if (const char* value = std::getenv(variable); value != nullptr && fs::path(value).is_absolute())
        return value;
    return homeFolder() / underHome;
}

} // namespace

fs::path configHome() { return baseDirectory("XDG_CONFIG_HOME", ".config"); }

fs::path stateHome() { return baseDirectory("XDG_STATE_HOME", fs::path(".local") / "state"); }

bool hasInstalledIcon(const std::string& name)
{
    std::vector<fs::path> folders {baseDirectory("XDG_DATA_HOME", fs::path(".local") / "share")};
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream list(dataDirs != nullptr && *dataDirs != '\0' ? dataDirs : "/usr/local/share:/usr/share");
    for (std::string folder; std::getline(list, folder, ':');) {
        if (fs::path(folder).is_absolute())
            folders.emplace_back(folder);
    }
    std::error_code error;
    for (const auto& folder : folders) {
        for (const char* extension : {".svg", ".png"}) {
            if (fs::is_regular_file(folder / "pixmaps" / (name + extension), error))
                return true;
            for (const auto& size : fs::directory_iterator(folder / "icons" / "hicolor", error)) {
                if (fs::is_regular_file(size.path() / "apps" / (name + extension), error))
                    return true;
            }
        }
    }
    return false;
}

} // namespace corvane::xdg
