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

struct Answered {
    int count = 0;
    QString value;
    QString error;
};

// Counts the callback's runs and keeps what the last one was given.
auto recordInto(Answered& answered)
{
    return [&answered](const QDBusPendingReply<QString>& reply) {
        ++answered.count;
        answered.value = reply.isError() ? QString() : reply.value();
        answered.error = reply.isError() ? reply.error().name() : QString();
    };
}

// A connection to a socket nobody listens on: never connected.
struct MissingBus {
    explicit MissingBus(test::PrivateBus& bus)
        : connection(QDBusConnection::connectToBus(
            QStringLiteral("unix:path=") + bus.folder.filePath(QStringLiteral("no-such-socket")), kName))
    {
    }
    ~MissingBus() { QDBusConnection::disconnectFromBus(kName); }

    static inline const QString kName = QStringLiteral("corvane-test-missing-bus");
    QDBusConnection connection;
};

// Takes every call to its path and never answers.
class SilentObject final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};

TEST(DBusReply, EachCallIsAnsweredOnceLaterWithItsTypedValueOrItsError)
{
    test::PrivateBus bus;
    QDBusConnection connected = bus.connect();
    MissingBus missing(bus);

    const struct {
        const char* name;
        QDBusConnection& connection;
        QString owned;
        QString value;
        QString error;
    } cases[] {
        {"an answer", connected, kBusService, kBusService, {}},
        {"an error from the peer", connected, QStringLiteral("org.example.Nobody"), {},
            QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")},
        {"no bus at all", missing.connection, kBusService, {},
            QStringLiteral("org.freedesktop.DBus.Error.Disconnected")},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        QObject context;
        Answered answered;
        onReply<QString>(
            row.connection.asyncCall(getNameOwner(kBusService, row.owned)), &context, recordInto(answered));
        EXPECT_EQ(answered.count, 0) << "ran inside onReply";
        ASSERT_TRUE(QTest::qWaitFor([&] { return answered.count > 0; }, 10000));
        EXPECT_EQ(answered.value, row.value);
        EXPECT_EQ(answered.error, row.error);
        QTest::qWait(50);
        EXPECT_EQ(answered.count, 1);
    }
}

TEST(DBusReply, NothingRunsForAContextGoneBeforeTheAnswerWhileAnotherGetsItsTimeOut)
{
    test::PrivateBus bus;
    QDBusConnection caller = bus.connect();
    QDBusConnection peer = bus.connect();
    SilentObject silent;
    ASSERT_TRUE(peer.registerVirtualObject(QStringLiteral("/org/freedesktop/DBus"), &silent));
    MissingBus missing(bus);

    constexpr int kTimeoutMs = 200;
    auto gone = std::make_unique<QObject>();
    QObject kept;
    Answered forGone;
    Answered forKept;
    const auto call = getNameOwner(peer.baseService(), kBusService);
    onReply<QString>(caller.asyncCall(call, kTimeoutMs), gone.get(), recordInto(forGone));
    onReply<QString>(missing.connection.asyncCall(call), gone.get(), recordInto(forGone));
    onReply<QString>(caller.asyncCall(call, kTimeoutMs), &kept, recordInto(forKept));
    gone.reset();

    ASSERT_TRUE(QTest::qWaitFor([&] { return forKept.count > 0; }, 10000));
    EXPECT_EQ(forKept.error, QStringLiteral("org.freedesktop.DBus.Error.NoReply"));
    QTest::qWait(50);
    EXPECT_EQ(forKept.count, 1);
    EXPECT_EQ(forGone.count, 0);
}

} // namespace
} // namespace corvane
