#include "qt/QtMainExecutor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <thread>

namespace corvane {
namespace {

TEST(QtMainExecutor, RunsJobsFromAnyThreadLaterOnTheMainLoopInOrderWhileItsContextLives)
{
    auto context = std::make_unique<QObject>();
    QtMainExecutor executor(context.get());
    std::vector<int> order;
    executor.post([&] { order.push_back(-1); });
    EXPECT_TRUE(order.empty()) << "ran inside post";
    std::thread([&] {
        for (int i = 0; i < 100; ++i)
            executor.post([&, i] {
                order.push_back(QThread::currentThread() == QCoreApplication::instance()->thread() ? i : -2);
            });
    }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 101; }, 10000));
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i) + 1], i);
    context.reset();
    executor.post([&] { order.push_back(100); });
    QCoreApplication::processEvents();
    EXPECT_EQ(order.size(), 101U);
}

} // namespace
} // namespace corvane
