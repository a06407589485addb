#include "core/RefreshCoalescer.h"

#include "core/runtime/Async.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace corvane {

struct RefreshCoalescer::State : std::enable_shared_from_this<State> {
    State(Clock& onClock, Executor& onMain, std::chrono::milliseconds wait, std::function<Task<void>()> work)
        : clock(onClock)
        , main(onMain)
        , delay(wait)
        , refresh(std::move(work))
    {
    }

    void schedule(Clock::TimePoint at)
    {
        std::weak_ptr<State> weak = weak_from_this();
        Executor& onMain = main;
        // The clock fires on a thread of its own; the refresh starts on the main thread.
        scheduled = clock.callAt(at, [weak, &onMain] {
            onMain.post([weak] {
                if (auto self = weak.lock())
                    self->start();
            });
        });
    }

    void start()
    {
        if (!scheduled)
            return;
        scheduled.reset();
        running = true;
        spawn(main, [self = shared_from_this()]() -> Task<void> {
            co_await self->refresh();
            co_await resumeOn(self->main);
            self->ended();
        });
    }

    void ended()
    {
        running = false;
        if (stopped || !changedWhileRunning)
            return;
        const auto at = std::max(clock.now(), *changedWhileRunning + delay);
        changedWhileRunning.reset();
        schedule(at);
    }

    Clock& clock;
    Executor& main;
    const std::chrono::milliseconds delay;
    const std::function<Task<void>()> refresh;
    std::optional<Clock::CallId> scheduled;
    bool running = false;
    bool stopped = false;
    std::optional<Clock::TimePoint> changedWhileRunning;
};

RefreshCoalescer::RefreshCoalescer(
    Clock& clock, Executor& main, std::chrono::milliseconds delay, std::function<Task<void>()> refresh)
    : m_state(std::make_shared<State>(clock, main, delay, std::move(refresh)))
{
}

RefreshCoalescer::~RefreshCoalescer()
{
    m_state->stopped = true;
    if (auto call = std::exchange(m_state->scheduled, std::nullopt))
        m_state->clock.cancel(*call);
}

void RefreshCoalescer::changed()
{
    auto& state = *m_state;
    if (state.running) {
        if (!state.changedWhileRunning)
            state.changedWhileRunning = state.clock.now();
    } else if (!state.scheduled) {
        state.schedule(state.clock.now() + state.delay);
    }
}

} // namespace corvane
