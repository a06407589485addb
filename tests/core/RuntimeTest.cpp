#include "core/runtime/Async.h"
#include "core/runtime/ObserverRegistry.h"
#include "core/runtime/Sleep.h"
#include "core/runtime/ThreadClock.h"
#include "core/runtime/ThreadPoolExecutor.h"
#include "support/RunTask.h"

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
    const std::function<void(Completion<int>)> answerTwice = [&worker](Completion<int> done) {
        worker.post([done] { done(1); });
        worker.post([done] { done(2); });
    };
    std::vector<std::thread::id> threads;
    int answer = 0;
    auto task = startTask([&]() -> Task<void> {
        threads.push_back(co_await runOn(worker, main, where));
        threads.push_back(where());
        answer += co_await awaitCompletion<int>(main, answerTwice);
        threads.push_back(where());
    });
    ASSERT_TRUE(main.runUntil([&] { return task.isDone(); }));
    EXPECT_NE(threads.at(0), where());
    EXPECT_EQ(threads, (std::vector {threads[0], where(), where()}));
    EXPECT_EQ(answer, 1) << "a second answer is ignored";
}

TEST(RuntimeTest, SleepElapsesOrEndsAtOnceWhenStopped)
{
    ThreadClock clock;
    test::ManualExecutor main;
    std::stop_source stop;
    std::vector<bool> results;
    auto sleeper = [&](std::chrono::nanoseconds duration) {
        return startTask([&, duration]() -> Task<void> {
            results.push_back(co_await sleepFor(clock, main, duration, stop.get_token()));
        });
    };
    auto forever = sleeper(std::chrono::nanoseconds::max()); // saturates instead of wrapping round into the past
    auto elapsed = sleeper(1ms);
    ASSERT_TRUE(main.runUntil([&] { return !results.empty(); }));
    stop.request_stop();
    ASSERT_TRUE(main.runUntil([&] { return results.size() == 2; }));
    auto afterStop = sleeper(1h);
    EXPECT_EQ(results, (std::vector<bool> {true, false, false}));
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
