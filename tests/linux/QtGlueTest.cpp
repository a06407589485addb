// The Qt glue the adapters share: the main thread's executor and the callback for an asynchronous D-Bus call.

#include "linux/PrivateBus.h"
#include "qt/DBusReply.h"
#include "qt/QtMainExecutor.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <thread>

namespace corvane {
namespace {

// Jobs posted from any thread run later, on the main loop, in the order posted; none once the context is gone,
// also those waiting then.
TEST(QtMainExecutor, RunsJobsLaterOnTheMainLoopInOrderWhileItsContextLives)
{
    auto context = std::make_unique<QObject>();
    QtMainExecutor executor(context.get());
    std::vector<int> order, expected(101);
    executor.post([&] { order.push_back(-1); });
    EXPECT_TRUE(order.empty()) << "ran inside post";
    std::thread([&] {
        for (int i = 0; i < 100; ++i)
            executor.post([&, i] {
                order.push_back(QThread::currentThread() == QCoreApplication::instance()->thread() ? i : -2);
            });
    }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 101; }, 10000));
    std::iota(expected.begin(), expected.end(), -1);
    EXPECT_EQ(order, expected);
    executor.post([&] { order.push_back(100); });
    context.reset();
    executor.post([&] { order.push_back(101); });
    QCoreApplication::processEvents();
    EXPECT_EQ(order.size(), 101U);
}

// A call's callback runs once, later, with the answer (the error when there is no bus at all: Qt never signals such
// a call), and not at all when its context is destroyed first.
TEST(DBusReply, ACallbackRunsOnceLaterWithTheAnswerAndNeverAfterItsContextIsGone)
{
    const QString daemon = QStringLiteral("org.freedesktop.DBus");
    test::PrivateBus bus;
    const std::pair<QDBusConnection, QString> cases[] {
        {bus.connect(), daemon}, {QDBusConnection(QStringLiteral("none")), "org.freedesktop.DBus.Error.Disconnected"}};
    for (const auto& [connection, answer] : cases) {
        SCOPED_TRACE(answer.toStdString());
        auto call = QDBusMessage::createMethodCall(daemon, "/org/freedesktop/DBus", daemon, "GetNameOwner") << daemon;
        QObject context;
        auto gone = std::make_unique<QObject>();
        QStringList answered;
        onReply<QString>(connection.asyncCall(call, 200), &context, [&](const QDBusPendingReply<QString>& reply) {
            answered << (reply.isError() ? reply.error().name() : reply.value());
        });
        onReply<QString>(connection.asyncCall(call, 200), gone.get(),
            [](const QDBusPendingReply<QString>&) { ADD_FAILURE() << "ran after its context was gone"; });
        gone.reset();
        EXPECT_TRUE(answered.isEmpty()) << "ran inside onReply";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !answered.isEmpty(); }, 10000));
        QTest::qWait(50);
        EXPECT_EQ(answered, QStringList {answer});
    }
}

} // namespace
} // namespace corvane
