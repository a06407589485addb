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
                if (auto self = weak.lock(); self && self->scheduled)
                    self->start();
            });
        });
    }

    void changed()
    {
        if (running) {
            changedSinceStart = true;
            return;
        }
        if (scheduled)
            return;
        if (lastStart && clock.now() < *lastStart + delay)
            schedule(*lastStart + delay);
        else
            start();
    }

    void start()
    {
        scheduled.reset();
        running = true;
        lastStart = clock.now();
        spawn(main, [self = shared_from_this()]() -> Task<void> {
            co_await self->refresh();
            co_await resumeOn(self->main);
            self->ended();
        });
    }

    void ended()
    {
        running = false;
        if (stopped || !changedSinceStart)
            return;
        changedSinceStart = false;
        schedule(std::max(clock.now(), *lastStart + delay));
    }

    Clock& clock;
    Executor& main;
    const std::chrono::milliseconds delay;
    const std::function<Task<void>()> refresh;
    std::optional<Clock::CallId> scheduled;
    std::optional<Clock::TimePoint> lastStart;
    bool running = false;
    bool stopped = false;
    bool changedSinceStart = false;
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

void RefreshCoalescer::changed() { m_state->changed(); }

} // namespace corvane
