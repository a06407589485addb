#pragma once

#include <filesystem>
#include <string>

namespace corvane::xdg {

// The user's base directories as the XDG base directory rules give them: the
// variable when it holds an absolute path, otherwise the default under the
// home folder ($HOME, or the password database's entry when it is unset).
std::filesystem::path configHome();
std::filesystem::path stateHome();

// Whether an icon theme installed for this user or system-wide (the hicolor
// theme or the legacy pixmaps folder, under the XDG data folders) holds an
// icon called `name`.
bool hasInstalledIcon(const std::string& name);

} // namespace corvane::xdg
