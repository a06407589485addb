#include "linux/QtMainExecutor.h"

#include "linux/ThreadPoolExecutor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

namespace corvane {
namespace {

TEST(QtMainExecutor, RunsJobsFromAnyThreadLaterOnTheMainLoopInOrderUntilItsContextGoes)
{
    auto context = std::make_unique<QObject>();
    QtMainExecutor executor(context.get());
    std::vector<int> order;
    std::atomic<bool> offMain {false};
    executor.post([&] { order.push_back(-1); });
    EXPECT_TRUE(order.empty()) << "ran inside post";
    std::thread([&] {
        for (int i = 0; i < 100; ++i) {
            executor.post([&, i] {
                offMain = offMain || QThread::currentThread() != QCoreApplication::instance()->thread();
                order.push_back(i);
            });
        }
    }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 101; }, 10000));
    EXPECT_FALSE(offMain);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i) + 1], i);

    context.reset();
    executor.post([&] { order.push_back(100); });
    QCoreApplication::processEvents();
    EXPECT_EQ(order.size(), 101U);
}

TEST(ThreadPoolExecutor, RunsJobsOffTheCallingThreadAndWaitsForThemWhenDestroyed)
{
    std::atomic<int> done {0};
    std::atomic<bool> onCaller {false};
    {
        ThreadPoolExecutor executor;
        for (int i = 0; i < 20; ++i) {
            executor.post([&, caller = std::this_thread::get_id()] {
                onCaller = onCaller || std::this_thread::get_id() == caller;
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
