#include "linux/DesktopSystemEvents.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QTest>
#include <QThread>

#include <atomic>

namespace corvane {
namespace {

const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

class DesktopSystemEventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_logind = std::make_unique<test::DBusMock>(m_bus, "logind", kLogin, kPath);
        ASSERT_TRUE(m_logind->ready());
        m_events = std::make_unique<DesktopSystemEvents>(m_bus.connect());
        m_tokens.push_back(m_events->onWillSleep([this] { record(m_sleeps); }));
        m_tokens.push_back(m_events->onDidWake([this] { record(m_wakes); }));
        m_tokens.push_back(m_events->onDidBecomeActive([this] { record(m_activations); }));
    }

    void record(std::atomic<int>& counter)
    {
        // Handlers run on the main thread.
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        ++counter;
    }

    void prepareForSleep(bool start)
    {
        m_logind->emitSignal(kPath, kManager, QStringLiteral("PrepareForSleep"), QStringLiteral("b"), {start});
    }

    // The inhibitors logind holds now, as (what, who, mode).
    std::vector<std::tuple<QString, QString, QString>> inhibitors()
    {
        auto call = QDBusMessage::createMethodCall(kLogin, kPath, kManager, QStringLiteral("ListInhibitors"));
        const auto reply = m_logind->connection().call(call, QDBus::Block, 10000);
        std::vector<std::tuple<QString, QString, QString>> result;
        if (reply.type() != QDBusMessage::ReplyMessage)
            return result;
        const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
        argument.beginArray();
        while (!argument.atEnd()) {
            QString what, who, why, mode;
            uint uid = 0;
            uint pid = 0;
            argument.beginStructure();
            argument >> what >> who >> why >> mode >> uid >> pid;
            argument.endStructure();
            result.emplace_back(what, who, mode);
        }
        argument.endArray();
        return result;
    }

    test::PrivateBus m_bus;
    std::unique_ptr<test::DBusMock> m_logind;
    std::unique_ptr<DesktopSystemEvents> m_events;
    std::vector<Subscription> m_tokens;
    std::atomic<int> m_sleeps {0};
    std::atomic<int> m_wakes {0};
    std::atomic<int> m_activations {0};
};

TEST_F(DesktopSystemEventsTest, SleepAndWakeFollowPrepareForSleepWithTheDelayInhibitor)
{
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_events->holdsInhibitor(); }, 15000));
    const auto held = inhibitors();
    ASSERT_EQ(held.size(), 1U);
    EXPECT_EQ(held[0], std::make_tuple(QStringLiteral("sleep"), QStringLiteral("Corvane"), QStringLiteral("delay")));

    prepareForSleep(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_sleeps == 1; }, 15000));
    // Released once the handlers ran, so the machine may go to sleep.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_events->holdsInhibitor() && inhibitors().empty(); }, 15000));
    EXPECT_EQ(m_wakes, 0);

    prepareForSleep(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_wakes == 1; }, 15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_events->holdsInhibitor() && inhibitors().size() == 1; }, 15000));
    EXPECT_EQ(m_sleeps, 1);
    EXPECT_EQ(m_activations, 0);
}

TEST_F(DesktopSystemEventsTest, ActivationReachesOnlyLiveSubscriptions)
{
    m_events->activate();
    EXPECT_EQ(m_activations, 1);
    m_tokens.clear();
    m_events->activate();
    prepareForSleep(true);
    // A handler subscribed after the others sees the signal: the others were asked too.
    std::atomic<int> late {0};
    auto token = m_events->onWillSleep([&] { ++late; });
    prepareForSleep(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return late >= 1; }, 15000));
    EXPECT_EQ(m_activations, 1);
    EXPECT_EQ(m_sleeps, 0);
}

TEST(DesktopSystemEventsWithoutLogind, CarriesOnWithoutAnInhibitor)
{
    test::PrivateBus bus;
    DesktopSystemEvents events(bus.connect());
    std::atomic<int> activations {0};
    auto token = events.onDidBecomeActive([&] { ++activations; });
    QTest::qWait(100);
    EXPECT_FALSE(events.holdsInhibitor());
    events.activate();
    EXPECT_EQ(activations, 1);
}

} // namespace
} // namespace corvane
