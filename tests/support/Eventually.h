#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace corvane::test {

// Waits until `condition` holds, checking every millisecond; false when it
// still does not after `limit`. For state that another thread changes.
inline bool eventually(
    const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace corvane::test
