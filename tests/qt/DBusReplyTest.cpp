#include "qt/DBusReply.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QTest>

#include <memory>

namespace corvane {
namespace {

const QString kBusService = QStringLiteral("org.freedesktop.DBus");

QDBusMessage getNameOwner(const QString& name)
{
    auto call = QDBusMessage::createMethodCall(
        kBusService, QStringLiteral("/org/freedesktop/DBus"), kBusService, QStringLiteral("GetNameOwner"));
    call << name;
    return call;
}

// Each call is answered once, later, with its typed value, or with its error when there is no bus at all (a
// socket nobody listens on; Qt's watcher never signals such a call). Nothing runs for a context gone before
// the answer.
TEST(DBusReply, EachCallIsAnsweredOnceLaterWithItsTypedValueOrItsError)
{
    test::PrivateBus bus;
    QDBusConnection connected = bus.connect();
    const QString missingName = QStringLiteral("corvane-test-missing-bus");
    QDBusConnection missing = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + bus.folder.filePath(QStringLiteral("no-such-socket")), missingName);
    const std::shared_ptr<void> disconnect(nullptr, [&](void*) { QDBusConnection::disconnectFromBus(missingName); });

    const struct {
        QDBusConnection& connection;
        QDBusMessage call;
        QString text;
    } cases[] {
        {connected, getNameOwner(kBusService), kBusService},
        {missing, getNameOwner(kBusService), QStringLiteral("org.freedesktop.DBus.Error.Disconnected")},
    };
    for (const auto& [connection, call, text] : cases) {
        SCOPED_TRACE(text.toStdString());
        QObject context;
        auto gone = std::make_unique<QObject>();
        // The value or error name of each answer.
        QStringList answered, forGone;
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

} // namespace
} // namespace corvane
