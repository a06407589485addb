#include "linux/SingleInstance.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>

#include <future>

namespace corvane {
namespace {

// A second launch asks from its own process; here from another thread while the main loop serves the first.
bool activateFromAnotherThread(QDBusConnection connection)
{
    auto answer = std::async(std::launch::async, [connection] { return SingleInstance::activateRunning(connection); });
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20000));
    return answer.get();
}

TEST(SingleInstance, ASecondLaunchActivatesTheFirstOnItsMainThread)
{
    test::PrivateBus bus;
    int activations = 0;
    auto first = std::make_unique<SingleInstance>(bus.connect(), [&] {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        ++activations;
    });
    ASSERT_TRUE(first->claim());
    EXPECT_FALSE(SingleInstance(bus.connect(), [] { ADD_FAILURE() << "the second launch was activated"; }).claim());
    EXPECT_TRUE(activateFromAnotherThread(bus.connect()));
    EXPECT_EQ(activations, 1);
    // Once the first has gone, nobody answers, and a new launch may claim the name.
    first.reset();
    EXPECT_FALSE(activateFromAnotherThread(bus.connect()));
    EXPECT_TRUE(SingleInstance(bus.connect(), [] {}).claim());
}

} // namespace
} // namespace corvane
