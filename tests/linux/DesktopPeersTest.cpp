// Corvane's desktop peers: the notification server, logind's sleep and the portal's colour scheme on a private bus,
// and the tray hosts. A second launch and localed's locale are followed in the end-to-end run.

#include "core/Notifier.h"
#include "linux/ColorSchemePortal.h"
#include "linux/DesktopSystemEvents.h"
#include "linux/FreedesktopNotificationCenter.h"
#include "linux/PrivateBus.h"
#include "linux/QtTray.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>

namespace corvane {
namespace {

// Presents with the options it is given; the center calls it on the main thread.
struct PresentingDelegate final : UserNotificationCenterDelegate {
    void willPresent(const NotificationRequest&, std::function<void(std::uint32_t)> completion) override
    {
        completion(options);
    }
    void didReceive(const NotificationResponse& response, std::function<void()> completion) override
    {
        answers.emplace_back(response.actionIdentifier, response.request.content.userInfo.at("device"));
        completion();
    }
    std::uint32_t options = 0;
    std::vector<std::pair<std::string, std::string>> answers; // action, device
};

// Python for the server's GetCapabilities, whether Corvane is active, the delegate's answer while it is, the body
// sent, and the sound hint (nullptr: not posted).
using PostCase = std::tuple<const char*, bool, std::uint32_t, const char*, const char*>;

constexpr const char* kPlain = "ret = ['body', 'actions']";
constexpr const char* kMarkup = "ret = ['body', 'body-markup', 'actions']";
constexpr const char* kUnknown = "raise dbus.exceptions.DBusException('gone', name='org.example.Gone')";
constexpr const char* kBody = "<i>Mouse</i> & co";
constexpr const char* kEscaped = "&lt;i&gt;Mouse&lt;/i&gt; &amp; co";

class NotificationServer : public ::testing::Test {
protected:
    test::PrivateBus m_bus;
    test::DBusMock m_server {
        m_bus, "notification_daemon", "org.freedesktop.Notifications", "/org/freedesktop/Notifications"};
    PresentingDelegate m_delegate;
    std::atomic<bool> m_active {false};
    FreedesktopNotificationCenter m_center {m_bus.connect(), [this] { return m_active.load(); }};

