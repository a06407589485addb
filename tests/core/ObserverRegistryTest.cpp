#include "core/runtime/ObserverRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
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

// An observer call blocked on another thread while this one cancels: the
// cancel must not return before the call has ended.
TEST(ObserverRegistryTest, CancelWaitsForACallRunningOnAnotherThread)
{
    ObserverRegistry<> registry;
    std::latch entered {1};
    std::latch release {1};
    std::atomic<bool> callEnded {false};
    std::atomic<int> calls {0};
    auto token = registry.subscribe([&] {
        ++calls;
        entered.count_down();
        release.wait();
        callEnded = true;
    });
    std::thread delivering([&] { registry.notify(); });
    entered.wait();
    std::atomic<bool> cancelReturned {false};
    bool endedBeforeCancelReturned = false;
    std::thread cancelling([&] {
        token.cancel();
        endedBeforeCancelReturned = callEnded;
        cancelReturned = true;
    });
    // Time for a cancel that does not wait to return early.
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(cancelReturned);
    release.count_down();
    cancelling.join();
    delivering.join();
    EXPECT_TRUE(endedBeforeCancelReturned);
    registry.notify();
    EXPECT_EQ(calls, 1);
}

// The same observer runs on two threads at once and, on one, cancels itself:
// that cancel still waits for the call on the other thread.
TEST(ObserverRegistryTest, AnObserverCancellingItselfWaitsForItsCallOnAnotherThread)
{
    ObserverRegistry<> registry;
    std::atomic<int> entries {0};
    std::latch slowEntered {1};
    std::latch release {1};
    std::atomic<bool> slowCallEnded {false};
    std::atomic<bool> cancelReturned {false};
    bool endedBeforeCancelReturned = false;
    Subscription token;
    token = registry.subscribe([&] {
        if (entries++ == 0) {
            slowEntered.count_down();
            release.wait();
            slowCallEnded = true;
            return;
        }
        slowEntered.wait();
        token.cancel();
        endedBeforeCancelReturned = slowCallEnded;
        cancelReturned = true;
    });
    std::thread first([&] { registry.notify(); });
    std::thread second([&] { registry.notify(); });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(cancelReturned);
    release.count_down();
    first.join();
    second.join();
    EXPECT_TRUE(endedBeforeCancelReturned);
}

} // namespace
} // namespace corvane
