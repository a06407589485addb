#include "core/SafeTimer.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>

namespace corvane {
namespace {

using namespace std::chrono_literals;

TEST(SafeTimerTest, ZeroNegativeOrTooLongForANanosecondCountMeansOneHour)
{
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    for (auto [setting, period] : std::vector<std::pair<std::int64_t, std::chrono::seconds>> {{0, 3600s}, {-1, 3600s},
             {-kMax - 1, 3600s}, {kMax, 3600s}, {9'223'372'037, 3600s}, {9'223'372'036, 9'223'372'036s}, {1, 1s}})
        EXPECT_EQ(SafeTimer::effectiveInterval(setting), period) << setting;
}

// The operation may hold the timer's owner, which must not be destroyed on the timer's own thread.
TEST(SafeTimerTest, OperationIsReleasedOnTheExecutorThatStartedTheTimer)
{
    test::IdleClock clock;
    test::ManualExecutor main;
    SafeTimer timer(clock);
    std::atomic<std::thread::id> releasedOn;
    std::shared_ptr<void> owner(nullptr, [&](void*) { releasedOn = std::this_thread::get_id(); });
    auto operation = [owner = std::move(owner)] {};
    test::finish(main, timer.start(10, std::move(operation), main));
    test::finish(main, timer.stop(main));
    ASSERT_TRUE(main.runUntil([&] { return releasedOn.load() != std::thread::id(); }));
    EXPECT_EQ(releasedOn.load(), std::this_thread::get_id());
}

} // namespace
} // namespace corvane
