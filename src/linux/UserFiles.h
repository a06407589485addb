#pragma once

#include <filesystem>
#include <string>

namespace corvane {

// `$<variable>/corvane/<name>`, or `~/<fallback>/corvane/<name>` when the
// variable is unset, empty or relative (as the XDG base directory rules say).
std::filesystem::path userFile(const char* variable, const std::filesystem::path& fallback, const std::string& name);

// A name beside `file` that is free for keeping a broken copy:
// `<file>.corrupt-<UTC time>`, with a counter when that is taken.
std::filesystem::path corruptCopyName(const std::filesystem::path& file);

} // namespace corvane
