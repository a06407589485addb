#pragma once

#include <atomic>
#include <coroutine>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace corvane {

// An eager coroutine task. The body starts running as soon as the coroutine is
// called and runs until its first suspension; `co_await task` waits for the
// result. Dropping a Task that has not finished detaches it: the body runs on
// to its end and frees itself. So an unstructured task is a Task that nobody
// keeps, and a task outlives a caller that stops waiting for it.
//
// A Task may be awaited once, by one coroutine. The awaiting coroutine resumes
// on the thread where the task finished; hop with `resumeOn` where it matters.
template <typename T = void> class Task;

namespace detail {

// The continuation slot of a task, shared by the body and its owner:
// empty while running, then one of the markers or the awaiting coroutine.
class TaskState {
public:
    // Returns false when the task finished already; the caller then goes on at once.
    bool setContinuation(std::coroutine_handle<> awaiting) noexcept
    {
        void* expected = nullptr;
        return m_slot.compare_exchange_strong(expected, awaiting.address(), std::memory_order_acq_rel);
    }

    // Called by the body at its end; tells what to do next.
    enum class AtEnd { keep, destroy, resume };
    AtEnd finish(std::coroutine_handle<>& continuation) noexcept
    {
        void* previous = m_slot.exchange(doneMarker(), std::memory_order_acq_rel);
        if (previous == nullptr)
            return AtEnd::keep;
        if (previous == detachedMarker())
            return AtEnd::destroy;
        continuation = std::coroutine_handle<>::from_address(previous);
        return AtEnd::resume;
    }

    // Called by the owner that lets go; returns true when the body finished and
    // the owner must destroy the frame.
    bool detach() noexcept { return m_slot.exchange(detachedMarker(), std::memory_order_acq_rel) == doneMarker(); }

    bool isDone() const noexcept { return m_slot.load(std::memory_order_acquire) == doneMarker(); }

private:
    void* doneMarker() const noexcept { return const_cast<char*>(&m_markers[0]); }
    void* detachedMarker() const noexcept { return const_cast<char*>(&m_markers[1]); }

    std::atomic<void*> m_slot {nullptr};
    char m_markers[2] {};
};

template <typename PromiseType> struct FinalAwaiter {
    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<PromiseType> self) noexcept
    {
        std::coroutine_handle<> continuation;
        switch (self.promise().state.finish(continuation)) {
        case TaskState::AtEnd::resume:
            return continuation;
        case TaskState::AtEnd::destroy:
            self.destroy();
            return std::noop_coroutine();
        case TaskState::AtEnd::keep:
            break;
        }
        return std::noop_coroutine();
    }
    void await_resume() const noexcept { }
};

template <typename T> struct Promise;

// What the promises of every Task share: the continuation slot, the error,
// an eager start and the end that hands over to the awaiting coroutine.
template <typename T> struct PromiseBase {
    TaskState state;
    std::exception_ptr error;

    Task<T> get_return_object();
    std::suspend_never initial_suspend() const noexcept { return {}; }
    FinalAwaiter<Promise<T>> final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { error = std::current_exception(); }
};

template <typename T> struct Promise : PromiseBase<T> {
    std::optional<T> value;
    template <typename U> void return_value(U&& result) { value.emplace(std::forward<U>(result)); }
};

template <> struct Promise<void> : PromiseBase<void> {
    void return_void() const noexcept { }
};

} // namespace detail

template <typename T> class [[nodiscard]] Task {
public:
    using promise_type = detail::Promise<T>;

    Task(Task&& other) noexcept
        : m_handle(std::exchange(other.m_handle, {}))
    {
    }
    Task& operator=(Task&& other) noexcept
    {
        if (this != &other) {
            release();
            m_handle = std::exchange(other.m_handle, {});
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() { release(); }

    bool isDone() const noexcept { return m_handle && m_handle.promise().state.isDone(); }

    bool await_ready() const noexcept { return isDone(); }
    bool await_suspend(std::coroutine_handle<> awaiting) noexcept
    {
        return m_handle.promise().state.setContinuation(awaiting);
    }
    T await_resume()
    {
        auto& promise = m_handle.promise();
        if (promise.error)
            std::rethrow_exception(promise.error);
        if constexpr (!std::is_void_v<T>)
            return std::move(*promise.value);
    }

private:
    friend struct detail::PromiseBase<T>;

    explicit Task(std::coroutine_handle<promise_type> handle)
        : m_handle(handle)
    {
    }
    void release() noexcept
    {
        if (m_handle && m_handle.promise().state.detach())
            m_handle.destroy();
        m_handle = {};
    }

    std::coroutine_handle<promise_type> m_handle;
};

template <typename T> Task<T> detail::PromiseBase<T>::get_return_object()
{
    return Task<T>(std::coroutine_handle<Promise<T>>::from_promise(static_cast<Promise<T>&>(*this)));
}

} // namespace corvane