    void post(const std::string& device)
    {
        const NotificationRequest request {"ID-" + device,
            {"Key<b>board</b>", "", kBody, {{"device", device}}, true, notification::kCategoryIdentifier}};
        std::optional<std::optional<NotificationError>> completion;
        m_center.add(request, [&](std::optional<NotificationError> error) { completion.emplace(std::move(error)); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return completion.has_value(); }, 15000));
        EXPECT_FALSE(completion->has_value());
    }
};

class NotificationPost : public NotificationServer, public ::testing::WithParamInterface<PostCase> { };

// The body is escaped unless the server surely reads plain text. While Corvane is active its delegate decides
// how to present; otherwise the server shows it all.
INSTANTIATE_TEST_SUITE_P(Servers, NotificationPost,
    ::testing::Values(PostCase {kPlain, false, 0, kBody, "sound-name"},
        PostCase {kMarkup, false, 0, kEscaped, "sound-name"}, PostCase {kUnknown, false, 0, kEscaped, "sound-name"},
        PostCase {kPlain, true, notification::kPresentBanner, kBody, "suppress-sound"},
        PostCase {kPlain, true, notification::kPresentSound, kBody, nullptr}));

TEST_P(NotificationPost, SendsTheBodyTheActionsAndTheHintsOfThePresentation)
{
    const auto& [capabilities, active, options, body, soundHint] = GetParam();
    m_server.mock("AddMethod", {"org.freedesktop.Notifications", "GetCapabilities", "", "as", capabilities});
    m_center.setNotificationCategories({{notification::kCategoryIdentifier,
        {{notification::kRemindAction, "Remind Me Tomorrow"}, {notification::kNeverAction, "Never Remind Me"}}}});
    m_center.setDelegate(&m_delegate);
    m_active = active;
    m_delegate.options = options;
    post("AA:01");
    const auto calls = m_server.calls("Notify");
    ASSERT_EQ(calls.size(), soundHint ? 1 : 0);
    if (calls.empty())
        return;
    const auto& call = calls[0];
    EXPECT_EQ(QStringList({call[0].toString(), call[2].toString(), call[3].toString(), call[4].toString()}),
        QStringList({"Corvane", "corvane", "Key<b>board</b>", body}));
    EXPECT_EQ(call[5].toStringList(),
        QStringList({"REMIND_ACTION", "Remind Me Tomorrow", "NEVER_ACTION", "Never Remind Me"}));
    auto hints = qdbus_cast<QVariantMap>(call[6].value<QDBusArgument>());
    EXPECT_TRUE(hints.remove(soundHint));
    EXPECT_EQ(hints,
        (QVariantMap {
            {"urgency", QVariant::fromValue(uchar {1})}, {"desktop-entry", "corvane"}, {"category", "device"}}));
}

// Ids 1, 2 and 3 are ours, 77 another application's. Must hold: one answer per notification; reason 2
// (dismissed) answers only when no action came first; expiry (reason 1) answers nothing.
TEST_F(NotificationServer, ActionsAndDismissalsReachTheDelegateOnce)
{
    m_center.setDelegate(&m_delegate);
    for (const char* device : {"AA:05", "AA:06", "AA:07"})
        post(device);
    m_server.run("for name, signature, args in [('ActionInvoked', 'us', [77, 'default']), "
                 "('NotificationClosed', 'uu', [77, 2]), ('ActionInvoked', 'us', [1, 'NEVER_ACTION']), "
                 "('NotificationClosed', 'uu', [1, 2]), ('NotificationClosed', 'uu', [2, 2]), "
                 "('NotificationClosed', 'uu', [3, 1])]:\n"
                 "    self.EmitSignal('org.freedesktop.Notifications', name, signature, args)");
    // Signals arrive in order: once the last has emptied the delivered list, every answer has been given.
    std::optional<std::size_t> delivered;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            m_center.getDeliveredNotifications(
                [&](std::vector<NotificationRequest> shown) { delivered = shown.size(); });
            return delivered == 0U;
        },
        15000));
    EXPECT_EQ(m_delegate.answers,
        (decltype(m_delegate.answers) {{"NEVER_ACTION", "AA:05"}, {notification::kDismissActionIdentifier, "AA:06"}}));
}

// The permission's answer stands while the server keeps its name, so posting asks nothing more, and the markup
// is asked once, alongside the permission. A server that lets its name go is no permission until it is back.
TEST_F(NotificationServer, TheServerIsAskedAgainOnlyOnceItsNameChangesOwner)
{
    const auto status = [this] {
        std::optional<std::int64_t> answer;
        m_center.getAuthorizationStatus([&](std::int64_t value) { answer = value; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 15000));
        return answer.value_or(-1);
    };
    std::optional<bool> granted;
    m_center.requestAuthorization(0, [&](bool yes, std::optional<NotificationError>) { granted = yes; });
    post("AA:01"); // while the markup is still being asked
    EXPECT_EQ(granted, true);
    EXPECT_EQ(status(), notification::kAuthorized);
    post("AA:02");
    EXPECT_EQ(m_server.calls("GetServerInformation").size(), 1U);
    EXPECT_EQ(m_server.calls("GetCapabilities").size(), 1U);

    // Asked back by its unique name, which it keeps meanwhile.
    const QString name = QStringLiteral("org.freedesktop.Notifications");
    QDBusConnection control = m_bus.connect();
    auto back = QDBusMessage::createMethodCall(control.interface()->serviceOwner(name).value(),
        QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.freedesktop.DBus.Mock"),
        QStringLiteral("Run"));
    back << QStringLiteral("self.connection.request_name('%1')").arg(name);
    m_server.run(QStringLiteral("self.connection.release_name('%1')").arg(name));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == notification::kDenied; }, 15000));
    ASSERT_EQ(control.call(back).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == notification::kAuthorized; }, 15000));
}

