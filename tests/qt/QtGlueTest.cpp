#include "linux/PrivateBus.h"
#include "qt/DBusReply.h"
#include "qt/QtMainExecutor.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>

#include <thread>

namespace corvane {
namespace {

// Each call is answered once, later, with its typed value, or with its error when there is no bus at all (a
// socket nobody listens on; Qt's watcher never signals such a call). Nothing runs for a context gone before
// the answer.
TEST(DBusReply, EachCallIsAnsweredOnceLaterWithItsTypedValueOrItsError)
{
    test::PrivateBus bus;
    const QString missingName = QStringLiteral("corvane-test-missing-bus");
    const QString busService = QStringLiteral("org.freedesktop.DBus");
    QDBusConnection missing = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + bus.folder.filePath(QStringLiteral("no-such-socket")), missingName);
    const std::shared_ptr<void> disconnect(nullptr, [&](void*) { QDBusConnection::disconnectFromBus(missingName); });
    auto call = QDBusMessage::createMethodCall(busService, "/org/freedesktop/DBus", busService, "GetNameOwner");
    call << busService;
    for (const auto& [connection, text] : {std::pair(bus.connect(), busService),
             std::pair(missing, QStringLiteral("org.freedesktop.DBus.Error.Disconnected"))}) {
        SCOPED_TRACE(text.toStdString());
        QObject context;
        auto gone = std::make_unique<QObject>();
        QStringList answered, forGone; // the value or error name of each answer
        const auto record = [](QStringList& into) {
            return [&into](const QDBusPendingReply<QString>& reply) {
                into << (reply.isError() ? reply.error().name() : reply.value());
            };
        };
        onReply<QString>(connection.asyncCall(call, 200), &context, record(answered));
        onReply<QString>(connection.asyncCall(call, 200), gone.get(), record(forGone));
        gone.reset();
        EXPECT_TRUE(answered.isEmpty()) << "ran inside onReply";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !answered.isEmpty(); }, 10000));
        QTest::qWait(50);
        EXPECT_EQ(answered, QStringList {text});
        EXPECT_TRUE(forGone.isEmpty());
    }
}

TEST(QtMainExecutor, RunsJobsFromAnyThreadLaterOnTheMainLoopInOrderWhileItsContextLives)
{
    auto context = std::make_unique<QObject>();
    QtMainExecutor executor(context.get());
    std::vector<int> order;
    executor.post([&] { order.push_back(-1); });
    EXPECT_TRUE(order.empty()) << "ran inside post";
    std::thread([&] {
        for (int i = 0; i < 100; ++i)
            executor.post([&, i] { order.push_back(QThread::currentThread() == qApp->thread() ? i : -2); });
    }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 101; }, 10000));
    std::vector<int> expected {-1};
    for (int i = 0; i < 100; ++i)
        expected.push_back(i);
    EXPECT_EQ(order, expected);
    context.reset();
    executor.post([&] { order.push_back(100); });
    QCoreApplication::processEvents();
    EXPECT_EQ(order.size(), 101U);
}

} // namespace
} // namespace corvane
