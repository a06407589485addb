#pragma once

#include <coroutine>
#include <functional>

namespace corvane {

// A place where jobs run. `post` may be called from any thread; the job runs
// later on the executor's own thread(s), never inside `post`. Jobs posted from
// one thread to a serial executor run in the order they were posted.
class Executor {
public:
    virtual ~Executor() = default;
    virtual void post(std::function<void()> job) = 0;
};

// `co_await resumeOn(executor)` suspends the coroutine and continues it as a
// job on `executor`: the one way to change threads inside a coroutine.
class ResumeOn {
public:
    explicit ResumeOn(Executor& executor)
        : m_executor(executor)
    {
    }
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) const
    {
        m_executor.post([handle] { handle.resume(); });
    }
    void await_resume() const noexcept { }

private:
    Executor& m_executor;
};

inline ResumeOn resumeOn(Executor& executor) { return ResumeOn(executor); }

} // namespace corvane
