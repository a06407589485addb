#include "linux/FolderWatcher.h"

#include <QSocketNotifier>

#include <array>
#include <cstring>
#include <mutex>
#include <optional>
#include <sys/inotify.h>
#include <unistd.h>
#include <utility>

namespace corvane {

namespace {

constexpr std::uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE;
constexpr std::uint32_t kParentEvents = IN_CREATE | IN_MOVED_TO;

} // namespace

// What the clock's calls need, kept alive by them while one runs.
struct FolderWatcher::State : std::enable_shared_from_this<State> {
    State(std::filesystem::path watched, Clock& time, std::function<void()> onChange)
        : folder(std::move(watched))
        , clock(time)
        , changed(std::move(onChange))
        , inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
    }
    ~State()
    {
        if (inotify >= 0)
            ::close(inotify);
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    void watchFolder();
    void drainEvents();
    void recheckAt(Clock::TimePoint due);
    void fire(std::uint64_t call);

    const std::filesystem::path folder;
    Clock& clock;
    const std::function<void()> changed;
    const int inotify;

    struct Pending {
        Clock::TimePoint due;
        Clock::CallId id;
        std::uint64_t call;
    };
    std::mutex mutex; // guards the watches and the pending call
    int folderWatch = -1;
    int parentWatch = -1;
    std::optional<Pending> pending;
    std::uint64_t calls = 0;

    // Held while `changed` runs, so that the watcher's destructor waits for it.
    std::mutex calling;
    bool stopped = false;
};

// Watches the folder when it exists, else its parent until it does. Mutex held.
void FolderWatcher::State::watchFolder()
{
    if (inotify < 0 || folderWatch >= 0)
        return;
    folderWatch = ::inotify_add_watch(inotify, folder.c_str(), kFolderEvents | IN_ONLYDIR);
    if (folderWatch >= 0 && parentWatch >= 0) {
        ::inotify_rm_watch(inotify, parentWatch);
        parentWatch = -1;
    } else if (folderWatch < 0 && parentWatch < 0) {
        parentWatch = ::inotify_add_watch(inotify, folder.parent_path().c_str(), kParentEvents | IN_ONLYDIR);
    }
}

// Reads every pending event and notes a folder that went away; the event loop's thread.
void FolderWatcher::State::drainEvents()
{
    alignas(inotify_event) std::array<char, 4096> events {};
    ssize_t length = 0;
    while ((length = ::read(inotify, events.data(), events.size())) > 0) {
        std::lock_guard lock(mutex);
        for (ssize_t at = 0; at < length;) {
            inotify_event event {};
            std::memcpy(&event, events.data() + at, sizeof event);
            if ((event.mask & IN_IGNORED) != 0 && event.wd == folderWatch)
                folderWatch = -1;
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
}

// One call of `changed` at `due`, unless one is pending sooner.
void FolderWatcher::State::recheckAt(Clock::TimePoint due)
{
    std::lock_guard lock(mutex);
    if (pending && pending->due <= due)
        return;
    // One that is already firing runs anyway: one look too many, never one too few.
    if (pending)
        clock.cancel(pending->id);
    const auto call = ++calls;
    auto fireCall = [weak = weak_from_this(), call] {
        if (const auto state = weak.lock())
            state->fire(call);
    };
    pending = Pending {due, clock.callAt(due, std::move(fireCall)), call};
}

// The clock's thread.
void FolderWatcher::State::fire(std::uint64_t call)
{
    std::lock_guard running(calling);
    if (stopped)
        return;
    {
        std::lock_guard lock(mutex);
        if (pending && pending->call == call)
            pending.reset();
        watchFolder();
    }
    changed();
}

FolderWatcher::FolderWatcher(std::filesystem::path folder, Clock& clock, std::function<void()> changed)
    : m_state(std::make_shared<State>(std::move(folder), clock, std::move(changed)))
{
    if (m_state->inotify < 0)
        return;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->watchFolder();
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_state->inotify, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [state = m_state.get()] {
        state->drainEvents();
        state->recheckAt(state->clock.now());
    });
}

FolderWatcher::~FolderWatcher()
{
    m_notifier.reset();
    {
        std::lock_guard running(m_state->calling);
        m_state->stopped = true;
    }
    std::lock_guard lock(m_state->mutex);
    if (m_state->pending)
        m_state->clock.cancel(m_state->pending->id);
}

void FolderWatcher::recheckAfter(std::chrono::milliseconds delay) { m_state->recheckAt(m_state->clock.now() + delay); }

} // namespace corvane
