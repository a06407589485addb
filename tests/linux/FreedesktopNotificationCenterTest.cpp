#include "linux/FreedesktopNotificationCenter.h"

#include "core/Notifier.h"
#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QTest>

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
    test::DBusMock m_server {m_bus, QStringLiteral("notification_daemon"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications")};
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

} // namespace
} // namespace corvane
