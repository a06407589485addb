#pragma once

#include "core/runtime/Executor.h"

#include <coroutine>
#include <deque>
#include <utility>

namespace corvane {

// A lock for coroutines that all run on one executor (the main thread): a
// coroutine that finds it held suspends without blocking the thread and
// continues, in arrival order, when the holder lets go. Not for use across
// threads.
class AsyncMutex {
public:
    class Guard {
    public:
        explicit Guard(AsyncMutex* mutex)
            : m_mutex(mutex)
        {
        }
        Guard(Guard&& other) noexcept
            : m_mutex(std::exchange(other.m_mutex, nullptr))
        {
        }
        Guard& operator=(Guard&&) = delete;
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        ~Guard()
        {
            if (m_mutex)
                m_mutex->unlock();
        }

    private:
        AsyncMutex* m_mutex;
    };

    class LockAwaiter {
    public:
        explicit LockAwaiter(AsyncMutex& mutex)
            : m_mutex(mutex)
        {
        }
        bool await_ready() const noexcept
        {
            if (m_mutex.m_locked)
                return false;
            m_mutex.m_locked = true;
            return true;
        }
        void await_suspend(std::coroutine_handle<> handle) { m_mutex.m_waiters.push_back(handle); }
        Guard await_resume() const noexcept { return Guard(&m_mutex); }

    private:
        AsyncMutex& m_mutex;
    };

    explicit AsyncMutex(Executor& executor)
        : m_executor(executor)
    {
    }
    AsyncMutex(const AsyncMutex&) = delete;
    AsyncMutex& operator=(const AsyncMutex&) = delete;

    // `auto guard = co_await mutex.lock();` holds the lock until `guard` goes.
    LockAwaiter lock() { return LockAwaiter(*this); }

private:
    void unlock()
    {
        if (m_waiters.empty()) {
            m_locked = false;
            return;
        }
        // The lock passes straight to the next waiter; it stays held meanwhile.
        auto next = m_waiters.front();
        m_waiters.pop_front();
        m_executor.post([next] { next.resume(); });
    }

    Executor& m_executor;
    bool m_locked = false;
    std::deque<std::coroutine_handle<>> m_waiters;
};

} // namespace corvane
