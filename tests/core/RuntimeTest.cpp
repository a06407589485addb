#include "core/runtime/Async.h"
#include "core/runtime/Sleep.h"
#include "core/runtime/ThreadClock.h"
#include "core/runtime/ThreadPoolExecutor.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <tuple>

namespace corvane {
namespace {

using namespace std::chrono_literals;

TEST(RuntimeTest, DroppedTaskRunsToItsEndAndThenFreesItsFrame)
{
    test::ManualExecutor main;
    auto held = std::make_shared<int>(42);
    std::weak_ptr<int> watch = held;
    std::ignore = startTask([&main, held = std::move(held)]() -> Task<void> { co_await resumeOn(main); });
    EXPECT_FALSE(watch.expired()) << "the frame waits on the executor";
    main.runAll();
    EXPECT_TRUE(watch.expired());
}

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

} // namespace
} // namespace corvane
