#include "linux/DesktopSystemEvents.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>

#include <atomic>

namespace corvane {
namespace {

const QString kPath = QStringLiteral("/org/freedesktop/login1");

TEST(DesktopSystemEvents, TheDelayInhibitorIsReleasedAfterTheSleepHandlersAndTakenAgainOnWake)
{
    test::PrivateBus bus;
    test::DBusMock logind(bus, "logind", QStringLiteral("org.freedesktop.login1"), kPath);
    ASSERT_TRUE(logind.ready());
    DesktopSystemEvents events(bus.connect());
    std::atomic<int> sleeps {0}, wakes {0};
    std::atomic<bool> heldWhileSleeping {false};
    auto sleepToken = events.onWillSleep([&] {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        heldWhileSleeping = events.holdsInhibitor();
        ++sleeps;
    });
    auto wakeToken = events.onDidWake([&] { ++wakes; });
    const auto prepareForSleep = [&](bool start) {
        logind.emitSignal(
            kPath, QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), {start});
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.holdsInhibitor(); }, 15000));
    const auto inhibit = logind.calls("Inhibit");
    ASSERT_EQ(inhibit.size(), 1U);
    EXPECT_EQ(inhibit[0], (QVariantList {"sleep", "Corvane", inhibit[0][2], "delay"}));

    prepareForSleep(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sleeps == 1 && !events.holdsInhibitor(); }, 15000));
    EXPECT_TRUE(heldWhileSleeping);
    EXPECT_EQ(wakes, 0);
    prepareForSleep(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return wakes == 1 && events.holdsInhibitor(); }, 15000));
    EXPECT_EQ(logind.calls("Inhibit").size(), 2U);
    EXPECT_EQ(sleeps, 1);
}

TEST(DesktopSystemEvents, WithoutLogindActivationStillReachesLiveSubscriptions)
{
    test::PrivateBus bus;
    DesktopSystemEvents events(bus.connect());
    std::atomic<int> activations {0};
    auto token = events.onDidBecomeActive([&] { ++activations; });
    events.activate();
    EXPECT_EQ(activations, 1);
    token.cancel();
    events.activate();
    EXPECT_EQ(activations, 1);
}

} // namespace
} // namespace corvane
