#include "core/SafeTimer.h"
#include "core/runtime/Async.h"
#include "support/Eventually.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>

namespace corvane {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::ManualClock;
using test::ManualExecutor;

class SafeTimerTest : public ::testing::Test {
protected:
    void start(std::int64_t interval, std::atomic<int>& calls)
    {
        test::finish(main,
            timer.start(
                interval, [&calls] { ++calls; }, main));
    }
    void stop() { test::finish(main, timer.stop(main)); }
    // The loop registers its sleep on the timer's own thread.
    bool sleeping(std::size_t loops = 1)
    {
        return eventually([&] { return clock.pendingCalls() == loops; });
    }

    ManualClock clock;
    ManualExecutor main;
    SafeTimer timer {clock};
};

TEST_F(SafeTimerTest, FirstCallComesOneFullIntervalAfterStartThenEveryInterval)
{
    std::atomic<int> calls {0};
    start(10, calls);
    ASSERT_TRUE(sleeping());
    EXPECT_EQ(clock.nextDeadlineIn(), 10s);

    clock.advance(9s);
    EXPECT_EQ(calls, 0);
    clock.advance(1s);
    ASSERT_TRUE(eventually([&] { return calls == 1; }));
    ASSERT_TRUE(sleeping());
    EXPECT_EQ(clock.nextDeadlineIn(), 10s) << "the next sleep is measured from the end of the call";
    clock.advance(10s);
    ASSERT_TRUE(eventually([&] { return calls == 2; }));
    stop();
}

TEST_F(SafeTimerTest, SecondStartKeepsTheFirstLoopItsIntervalAndOperation)
{
    std::atomic<int> first {0};
    std::atomic<int> second {0};
    start(10, first);
    start(20, second);
    ASSERT_TRUE(sleeping());
    EXPECT_EQ(clock.nextDeadlineIn(), 10s);
    clock.advance(10s);
    ASSERT_TRUE(eventually([&] { return first == 1; }));
    ASSERT_TRUE(sleeping());
    EXPECT_EQ(clock.pendingCalls(), 1U) << "one loop only";
    EXPECT_EQ(second, 0);
    stop();
}

TEST_F(SafeTimerTest, StopRightAfterStartMeansTheOperationIsNeverCalled)
{
    std::atomic<int> calls {0};
    start(5, calls);
    stop();
    ASSERT_TRUE(eventually([&] { return clock.pendingCalls() == 0; }));
    clock.advance(24h);
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(test::finish(main, timer.isRunning(main)));
}

TEST_F(SafeTimerTest, RestartAfterStopUsesTheNewIntervalAndTheOldLoopStaysQuiet)
{
    std::atomic<int> old {0};
    std::atomic<int> fresh {0};
    start(10, old);
    ASSERT_TRUE(sleeping());
    stop();
    start(30, fresh);
    ASSERT_TRUE(sleeping());
    EXPECT_EQ(clock.nextDeadlineIn(), 30s);
    clock.advance(30s);
    ASSERT_TRUE(eventually([&] { return fresh == 1; }));
    EXPECT_EQ(old, 0);
    stop();
}

TEST_F(SafeTimerTest, StopDuringTheOperationTakesEffectAfterItReturns)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool inside = false;
    bool release = false;
    std::atomic<int> calls {0};
    auto started = timer.start(
        1,
        [&] {
            std::unique_lock lock(mutex);
            inside = true;
            changed.notify_all();
            changed.wait(lock, [&] { return release; });
            ++calls;
        },
        main);
    ASSERT_TRUE(main.runUntil([&] { return started.isDone(); }));
    ASSERT_TRUE(sleeping());
    clock.advance(1s);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return inside; }));
    }
    auto stopped = timer.stop(main);
    main.runAll();
    EXPECT_FALSE(stopped.isDone()) << "stop waits behind the running operation";
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    ASSERT_TRUE(main.runUntil([&] { return stopped.isDone(); }));
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(eventually([&] { return clock.pendingCalls() == 0; }));
    clock.advance(1h);
    EXPECT_EQ(calls, 1);
}

TEST(SafeTimerDestructionTest, DestroyingARunningTimerEndsItsLoop)
{
    ManualClock clock;
    ManualExecutor main;
    std::atomic<int> calls {0};
    {
        SafeTimer timer(clock);
        auto started = timer.start(
            10, [&] { ++calls; }, main);
        ASSERT_TRUE(main.runUntil([&] { return started.isDone(); }));
        ASSERT_TRUE(eventually([&] { return clock.pendingCalls() == 1; }));
    }
    EXPECT_EQ(clock.pendingCalls(), 0U);
    clock.advance(1h);
    EXPECT_EQ(calls, 0);
}

struct IntervalCase {
    std::int64_t setting;
    std::chrono::seconds period;
};

class EffectiveIntervalTest : public ::testing::TestWithParam<IntervalCase> { };

TEST_P(EffectiveIntervalTest, OutOfRangeIntervalsMeanOneHour)
{
    EXPECT_EQ(SafeTimer::effectiveInterval(GetParam().setting), GetParam().period);
}

INSTANTIATE_TEST_SUITE_P(Settings, EffectiveIntervalTest,
    ::testing::Values(IntervalCase {0, 3600s}, IntervalCase {-1, 3600s},
        IntervalCase {std::numeric_limits<std::int64_t>::min(), 3600s},
        IntervalCase {std::numeric_limits<std::int64_t>::max(), 3600s}, IntervalCase {9'223'372'037, 3600s},
        IntervalCase {9'223'372'036, 9'223'372'036s}, IntervalCase {1, 1s}, IntervalCase {3600, 3600s}),
    [](const auto& testCase) {
        // -(x + 1) keeps the smallest integer from overflowing.
        auto setting = testCase.param.setting;
        return setting < 0 ? "minus" + std::to_string(static_cast<std::uint64_t>(-(setting + 1)) + 1U)
                           : std::to_string(setting);
    });

} // namespace
} // namespace corvane
