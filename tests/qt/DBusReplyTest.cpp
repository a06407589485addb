#include "qt/DBusReply.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTest>

#include <memory>

namespace corvane {
namespace {

const QString kBusService = QStringLiteral("org.freedesktop.DBus");

QDBusMessage getNameOwner(const QString& service, const QString& name)
{
    auto call = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/freedesktop/DBus"), kBusService, QStringLiteral("GetNameOwner"));
    call << name;
    return call;
}

// Takes every call to its path and never answers.
class SilentObject final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};

// Each call is answered once, later, with its typed value or its error: an answer, the peer's error, no bus
// at all (a socket nobody listens on), and a peer that never answers. Nothing runs for a context gone before
// the answer.
TEST(DBusReply, EachCallIsAnsweredOnceLaterWithItsTypedValueOrItsError)
{
    test::PrivateBus bus;
    QDBusConnection connected = bus.connect();
    QDBusConnection peer = bus.connect();
    SilentObject silent;
    ASSERT_TRUE(peer.registerVirtualObject(QStringLiteral("/org/freedesktop/DBus"), &silent));
    const QString missingName = QStringLiteral("corvane-test-missing-bus");
    QDBusConnection missing = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + bus.folder.filePath(QStringLiteral("no-such-socket")), missingName);
    const std::shared_ptr<void> disconnect(nullptr, [&](void*) { QDBusConnection::disconnectFromBus(missingName); });

    const struct {
        QDBusConnection& connection;
        QDBusMessage call;
        QString text;
    } cases[] {
        {connected, getNameOwner(kBusService, kBusService), kBusService},
        {connected, getNameOwner(kBusService, QStringLiteral("org.example.Nobody")),
            QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")},
        {missing, getNameOwner(kBusService, kBusService), QStringLiteral("org.freedesktop.DBus.Error.Disconnected")},
        {connected, getNameOwner(peer.baseService(), kBusService),
            QStringLiteral("org.freedesktop.DBus.Error.NoReply")},
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
