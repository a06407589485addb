#pragma once

#include "support/FakePlatform.h"

#include <stdexcept>

namespace corvane::test {

// Runs the main executor until `task` ends (serialised objects may answer
// from their own threads meanwhile) and returns its result.
template <typename T> T finish(ManualExecutor& main, Task<T>&& task)
{
    if (!main.runUntil([&] { return task.isDone(); }))
        throw std::runtime_error("task did not finish");
    return task.await_resume();
}

} // namespace corvane::test
