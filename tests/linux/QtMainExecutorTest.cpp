#include "linux/QtMainExecutor.h"

#include "core/runtime/ThreadPoolExecutor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace corvane {
namespace {

TEST(QtMainExecutor, RunsJobsFromAnyThreadOnTheMainLoopInTheOrderPosted)
{
    QtMainExecutor executor;
    std::vector<int> order;
    std::atomic<bool> ranOffMain {false};
    bool ranInsidePost = false;
    bool posting = true;
    executor.post([&] { ranInsidePost = posting; });
    posting = false;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) {
            executor.post([&, i] {
                if (QThread::currentThread() != QCoreApplication::instance()->thread())
                    ranOffMain = true;
                order.push_back(i);
            });
        }
    });
    poster.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 100; }, 10000));
    EXPECT_FALSE(ranInsidePost);
    EXPECT_FALSE(ranOffMain);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(QtMainExecutor, DropsJobsOnceItsContextIsGone)
{
    auto context = std::make_unique<QObject>();
    QtMainExecutor executor(context.get());
    bool ran = false;
    executor.post([&] { ran = true; });
    context.reset();
    executor.post([&] { ran = true; });
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(ThreadPoolExecutor, RunsJobsOffTheCallingThreadAndWaitsForThemWhenDestroyed)
{
    std::atomic<int> done {0};
    std::atomic<bool> onCaller {false};
    const auto caller = std::this_thread::get_id();
    {
        ThreadPoolExecutor executor;
        for (int i = 0; i < 20; ++i) {
            executor.post([&] {
                if (std::this_thread::get_id() == caller)
                    onCaller = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                ++done;
            });
        }
    }
    EXPECT_EQ(done, 20);
    EXPECT_FALSE(onCaller);
}

} // namespace
} // namespace corvane
