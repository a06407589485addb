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

// After a quiet spell the first change refreshes at once. A burst of changes, while it runs or after it ended
// but within the delay of its start, gives one more at start + delay; a refresh that outlasts the delay is
// followed at its end; and no third follows.
TEST_F(RefreshCoalescerTest, AFollowingRefreshStartsADelayAfterThePreviousStartOrAtItsEnd)
{
    struct Case {
        std::chrono::milliseconds runsFor, changeAfterStart, expectedNextAfterStart;
    };
    for (const Case c : {Case {20ms, 100ms, 250ms}, Case {20ms, 10ms, 250ms}, Case {5s, 100ms, 5s}}) {
        SCOPED_TRACE(c.runsFor.count());
        const int before = started;
        coalescer.changed();
        advance(0ms);
        ASSERT_EQ(started, before + 1) << "the first change waited";
        const auto change = [&] {
            for (int i = 0; i < 100; ++i)
                coalescer.changed();
        };
        if (c.changeAfterStart < c.runsFor) {
            advance(c.changeAfterStart);
            change();
            advance(c.runsFor - c.changeAfterStart);
            endRefresh();
        } else {
            advance(c.runsFor);
            endRefresh();
            advance(c.changeAfterStart - c.runsFor);
            change();
        }
        const auto now = std::max(c.runsFor, c.changeAfterStart);
        if (c.expectedNextAfterStart > now) {
            advance(c.expectedNextAfterStart - now - 1ms);
            EXPECT_EQ(started, before + 1);
            advance(1ms);
        } else {
            advance(0ms);
        }
        EXPECT_EQ(started, before + 2);
        endRefresh();
        advance(10s);
        EXPECT_EQ(started, before + 2);
    }
}

} // namespace
} // namespace corvane
