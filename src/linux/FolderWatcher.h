#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace corvane {

// Watches one folder with inotify on a thread of its own and calls `changed`
// there after each batch of changes in it, and once more at each time asked
// for with `recheckAfter`. While the folder does not exist, its parent is
// watched for it to appear; a folder removed and made again is watched anew.
// `changed` is never called once the destructor has returned. Where inotify
// is not available, nothing is watched and `changed` is never called.
class FolderWatcher {
public:
    FolderWatcher(std::filesystem::path folder, std::function<void()> changed);
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Calls `changed` once more, `delay` from now or sooner if another
    // recheck is due sooner, and watches the folder if it was made meanwhile
    // where nothing saw it come. Any thread.
    void recheckAfter(std::chrono::milliseconds delay);

private:
    using Clock = std::chrono::steady_clock;

    void run();
    void drainEvents();
    void watchFolder();
    std::optional<Clock::time_point> takeDueRecheck(int& timeout);

    std::filesystem::path m_folder;
    std::function<void()> m_changed;
    int m_inotify = -1;
    int m_folderWatch = -1;
    int m_parentWatch = -1;
    std::array<int, 2> m_wakePipe {-1, -1};
    std::atomic<bool> m_stopping {false};
    std::mutex m_mutex;
    std::optional<Clock::time_point> m_recheck;
    std::thread m_thread;
};

} // namespace corvane
