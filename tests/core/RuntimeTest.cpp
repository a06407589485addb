#include "core/runtime/Async.h"
#include "core/runtime/ObserverRegistry.h"
#include "core/runtime/ThreadClock.h"
#include "core/runtime/ThreadPoolExecutor.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <future>
#include <latch>
#include <thread>

namespace corvane {
namespace {

using namespace std::chrono_literals;

TEST(RuntimeTest, RunOnAndCompletionsComeBackOnTheCallersExecutorOnce)
{
    test::ManualExecutor main;
    SerialExecutor worker;
    const auto where = [] { return std::this_thread::get_id(); };
    const std::function<void(Completion<int>)> answer1
        = [&worker](Completion<int> done) { worker.post([done] { done(1); }); };
    std::vector<std::thread::id> threads;
    auto task = startTask([&]() -> Task<int> {
        threads.push_back(co_await runOn(worker, main, where));
        threads.push_back(where());
        const int answer = co_await awaitCompletion<int>(main, answer1);
        threads.push_back(where());
        co_return answer;
    });
    EXPECT_EQ(test::finish(main, std::move(task)), 1);
    EXPECT_NE(threads.at(0), where());
    EXPECT_EQ(threads, (std::vector {threads[0], where(), where()}));
}

TEST(RuntimeTest, ThreadClockForgetsACallCancelledWhileItWaitsOnItsDeadline)
{
    ThreadClock clock;
    std::promise<void> fired;
    auto distant = clock.callAt(clock.now() + 1h, [] { ADD_FAILURE() << "a cancelled call ran"; });
    std::this_thread::sleep_for(5ms); // lets the clock's thread start waiting on the distant deadline
    EXPECT_TRUE(clock.cancel(distant));
    clock.callAt(clock.now() + 1ms, [&] { fired.set_value(); });
    EXPECT_EQ(fired.get_future().wait_for(30s), std::future_status::ready);
}

// Observers of a key are called in order until their token goes; one may cancel itself and others, or subscribe,
// from inside a call.
TEST(ObserverRegistryTest, NotifyCallsTheObserversOfThatKeyInOrderUntilTheirTokenGoes)
{
    ObserverRegistry<std::string> registry;
    std::string calls;
    Subscription self, other, added;
    auto a = registry.subscribe("x", [&] { calls += 'a'; });
    auto y = registry.subscribe("y", [&] { calls += 'y'; });
    self = registry.subscribe("x", [&] {
        calls += 's';
        self.cancel();
        other.cancel();
        added = registry.subscribe("x", [&] { calls += 'n'; });
    });
    other = registry.subscribe("x", [&] { calls += 'o'; });
    registry.notify("x");
    EXPECT_EQ(calls, "as") << "a cancelled observer is not called, even later in the same pass";
    registry.notify("x");
    registry.notify("y");
    EXPECT_EQ(calls, "asany");
}

// An observer's call blocks on one thread; its token is then cancelled from another thread. The cancel must not
// return before the blocked call has ended, and nothing is called after it.
TEST(ObserverRegistryTest, CancelWaitsForACallRunningOnAnotherThread)
{
    ObserverRegistry<> registry;
    std::latch entered {1}, release {1};
    std::atomic<int> calls {0};
    std::atomic<bool> blockedCallEnded {false};
    Subscription token = registry.subscribe([&] {
        ++calls;
        entered.count_down();
        release.wait();
        blockedCallEnded = true;
    });
    std::thread blocked([&] { registry.notify(); });
    entered.wait();
    auto cancelled = std::async(std::launch::async, [&] {
        token.cancel();
        return blockedCallEnded.load();
    });
    // Time for a cancel that does not wait to return early.
    EXPECT_EQ(cancelled.wait_for(100ms), std::future_status::timeout);
    release.count_down();
    EXPECT_TRUE(cancelled.get()) << "the cancel returned before the blocked call ended";
    blocked.join();
    registry.notify();
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace corvane
