#pragma once

#include <filesystem>

namespace corvane {

// A name beside `file` that is free for keeping a broken copy:
// `<file>.corrupt-<UTC time>`, with a counter when that is taken.
std::filesystem::path corruptCopyName(const std::filesystem::path& file);

} // namespace corvane
