#include "linux/XdgPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

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

} // namespace corvane::xdg
