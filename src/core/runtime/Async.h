#pragma once

#include "core/runtime/Executor.h"
#include "core/runtime/Task.h"

#include <atomic>
#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

// A rule for every coroutine of the project: never write a lambda expression
// inside a `co_await` expression; give it a name first and pass it moved.
// GCC 12 destroys such a closure twice (the sanitizer build catches it).

namespace corvane {

// Calls a coroutine lambda and keeps the lambda, with its captures, alive for
// as long as the coroutine runs. A capturing lambda called as a temporary would
// otherwise leave the coroutine with dangling captures.
template <typename Body> auto startTask(Body body) -> std::invoke_result_t<Body&> { co_return co_await body(); }

// Starts `body()` as an unstructured task: it begins as a job on `executor`
// and nobody waits for it. `body` is a callable returning Task<void>; it is
// kept alive until the task ends.
template <typename Body> void spawn(Executor& executor, Body body)
{
    auto run = [](Executor& on, Body work) -> Task<void> {
        co_await resumeOn(on);
        co_await work();
    };
    Task<void> detached = run(executor, std::move(body));
}

// Runs `work()` as a job on `target` and continues the awaiting coroutine on
// `back` with its result. This is how a caller awaits an operation of a
// serialised object from the main thread.
template <typename Work> auto runOn(Executor& target, Executor& back, Work work) -> Task<std::invoke_result_t<Work&>>
{
    using Result = std::invoke_result_t<Work&>;
    co_await resumeOn(target);
    if constexpr (std::is_void_v<Result>) {
        work();
        co_await resumeOn(back);
    } else {
        Result result = work();
        co_await resumeOn(back);
        co_return result;
    }
}

// The callback handed to an operation that reports through a completion.
// Copies share one slot: the first call wins and later calls are ignored, so a
// peer that answers twice cannot resume the waiting coroutine twice.
template <typename T> using Completion = std::function<void(T)>;

// Awaits an operation that reports once through a completion callback; the
// callback may run on any thread, even inside `start`. The awaiting coroutine
// continues on `resumeOnExecutor` with the reported value.
template <typename T> class CompletionAwaiter {
public:
    CompletionAwaiter(Executor& resumeOnExecutor, std::function<void(Completion<T>)> start)
        : m_executor(resumeOnExecutor)
        , m_start(std::move(start))
    {
    }

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> handle)
    {
        auto slot = std::make_shared<Slot>();
        m_slot = slot;
        Executor* executor = &m_executor;
        // The coroutine may be resumed on another thread before `start`
        // returns, so nothing here touches the awaiter after handing it over.
        auto start = std::move(m_start);
        start([slot, executor, handle](T value) {
            if (slot->answered.exchange(true))
                return;
            slot->value.emplace(std::move(value));
            executor->post([handle] { handle.resume(); });
        });
    }

    T await_resume() { return std::move(*m_slot->value); }

private:
    struct Slot {
        std::atomic<bool> answered {false};
        std::optional<T> value;
    };

    Executor& m_executor;
    std::function<void(Completion<T>)> m_start;
    std::shared_ptr<Slot> m_slot;
};

template <typename T>
CompletionAwaiter<T> awaitCompletion(Executor& resumeOnExecutor, std::function<void(Completion<T>)> start)
{
    return CompletionAwaiter<T>(resumeOnExecutor, std::move(start));
}

} // namespace corvane
