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

TEST(ObserverRegistryTest, NotifyCallsTheObserversOfThatKeyInOrderUntilTheirTokenGoes)
{
    auto registry = std::make_unique<ObserverRegistry<std::string>>();
    std::string calls;
    auto a = registry->subscribe("x", [&] { calls += 'a'; });
    auto b = registry->subscribe("y", [&] { calls += 'b'; });
    {
        auto c = registry->subscribe("x", [&] { calls += 'c'; });
        registry->notify("x");
        EXPECT_EQ(calls, "ac");
    }
    a.cancel();
    registry->notify("x");
    registry->notify("y");
    EXPECT_EQ(calls, "acb");
    // A token that outlives its registry ends quietly.
    registry.reset();
    b.cancel();
}

TEST(ObserverRegistryTest, AnObserverMayCancelItselfAndOthersAndSubscribeFromInsideACall)
{
    ObserverRegistry<> registry;
    std::string calls;
    Subscription self, other, added;
    self = registry.subscribe([&] {
        calls += 's';
        self.cancel();
        other.cancel();
        added = registry.subscribe([&] { calls += 'n'; });
    });
    other = registry.subscribe([&] { calls += 'o'; });
    registry.notify();
    EXPECT_EQ(calls, "s") << "a cancelled observer is not called, even later in the same pass";
    registry.notify();
    EXPECT_EQ(calls, "sn");
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
