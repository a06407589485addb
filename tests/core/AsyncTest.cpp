#include "core/runtime/Async.h"
#include "core/runtime/AsyncMutex.h"
#include "core/runtime/SerialExecutor.h"
#include "core/runtime/Subscription.h"
#include "support/ManualExecutor.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

using test::ManualExecutor;

TEST(AsyncTest, SpawnStartsTheBodyOnlyAsAJobOnItsExecutor)
{
    ManualExecutor main;
    bool ran = false;
    spawn(main, [&]() -> Task<void> {
        ran = true;
        co_return;
    });
    EXPECT_FALSE(ran);
    main.runAll();
    EXPECT_TRUE(ran);
}

TEST(AsyncTest, CompletionAnsweredOnAnotherThreadResumesOnTheGivenExecutor)
{
    ManualExecutor main;
    SerialExecutor service;
    std::thread::id resumedOn;
    int answer = 0;
    auto task = startTask([&]() -> Task<void> {
        std::function<void(Completion<int>)> ask
            = [&service](Completion<int> done) { service.post([done] { done(5); }); };
        answer = co_await awaitCompletion<int>(main, std::move(ask));
        resumedOn = std::this_thread::get_id();
    });
    ASSERT_TRUE(main.runUntil([&] { return task.isDone(); }));
    EXPECT_EQ(answer, 5);
    EXPECT_EQ(resumedOn, std::this_thread::get_id());
}

TEST(AsyncTest, CompletionAnsweredInsideStartAndTwiceResumesOnce)
{
    ManualExecutor main;
    int resumptions = 0;
    int answer = 0;
    auto task = startTask([&]() -> Task<void> {
        std::function<void(Completion<int>)> answerTwice = [](Completion<int> done) {
            done(1);
            done(2); // a peer that answers twice
        };
        answer = co_await awaitCompletion<int>(main, std::move(answerTwice));
        ++resumptions;
    });
    main.runAll();
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(resumptions, 1);
}

TEST(AsyncTest, MutexLetsWaitersInOneAtATimeInArrivalOrder)
{
    ManualExecutor main;
    AsyncMutex mutex(main);
    std::vector<std::string> log;
    auto critical = [&](std::string name) -> Task<void> {
        auto guard = co_await mutex.lock();
        log.push_back(name + " in");
        co_await resumeOn(main); // a suspension inside the critical section
        log.push_back(name + " out");
    };
    auto first = critical("a");
    auto second = critical("b");
    auto third = critical("c");
    main.runAll();
    EXPECT_EQ(log, (std::vector<std::string> {"a in", "a out", "b in", "b out", "c in", "c out"}));
    EXPECT_FALSE(mutex.isLocked());
}

TEST(AsyncTest, SubscriptionCancelsOnceWhenCancelledOrDestroyed)
{
    int cancelled = 0;
    {
        Subscription subscription([&] { ++cancelled; });
        subscription.cancel();
        subscription.cancel();
    }
    EXPECT_EQ(cancelled, 1);
    {
        Subscription first([&] { ++cancelled; });
        Subscription moved = std::move(first);
    }
    EXPECT_EQ(cancelled, 2);
}

} // namespace
} // namespace corvane