TEST(DesktopSystemEvents, TheDelayInhibitorIsReleasedAfterTheSleepHandlersAndTakenAgainOnWake)
{
    test::PrivateBus bus;
    test::DBusMock logind(bus, "logind", "org.freedesktop.login1", "/org/freedesktop/login1");
    DesktopSystemEvents events(bus.connect());
    int sleeps = 0, wakes = 0;
    bool heldWhileSleeping = false;
    auto sleepToken = events.onWillSleep([&] {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        heldWhileSleeping = events.holdsInhibitor();
        ++sleeps;
    });
    auto wakeToken = events.onDidWake([&] { ++wakes; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.holdsInhibitor(); }, 15000));
    const auto inhibit = logind.calls("Inhibit").value(0);
    EXPECT_EQ(inhibit, (QVariantList {"sleep", "Corvane", inhibit.value(2), "delay"}));

    // A did-wake that runs the sleep handlers again, or a will-sleep the wake handlers, never settles.
    for (const bool start : {true, false}) {
        logind.run(QStringLiteral("self.EmitSignal('org.freedesktop.login1.Manager', 'PrepareForSleep', 'b', [%1])")
                       .arg(start ? "True" : "False"));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return sleeps == 1 && wakes == (start ? 0 : 1) && events.holdsInhibitor() != start; }, 15000));
    }
    EXPECT_TRUE(heldWhileSleeping);
}

TEST(ColorSchemePortal, ReadsAndFollowsTheSchemeFromNewAndOlderPortals)
{
    test::PrivateBus bus;
    // An older portal (Read only, a variant in a variant) and a newer one (ReadOne). The first portal of the
    // process must follow changes without any help from an earlier one.
    for (const bool readOne : {false, true}) {
        SCOPED_TRACE(readOne ? "ReadOne" : "Read");
        test::DBusMock portal(bus, CORVANE_PORTAL_TEMPLATE, "org.freedesktop.portal.Desktop",
            "/org/freedesktop/portal/desktop",
            QString(R"({"color-scheme": 1, "read-one": %1})").arg(readOne ? "true" : "false"));
        ColorSchemePortal colorScheme(bus.connect());
        ASSERT_TRUE(QTest::qWaitFor([&] { return colorScheme.colorScheme() == ColorScheme::Dark; }, 15000));

        QSignalSpy told(&colorScheme, &ColorSchemePortal::changed);
        // Other settings pass by; they come first.
        portal.run(
            "for group, key, value in [('org.freedesktop.appearance', 'accent-color', 0), "
            "('org.gnome.desktop.interface', 'color-scheme', 0), ('org.freedesktop.appearance', 'color-scheme', 2)]:\n"
            "    self.EmitSignal('org.freedesktop.portal.Settings', 'SettingChanged', 'ssv', "
            "[group, key, dbus.UInt32(value, variant_level=1)])");
        ASSERT_TRUE(told.wait(15000));
        EXPECT_EQ(told.takeFirst().at(0).value<ColorScheme>(), ColorScheme::Light);
    }
}

TEST(QtTray, SettlesOnTheFirstHostsKindAndAsksForARestartWhenOnlyTheOtherKindIsThere)
{
    constexpr auto sni = TrayKind::StatusNotifier, xembed = TrayKind::XEmbed;
    // Whether a StatusNotifier host and an XEmbed tray are there, the kind settled on, and the outlook.
    const std::tuple<bool, bool, std::optional<TrayKind>, TrayOutlook> cases[] = {
        {false, false, {}, {}},
        {true, false, {}, {sni, true, false}},
        {false, true, {}, {xembed, true, false}},
        {true, true, {}, {sni, true, false}},
        {false, false, sni, {sni, false, false}},
        {false, true, sni, {sni, false, true}},
        {true, true, xembed, {xembed, true, false}},
    };
    for (const auto& [statusNotifier, xembedTray, settled, expected] : cases)
        EXPECT_TRUE(trayOutlook(statusNotifier, xembedTray, settled) == expected)
            << statusNotifier << xembedTray << (settled ? static_cast<int>(*settled) : -1);
}

} // namespace
} // namespace corvane
