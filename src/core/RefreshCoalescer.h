#pragma once

#include "core/runtime/Clock.h"
#include "core/runtime/Executor.h"
#include "core/runtime/Task.h"

#include <chrono>
#include <functional>
#include <memory>

namespace corvane {

// Turns bursts of change reports into few refreshes, without delaying the
// first. A change after a quiet spell starts a refresh at once; changes within
// `delay` of that start, or while it runs, give exactly one more, started
// `delay` after the previous start but never before the running one ended.
// Lives on the main thread: `changed` is called there and `refresh` is
// started there. Destroying the coalescer drops a refresh that has not
// started; one that runs goes on to its end.
class RefreshCoalescer {
public:
    RefreshCoalescer(
        Clock& clock, Executor& main, std::chrono::milliseconds delay, std::function<Task<void>()> refresh);
    RefreshCoalescer(const RefreshCoalescer&) = delete;
    RefreshCoalescer& operator=(const RefreshCoalescer&) = delete;
    ~RefreshCoalescer();

    void changed();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace corvane
