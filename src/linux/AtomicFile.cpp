#include "linux/AtomicFile.h"

#include "linux/UserFiles.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace fs = std::filesystem;

namespace {

std::chrono::nanoseconds sinceEpoch(const timespec& time)
{
    return std::chrono::seconds {time.tv_sec} + std::chrono::nanoseconds {time.tv_nsec};
}

bool writeAll(int descriptor, const std::string& content)
{
    std::size_t written = 0;
    while (written < content.size()) {
        const auto result = ::write(descriptor, content.data() + written, content.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return false;
        written += static_cast<std::size_t>(result);
    }
    return true;
}

} // namespace

AtomicFile::AtomicFile(fs::path file)
    : m_file(std::move(file))
{
}

FileIdentity AtomicFile::identity() const
{
    struct stat info { };
    if (::stat(m_file.c_str(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino, info.st_size, sinceEpoch(info.st_mtim), sinceEpoch(info.st_ctim)};
}

std::optional<std::string> AtomicFile::read(std::string& problem) const
{
    std::error_code error;
    const auto size = fs::file_size(m_file, error);
    if (!error && size > kMaximumSize) {
        problem = "larger than " + std::to_string(kMaximumSize) + " bytes";
        return std::nullopt;
    }
    std::string content;
    std::FILE* stream = error ? nullptr : std::fopen(m_file.c_str(), "rb");
    // Gone between the look and the read: read as empty.
    if (stream == nullptr)
        return content;
    content.resize(static_cast<std::size_t>(size));
    content.resize(std::fread(content.data(), 1, content.size(), stream));
    std::fclose(stream);
    return content;
}

bool AtomicFile::makeFolder(std::string& problem) const
{
    const auto folder = m_file.parent_path();
    std::error_code error;
    if (fs::is_directory(folder, error))
        return true;
    fs::create_directories(folder.parent_path(), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = "cannot create " + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool AtomicFile::replace(const std::string& content, std::string& problem)
{
    if (!makeFolder(problem))
        return false;
    const auto folder = m_file.parent_path();
    std::string temporary = (folder / (m_file.filename().string() + ".tmp-XXXXXX")).string();
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        problem = std::strerror(errno);
        return false;
    }
    bool ok = ::fchmod(descriptor, 0600) == 0 && writeAll(descriptor, content) && ::fsync(descriptor) == 0;
    if (!ok)
        problem = std::strerror(errno);
    if (::close(descriptor) != 0 && ok) {
        problem = std::strerror(errno);
        ok = false;
    }
    if (ok && ::rename(temporary.c_str(), m_file.c_str()) != 0) {
        problem = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself must reach the disk too.
    const int folderDescriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0) {
        ::fsync(folderDescriptor);
        ::close(folderDescriptor);
    }
    return true;
}

void AtomicFile::keepAside(const std::string& problem)
{
    const auto aside = corruptCopyName(m_file);
    std::error_code error;
    fs::rename(m_file, aside, error);
    if (error) {
        std::cerr << "corvane: the settings file " << m_file << " does not parse (" << problem
                  << ") and could not be moved aside to " << aside << " (" << error.message()
                  << "); starting from defaults\n";
        return;
    }
    std::cerr << "corvane: the settings file " << m_file << " does not parse (" << problem << "); kept it as " << aside
              << " and starting from defaults\n";
}

} // namespace corvane
