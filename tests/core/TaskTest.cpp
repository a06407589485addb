#include "core/runtime/Task.h"
#include "core/runtime/Async.h"
#include "core/runtime/SerialExecutor.h"
#include "core/runtime/Sleep.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"

#include <gtest/gtest.h>

#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

using test::ManualClock;
using test::ManualExecutor;

// A coroutine that waits for a job on `executor`, so its end is the test's to choose.
Task<int> valueAfterHop(Executor& executor, int value, std::vector<std::string>& log)
{
    log.push_back("begin");
    co_await resumeOn(executor);
    log.push_back("end");
    co_return value;
}

TEST(TaskTest, RunsEagerlyUntilItsFirstSuspension)
{
    ManualExecutor main;
    std::vector<std::string> log;
    auto task = valueAfterHop(main, 7, log);
    EXPECT_EQ(log, std::vector<std::string> {"begin"});
    EXPECT_FALSE(task.isDone());
    main.runAll();
    EXPECT_TRUE(task.isDone());
}

TEST(TaskTest, AwaitingCoroutineGetsTheResultOnceTheTaskEnds)
{
    ManualExecutor main;
    std::vector<std::string> log;
    int result = 0;
    auto outer = startTask([&]() -> Task<void> {
        result = co_await valueAfterHop(main, 42, log);
        log.push_back("after");
    });
    EXPECT_EQ(result, 0);
    main.runAll();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(log, (std::vector<std::string> {"begin", "end", "after"}));
    EXPECT_TRUE(outer.isDone());
}

TEST(TaskTest, AwaitingAFinishedTaskGoesOnAtOnce)
{
    auto finished = []() -> Task<std::string> { co_return "ready"; }();
    ASSERT_TRUE(finished.isDone());
    std::string seen;
    auto outer = startTask([&]() -> Task<void> { seen = co_await std::move(finished); });
    EXPECT_EQ(seen, "ready");
    EXPECT_TRUE(outer.isDone());
}

TEST(TaskTest, DroppedTaskRunsToItsEndAndFreesItself)
{
    ManualExecutor main;
    auto alive = std::make_shared<int>(0);
    std::weak_ptr<int> watch = alive;
    bool finished = false;
    {
        auto task = [](Executor& on, std::shared_ptr<int> held, bool& done) -> Task<void> {
            EXPECT_TRUE(held);
            co_await resumeOn(on);
            done = true;
        }(main, std::move(alive), finished);
    }
    EXPECT_FALSE(finished);
    EXPECT_FALSE(watch.expired()) << "the detached frame still holds its arguments";
    main.runAll();
    EXPECT_TRUE(finished);
    EXPECT_TRUE(watch.expired()) << "the frame was freed at its end";
}

TEST(TaskTest, TaskOutlivesACallerThatStopsWaiting)
{
    ManualExecutor main;
    std::vector<std::string> log;
    {
        // The caller's task is dropped while the inner one is suspended.
        auto caller = startTask([&]() -> Task<void> { co_await valueAfterHop(main, 1, log); });
    }
    main.runAll();
    EXPECT_EQ(log, (std::vector<std::string> {"begin", "end"}));
}

TEST(TaskTest, HopsBetweenExecutorsAndBack)
{
    ManualExecutor main;
    SerialExecutor worker;
    std::thread::id workerThread;
    std::thread::id afterwards;
    bool done = false;
    auto task = startTask([&]() -> Task<void> {
        auto threadId = [] { return std::this_thread::get_id(); };
        workerThread = co_await runOn(worker, main, std::move(threadId));
        afterwards = std::this_thread::get_id();
        done = true;
    });
    ASSERT_TRUE(main.runUntil([&] { return done; }));
    EXPECT_NE(workerThread, std::this_thread::get_id());
    EXPECT_EQ(afterwards, std::this_thread::get_id());
}

TEST(TaskTest, SerialExecutorRunsJobsOneAtATimeInOrder)
{
    std::vector<int> order;
    {
        SerialExecutor worker;
        for (int i = 0; i < 100; ++i)
            worker.post([&order, i] { order.push_back(i); });
    } // destruction runs what was queued, then joins
    ASSERT_EQ(order.size(), 100U);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(TaskTest, SleepEndsAfterItsFullDuration)
{
    ManualClock clock;
    ManualExecutor main;
    std::stop_source stop;
    std::optional<bool> elapsed;
    auto task = startTask(
        [&]() -> Task<void> { elapsed = co_await sleepFor(clock, main, std::chrono::seconds(10), stop.get_token()); });
    clock.advance(std::chrono::seconds(9));
    main.runAll();
    EXPECT_FALSE(elapsed.has_value());
    clock.advance(std::chrono::seconds(1));
    main.runAll();
    EXPECT_EQ(elapsed, true);
}

TEST(TaskTest, StopCutsASleepShortAndCancelsItsWakeUp)
{
    ManualClock clock;
    ManualExecutor main;
    std::stop_source stop;
    std::optional<bool> elapsed;
    auto task = startTask(
        [&]() -> Task<void> { elapsed = co_await sleepFor(clock, main, std::chrono::hours(1), stop.get_token()); });
    ASSERT_EQ(clock.pendingCalls(), 1U);
    stop.request_stop();
    main.runAll();
    EXPECT_EQ(elapsed, false);
    EXPECT_EQ(clock.pendingCalls(), 0U) << "nothing should wake the program later";
}

TEST(TaskTest, SleepWithStopAlreadyRequestedDoesNotSuspend)
{
    ManualClock clock;
    ManualExecutor main;
    std::stop_source stop;
    stop.request_stop();
    std::optional<bool> elapsed;
    auto task = startTask(
        [&]() -> Task<void> { elapsed = co_await sleepFor(clock, main, std::chrono::hours(1), stop.get_token()); });
    EXPECT_EQ(elapsed, false);
    EXPECT_EQ(clock.pendingCalls(), 0U);
}

TEST(TaskTest, EnormousSleepSaturatesInsteadOfWrapping)
{
    ManualClock clock;
    ManualExecutor main;
    std::stop_source stop;
    std::optional<bool> elapsed;
    auto task = startTask([&]() -> Task<void> {
        elapsed = co_await sleepFor(clock, main, std::chrono::nanoseconds::max(), stop.get_token());
    });
    clock.advance(std::chrono::hours(24 * 365 * 100));
    main.runAll();
    EXPECT_FALSE(elapsed.has_value()) << "a wrapped deadline would have fired at once";
    stop.request_stop();
    main.runAll();
    EXPECT_EQ(elapsed, false);
}

} // namespace
} // namespace corvane
