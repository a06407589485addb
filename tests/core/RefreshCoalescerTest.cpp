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
    // A refresh still held ends, so that its coroutine is not left suspended.
    void TearDown() override
    {
        if (release)
            endRefresh();
    }
    void endRefresh()
    {
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
// followed at its end; and no third follows. Each refresh ends as soon as it may.
TEST_F(RefreshCoalescerTest, AFollowingRefreshStartsADelayAfterThePreviousStartOrAtItsEnd)
{
    struct Case {
        std::chrono::milliseconds changeAt, endAt, nextAt; // after the first start
    };
    for (const Case c : {Case {100ms, 20ms, 250ms}, Case {10ms, 20ms, 250ms}, Case {100ms, 5s, 5s}}) {
        SCOPED_TRACE(c.endAt.count());
        const int before = started;
        coalescer.changed();
        main.runAll();
        ASSERT_EQ(started, before + 1) << "the first change waited";
        for (auto at = 1ms; at <= 10s; at += 1ms) {
            clock.advance(1ms);
            if (at == c.changeAt)
                for (int i = 0; i < 100; ++i)
                    coalescer.changed();
            if (at >= c.endAt && release)
                endRefresh();
            clock.advance(0ms); // what the end scheduled for now
            main.runAll();
            ASSERT_EQ(started, before + (at < c.nextAt ? 1 : 2)) << at.count() << " ms after the first start";
        }
    }
}

} // namespace
} // namespace corvane
