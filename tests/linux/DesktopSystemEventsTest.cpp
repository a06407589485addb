#include "linux/DesktopSystemEvents.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>

namespace corvane {
namespace {

TEST(DesktopSystemEvents, TheDelayInhibitorIsReleasedAfterTheSleepHandlersAndTakenAgainOnWake)
{
    test::PrivateBus bus;
    test::DBusMock logind(bus, QStringLiteral("logind"), QStringLiteral("org.freedesktop.login1"),
        QStringLiteral("/org/freedesktop/login1"));
    DesktopSystemEvents events(bus.connect());
    int sleeps = 0, wakes = 0;
    bool heldWhileSleeping = false;
    auto sleepToken = events.onWillSleep([&] {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        heldWhileSleeping = events.holdsInhibitor();
        ++sleeps;
    });
    auto wakeToken = events.onDidWake([&] { ++wakes; });
    const auto prepareForSleep = [&](const char* start) {
        logind.run(QStringLiteral("self.EmitSignal('org.freedesktop.login1.Manager', 'PrepareForSleep', 'b', [%1])")
                       .arg(start));
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.holdsInhibitor(); }, 15000));
    const auto inhibit = logind.calls("Inhibit");
    ASSERT_EQ(inhibit.size(), 1);
    EXPECT_EQ(inhibit[0], (QVariantList {"sleep", "Corvane", inhibit[0][2], "delay"}));

    prepareForSleep("True");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sleeps == 1 && !events.holdsInhibitor(); }, 15000));
    EXPECT_TRUE(heldWhileSleeping);
    prepareForSleep("False");
    ASSERT_TRUE(QTest::qWaitFor([&] { return wakes == 1 && events.holdsInhibitor(); }, 15000));
    EXPECT_EQ(logind.calls("Inhibit").size(), 2);
    EXPECT_EQ(sleeps, 1);
}

} // namespace
} // namespace corvane
