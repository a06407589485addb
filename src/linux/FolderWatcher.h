#pragma once

#include "core/runtime/Clock.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace corvane {

// Watches one folder with inotify, without a thread of its own: the event
// loop of the thread that makes it waits on the inotify descriptor and only
// drains it, and `changed` runs on `clock` (its thread, never the event
// loop's) after each batch of changes in the folder, and once more at each
// time asked for with `recheckAfter`. While the folder does not exist, its
// parent is watched for it to appear; a folder removed and made again is
// watched anew. `changed` is never called once the destructor has returned;
// `clock` must outlive the watcher. Where inotify is not available, nothing
// is watched and `changed` runs only when asked for.
class FolderWatcher {
public:
    FolderWatcher(std::filesystem::path folder, Clock& clock, std::function<void()> changed);
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Calls `changed` once more, `delay` from now or sooner if another
    // recheck is due sooner, and watches the folder if it was made meanwhile
    // where nothing saw it come. Any thread.
    void recheckAfter(std::chrono::milliseconds delay);

private:
    struct State;

    std::shared_ptr<State> m_state;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace corvane
