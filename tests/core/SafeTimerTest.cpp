#include "core/SafeTimer.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using namespace std::chrono_literals;
using Steps = std::vector<std::pair<std::chrono::seconds, int>>; // advance by, then the calls made so far

// A timer on the test's clock whose operation counts its calls on the main executor.
class SafeTimerTest : public ::testing::Test {
protected:
    void start(std::chrono::seconds interval)
    {
        const auto count = [this] { main.post([this] { ++calls; }); };
        test::finish(main, timer.start(interval, count, main));
    }
    // Advances the clock by each step in turn; a call that fires is let run, and the loop let sleep again.
    void expectCalls(const Steps& steps)
    {
        for (const auto& [by, total] : steps) {
            const int expected = calls + clock.advance(by);
            ASSERT_TRUE(main.runUntil([&] { return calls == expected; }));
            EXPECT_EQ(calls, total) << "after " << (clock.now() - Clock::TimePoint {}).count() << " ns";
        }
    }

    test::ManualClock clock;
    test::ManualExecutor main;
    SafeTimer timer {clock, main};
    int calls = 0;
};

class SafeTimerIntervalTest : public SafeTimerTest, public ::testing::WithParamInterface<std::chrono::seconds> { };

// Intervals that cannot be slept (none, negative, no nanosecond count) mean one hour.
TEST_P(SafeTimerIntervalTest, FirstCallComesOneIntervalAfterStart)
{
    const auto period = GetParam() <= 0s || GetParam() > 9'223'372'036s ? 3600s : GetParam();
    start(GetParam());
    expectCalls({{period - 1s, 0}, {1s, 1}});
}

INSTANTIATE_TEST_SUITE_P(Intervals, SafeTimerIntervalTest,
    ::testing::Values(
        1s, 10s, 9'223'372'036s, 0s, -1s, std::chrono::seconds::min(), 9'223'372'037s, std::chrono::seconds::max()));

// A second start keeps the first loop and its interval; stop cuts the wait short, and a restart begins afresh.
TEST_F(SafeTimerTest, ASecondStartIsIgnoredAndStopCutsTheWaitShortForARestartOnANewInterval)
{
    start(10s);
    expectCalls({{4s, 0}});
    start(3s);
    expectCalls({{5s, 0}, {1s, 1}, {10s, 2}, {6s, 2}});
    test::finish(main, timer.stop(main));
    EXPECT_EQ(clock.pending(), 0U) << "the stopped loop still waits on the clock";
    start(20s);
    expectCalls({{19s, 2}, {1s, 3}, {20s, 4}});
    test::finish(main, timer.stop(main));
    start(5s);
    expectCalls({{4s, 4}, {1s, 5}});
}

} // namespace
} // namespace corvane
