#include "core/runtime/ObserverRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <latch>
#include <string>
#include <thread>

namespace corvane {
namespace {

using namespace std::chrono_literals;

// Observers of a key are called in order until their token goes; one may cancel itself and others, or subscribe,
// from inside a call, and a token that outlives its registry ends quietly.
TEST(ObserverRegistryTest, NotifyCallsTheObserversOfThatKeyInOrderUntilTheirTokenGoes)
{
    auto registry = std::make_unique<ObserverRegistry<std::string>>();
    std::string calls;
    Subscription self, other, added;
    auto a = registry->subscribe("x", [&] { calls += 'a'; });
    auto y = registry->subscribe("y", [&] { calls += 'y'; });
    self = registry->subscribe("x", [&] {
        calls += 's';
        self.cancel();
        other.cancel();
        added = registry->subscribe("x", [&] { calls += 'n'; });
    });
    other = registry->subscribe("x", [&] { calls += 'o'; });
    registry->notify("x");
    EXPECT_EQ(calls, "as") << "a cancelled observer is not called, even later in the same pass";
    registry->notify("x");
    registry->notify("y");
    EXPECT_EQ(calls, "asany");
    registry.reset();
    y.cancel();
}

// An observer's first call blocks on one thread; its token is then cancelled from another thread, or by the
// observer itself in a second call. Either cancel must not return before the blocked call has ended.
TEST(ObserverRegistryTest, CancelWaitsForACallRunningOnAnotherThread)
{
    for (const bool fromInside : {false, true}) {
        SCOPED_TRACE(fromInside ? "cancelled by the observer" : "cancelled from outside");
        ObserverRegistry<> registry;
        std::latch entered {1}, release {1};
        std::atomic<int> calls {0};
        std::atomic<bool> blockedCallEnded {false}, cancelReturned {false};
        bool endedBeforeCancelReturned = false;
        Subscription token;
        const std::function<void()> cancel = [&] {
            token.cancel();
            endedBeforeCancelReturned = blockedCallEnded;
            cancelReturned = true;
        };
        token = registry.subscribe([&] {
            if (calls++ > 0)
                return cancel();
            entered.count_down();
            release.wait();
            blockedCallEnded = true;
        });
        std::thread blocked([&] { registry.notify(); });
        entered.wait();
        std::thread cancelling(fromInside ? std::function<void()>([&] { registry.notify(); }) : cancel);
        // Time for a cancel that does not wait to return early.
        std::this_thread::sleep_for(100ms);
        EXPECT_FALSE(cancelReturned);
        release.count_down();
        cancelling.join();
        blocked.join();
        EXPECT_TRUE(endedBeforeCancelReturned);
        registry.notify();
        EXPECT_EQ(calls, fromInside ? 2 : 1);
    }
}

} // namespace
} // namespace corvane
