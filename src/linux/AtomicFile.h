#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace corvane {

// What a file looked like at one moment; a different identity means that
// someone replaced or edited it since.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::chrono::nanoseconds modified {0}; // since the Unix epoch
    std::chrono::nanoseconds changed {0};
    bool operator==(const FileIdentity&) const = default;
};

// A small file that is only ever replaced whole: a write goes to a temporary
// file in the same folder, is synced and renamed over the file, so a crash
// leaves the old or the new file, never a torn one. The folder is made 0700,
// the file 0600. Not synchronised: one caller at a time.
class AtomicFile {
public:
    // Larger files are not ones that Corvane wrote or a person typed.
    static constexpr std::uintmax_t kMaximumSize = 1024 * 1024;

    explicit AtomicFile(std::filesystem::path file);

    const std::filesystem::path& path() const { return m_file; }
    FileIdentity identity() const;

    // The whole content; empty when there is no file (removed meanwhile
    // included); nothing, with `problem` saying why, when it is too large to read.
    std::optional<std::string> read(std::string& problem) const;

    // Replaces the file with `content`; false, with `problem` saying why, when
    // it could not, and then the file is as it was.
    bool replace(const std::string& content, std::string& problem);

    // Moves a file that cannot be used aside as `<file>.corrupt-<UTC time>`,
    // never deleting it, and says so on stderr with `problem`.
    void keepAside(const std::string& problem);

private:
    bool makeFolder(std::string& problem) const;

    std::filesystem::path m_file;
};

} // namespace corvane
