#pragma once

#include <filesystem>

namespace corvane::xdg {

// The user's base directories as the XDG base directory rules give them: the
// variable when it holds an absolute path, otherwise the default under the
// home folder ($HOME, or the password database's entry when it is unset).
std::filesystem::path configHome();
std::filesystem::path stateHome();

} // namespace corvane::xdg
