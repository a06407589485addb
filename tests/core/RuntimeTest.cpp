#include "core/runtime/Async.h"
#include "core/runtime/AsyncMutex.h"
#include "core/runtime/Sleep.h"
#include "core/runtime/ThreadClock.h"
#include "core/runtime/ThreadPoolExecutor.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>

namespace corvane {
namespace {

using namespace std::chrono_literals;
using test::ManualClock;
using test::ManualExecutor;

Task<int> hopThenReturn(Executor& executor, int value, std::vector<std::string>& log)
{
    log.push_back("begin");
    co_await resumeOn(executor);
    log.push_back("end");
    co_return value;
}

TEST(RuntimeTest, TaskRunsEagerlyAndHandsItsResultToTheAwaitingCoroutine)
{
    ManualExecutor main;
    std::vector<std::string> log;
    int result = 0;
    auto outer = startTask([&]() -> Task<void> {
        result = co_await hopThenReturn(main, 42, log);
        log.push_back("after");
    });
    EXPECT_EQ(log, std::vector<std::string> {"begin"});
    main.runAll();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(log, (std::vector<std::string> {"begin", "end", "after"}));

    auto finished = []() -> Task<std::string> { co_return "ready"; }();
    std::string seen;
    auto immediate = startTask([&]() -> Task<void> { seen = co_await std::move(finished); });
    EXPECT_EQ(seen, "ready") << "awaiting a finished task goes on at once";
}

TEST(RuntimeTest, DroppedTaskRunsToItsEndAndFreesItsFrame)
{
    ManualExecutor main;
    std::vector<std::string> log;
    auto held = std::make_shared<int>(0);
    std::weak_ptr<int> watch = held;
    {
        auto caller = startTask([&, held]() -> Task<void> { co_await hopThenReturn(main, *held, log); });
        held.reset();
    }
    EXPECT_FALSE(watch.expired());
    main.runAll();
    EXPECT_EQ(log, (std::vector<std::string> {"begin", "end"}));
    EXPECT_TRUE(watch.expired());
}

TEST(RuntimeTest, CompletionsFromOtherThreadsResumeOnTheGivenExecutorOnce)
{
    ManualExecutor main;
    SerialExecutor worker;
    std::thread::id ranOn;
    std::thread::id resumedOn;
    int answer = 0;
    auto task = startTask([&]() -> Task<void> {
        auto where = [] { return std::this_thread::get_id(); };
        ranOn = co_await runOn(worker, main, std::move(where));
        std::function<void(Completion<int>)> answerTwice = [&worker](Completion<int> done) {
            worker.post([done] {
                done(1);
                done(2);
            });
        };
        answer += co_await awaitCompletion<int>(main, std::move(answerTwice));
        resumedOn = std::this_thread::get_id();
    });
    ASSERT_TRUE(main.runUntil([&] { return task.isDone(); }));
    EXPECT_NE(ranOn, std::this_thread::get_id());
    EXPECT_EQ(resumedOn, std::this_thread::get_id());
    EXPECT_EQ(answer, 1) << "a second answer is ignored";
}

TEST(RuntimeTest, SleepElapsesOrEndsAtOnceOnStopWithoutLeavingAWakeUp)
{
    ManualClock clock;
    ManualExecutor main;
    std::stop_source stop;
    std::vector<bool> results;
    auto sleeper = [&](std::chrono::nanoseconds duration) {
        return startTask([&, duration]() -> Task<void> {
            results.push_back(co_await sleepFor(clock, main, duration, stop.get_token()));
        });
    };
    auto full = sleeper(10s);
    clock.advance(9s);
    main.runAll();
    EXPECT_TRUE(results.empty());
    clock.advance(1s);
    main.runAll();
    EXPECT_EQ(results, std::vector<bool> {true});

    auto forever = sleeper(std::chrono::nanoseconds::max());
    clock.advance(24h * 365 * 100);
    main.runAll();
    EXPECT_EQ(results.size(), 1U) << "an enormous sleep saturates instead of wrapping";
    stop.request_stop();
    main.runAll();
    EXPECT_EQ(results, (std::vector<bool> {true, false}));
    EXPECT_EQ(clock.pendingCalls(), 0U);

    auto afterStop = sleeper(1h);
    EXPECT_EQ(results, (std::vector<bool> {true, false, false})) << "no suspension once stopped";
}

TEST(RuntimeTest, ThreadClockFiresDueCallsAndForgetsCancelledOnesWhileWaiting)
{
    ThreadClock clock;
    std::promise<void> fired;
    auto distant = clock.callAt(clock.now() + 1h, [] { ADD_FAILURE() << "a cancelled call ran"; });
    std::this_thread::sleep_for(5ms); // let the clock's thread wait for the distant call
    EXPECT_TRUE(clock.cancel(distant));
    EXPECT_FALSE(clock.cancel(distant));
    clock.callAt(clock.now() + 1ms, [&] { fired.set_value(); });
    EXPECT_EQ(fired.get_future().wait_for(10s), std::future_status::ready);
}

TEST(RuntimeTest, MutexLetsCoroutinesInOneAtATimeInArrivalOrder)
{
    ManualExecutor main;
    AsyncMutex mutex(main);
    std::vector<std::string> log;
    auto critical = [&](std::string name) {
        return startTask([&, name]() -> Task<void> {
            auto guard = co_await mutex.lock();
            log.push_back(name + " in");
            co_await resumeOn(main);
            log.push_back(name + " out");
        });
    };
    auto a = critical("a");
    auto b = critical("b");
    auto c = critical("c");
    main.runAll();
    EXPECT_EQ(log, (std::vector<std::string> {"a in", "a out", "b in", "b out", "c in", "c out"}));
    EXPECT_FALSE(mutex.isLocked());
}

} // namespace
} // namespace corvane
