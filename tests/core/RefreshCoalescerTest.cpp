#include "core/RefreshCoalescer.h"

#include "core/runtime/Async.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using namespace std::chrono_literals;
using test::ManualClock;
using test::ManualExecutor;

struct Done { };

// Refreshes that end only when the test lets them, counted as they start.
class RefreshCoalescerTest : public ::testing::Test {
protected:
    std::function<Task<void>()> heldRefresh()
    {
        return [this]() -> Task<void> {
            ++started;
            std::function<void(Completion<Done>)> hold = [this](Completion<Done> done) { release = std::move(done); };
            co_await awaitCompletion<Done>(main, std::move(hold));
        };
    }
    // Moves the clock on and runs what that started on the main thread.
    void advance(std::chrono::milliseconds by)
    {
        clock.advance(by);
        main.runAll();
    }
    // A refresh still held ends, so that its coroutine is not left suspended.
    void TearDown() override
    {
        if (release)
            endRefresh();
    }
    void endRefresh()
    {
        ASSERT_TRUE(release);
        std::exchange(release, nullptr)(Done {});
        main.runAll();
    }

    ManualClock clock;
    ManualExecutor main;
    int started = 0;
    Completion<Done> release;
    RefreshCoalescer coalescer {clock, main, 250ms, heldRefresh()};
};

TEST_F(RefreshCoalescerTest, ABurstGivesOneRefreshAQuarterSecondAfterItsFirstChange)
{
    coalescer.changed();
    advance(100ms);
    for (int i = 0; i < 100; ++i)
        coalescer.changed();
    advance(149ms);
    EXPECT_EQ(started, 0);
    advance(1ms);
    EXPECT_EQ(started, 1);
    endRefresh();
    advance(10s);
    EXPECT_EQ(started, 1);

    // Once idle again, the next change starts a new wait of its own.
    coalescer.changed();
    advance(249ms);
    EXPECT_EQ(started, 1);
    advance(1ms);
    EXPECT_EQ(started, 2);
}

TEST_F(RefreshCoalescerTest, ChangesDuringARefreshGiveExactlyOneMoreAfterIt)
{
    coalescer.changed();
    advance(250ms);
    ASSERT_EQ(started, 1);
    advance(50ms);
    coalescer.changed(); // the first change while it runs, at +50 ms
    advance(50ms);
    coalescer.changed();
    advance(100ms);
    EXPECT_EQ(started, 1) << "a second refresh started while the first ran";

    // Ended at +200 ms into the first: the next is due 250 ms after the change at +50.
    endRefresh();
    advance(99ms);
    EXPECT_EQ(started, 1);
    advance(1ms);
    EXPECT_EQ(started, 2);
    endRefresh();
    advance(10s);
    EXPECT_EQ(started, 2);
}

TEST_F(RefreshCoalescerTest, ARefreshThatOutlastsTheDelayIsFollowedAtOnce)
{
    coalescer.changed();
    advance(250ms);
    coalescer.changed();
    advance(5s);
    endRefresh();
    advance(0ms);
    EXPECT_EQ(started, 2);
}

} // namespace
} // namespace corvane
