#include "linux/FolderWatcher.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <utility>

namespace corvane {

namespace {

constexpr std::uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE;
constexpr std::uint32_t kParentEvents = IN_CREATE | IN_MOVED_TO;

} // namespace

FolderWatcher::FolderWatcher(std::filesystem::path folder, std::function<void()> changed)
    : m_folder(std::move(folder))
    , m_changed(std::move(changed))
{
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0 || ::pipe2(m_wakePipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    watchFolder();
    m_thread = std::thread([this] { run(); });
}

FolderWatcher::~FolderWatcher()
{
    if (m_thread.joinable()) {
        m_stopping = true;
        const char wake = 0;
        (void)!::write(m_wakePipe[1], &wake, 1);
        m_thread.join();
    }
    for (int descriptor : {m_inotify, m_wakePipe[0], m_wakePipe[1]}) {
        if (descriptor >= 0)
            ::close(descriptor);
    }
}

void FolderWatcher::recheckAfter(std::chrono::milliseconds delay)
{
    const auto due = Clock::now() + delay;
    {
        std::lock_guard lock(m_mutex);
        if (m_recheck && *m_recheck <= due)
            return;
        m_recheck = due;
    }
    const char wake = 0;
    (void)!::write(m_wakePipe[1], &wake, 1);
}

// Watches the folder when it exists, else its parent until it does. Watcher thread
// (or the constructor, before it starts).
void FolderWatcher::watchFolder()
{
    if (m_folderWatch >= 0)
        return;
    m_folderWatch = ::inotify_add_watch(m_inotify, m_folder.c_str(), kFolderEvents | IN_ONLYDIR);
    if (m_folderWatch >= 0 && m_parentWatch >= 0) {
        ::inotify_rm_watch(m_inotify, m_parentWatch);
        m_parentWatch = -1;
    } else if (m_folderWatch < 0 && m_parentWatch < 0) {
        m_parentWatch = ::inotify_add_watch(m_inotify, m_folder.parent_path().c_str(), kParentEvents | IN_ONLYDIR);
    }
}

// Reads every pending event; notes a folder that went away.
void FolderWatcher::drainEvents()
{
    alignas(inotify_event) std::array<char, 4096> events {};
    ssize_t length = 0;
    while ((length = ::read(m_inotify, events.data(), events.size())) > 0) {
        for (ssize_t at = 0; at < length;) {
            inotify_event event {};
            std::memcpy(&event, events.data() + at, sizeof event);
            if ((event.mask & IN_IGNORED) != 0 && event.wd == m_folderWatch)
                m_folderWatch = -1;
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
}

// The recheck that is due now, if any (and then none is pending); else, in
// `timeout`, the milliseconds until the next one (-1: none pending).
std::optional<FolderWatcher::Clock::time_point> FolderWatcher::takeDueRecheck(int& timeout)
{
    std::lock_guard lock(m_mutex);
    timeout = -1;
    if (!m_recheck)
        return std::nullopt;
    const auto now = Clock::now();
    if (*m_recheck <= now)
        return std::exchange(m_recheck, std::nullopt);
    timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*m_recheck - now).count());
    return std::nullopt;
}

void FolderWatcher::run()
{
    std::array<pollfd, 2> descriptors {{{m_inotify, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}}};
    while (!m_stopping) {
        int timeout = -1;
        bool due = takeDueRecheck(timeout).has_value();
        if (!due) {
            if (::poll(descriptors.data(), descriptors.size(), timeout) < 0 && errno != EINTR)
                return;
            if ((descriptors[1].revents & POLLIN) != 0) {
                std::array<char, 64> drained {};
                while (::read(m_wakePipe[0], drained.data(), drained.size()) > 0) { }
            }
            if (m_stopping)
                return;
            due = takeDueRecheck(timeout).has_value();
        }
        const bool events = (descriptors[0].revents & POLLIN) != 0;
        descriptors[0].revents = 0;
        if (events)
            drainEvents();
        if (events || due) {
            watchFolder();
            m_changed();
        }
    }
}

} // namespace corvane
