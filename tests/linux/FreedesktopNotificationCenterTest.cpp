#include "linux/FreedesktopNotificationCenter.h"

#include "core/Notifier.h"
#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QTest>

namespace corvane {
namespace {

// Presents with the options it is given; the center calls it on the main thread.
class PresentingDelegate final : public UserNotificationCenterDelegate {
public:
    void willPresent(const NotificationRequest&, std::function<void(std::uint32_t)> completion) override
    {
        completion(options);
    }
    void didReceive(const NotificationResponse&, std::function<void()> completion) override { completion(); }
    std::uint32_t options = 0;
};

struct PostCase {
    const char* capabilities; // python for the server's GetCapabilities
    bool active;
    std::uint32_t options; // the delegate's answer while active
    const char* body;
    const char* soundHint; // nullptr: not posted
};

class NotificationPost : public ::testing::TestWithParam<PostCase> {
protected:
    test::PrivateBus m_bus;
    test::DBusMock m_server {m_bus, QStringLiteral("notification_daemon"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications")};
    PresentingDelegate m_delegate;
    FreedesktopNotificationCenter m_center {m_bus.connect(), [] { return GetParam().active; }};
};

constexpr const char* kPlain = "ret = ['body', 'actions']";
constexpr const char* kMarkup = "ret = ['body', 'body-markup', 'actions']";
constexpr const char* kUnknown = "raise dbus.exceptions.DBusException('gone', name='org.example.Gone')";
constexpr const char* kBody = "<i>Mouse</i> & co";
constexpr const char* kEscaped = "&lt;i&gt;Mouse&lt;/i&gt; &amp; co";

// The body is escaped unless the server surely reads plain text. While Corvane is active its delegate decides
// how to present; otherwise the server shows it all.
INSTANTIATE_TEST_SUITE_P(Servers, NotificationPost,
    ::testing::Values(PostCase {kPlain, false, 0, kBody, "sound-name"},
        PostCase {kMarkup, false, 0, kEscaped, "sound-name"}, PostCase {kUnknown, false, 0, kEscaped, "sound-name"},
        PostCase {kPlain, true, notification::kPresentBanner, kBody, "suppress-sound"},
        PostCase {kPlain, true, notification::kPresentSound, kBody, nullptr}));

TEST_P(NotificationPost, SendsTheBodyTheActionsAndTheHintsOfThePresentation)
{
    m_server.mock("AddMethod", {"org.freedesktop.Notifications", "GetCapabilities", "", "as", GetParam().capabilities});
    m_center.setNotificationCategories({{notification::kCategoryIdentifier,
        {{notification::kRemindAction, "Remind Me Tomorrow"}, {notification::kNeverAction, "Never Remind Me"}}}});
    m_center.setDelegate(&m_delegate);
    m_delegate.options = GetParam().options;
    const NotificationRequest request {
        "ID-1", {"Key<b>board</b>", "", kBody, {{"device", "AA:01"}}, true, notification::kCategoryIdentifier}};
    std::optional<std::optional<NotificationError>> completion;
    m_center.add(request, [&](std::optional<NotificationError> error) { completion.emplace(std::move(error)); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return completion.has_value(); }, 15000));
    EXPECT_FALSE(completion->has_value());
    const auto calls = m_server.calls("Notify");
    ASSERT_EQ(calls.size(), GetParam().soundHint ? 1 : 0);
    if (calls.empty())
        return;
    const auto& call = calls[0];
    EXPECT_EQ(QStringList({call[0].toString(), call[2].toString(), call[3].toString(), call[4].toString()}),
        QStringList({"Corvane", "corvane", "Key<b>board</b>", GetParam().body}));
    EXPECT_EQ(call[5].toStringList(),
        QStringList({"REMIND_ACTION", "Remind Me Tomorrow", "NEVER_ACTION", "Never Remind Me"}));
    auto hints = qdbus_cast<QVariantMap>(call[6].value<QDBusArgument>());
    EXPECT_TRUE(hints.remove(GetParam().soundHint));
    EXPECT_EQ(hints,
        (QVariantMap {
            {"urgency", QVariant::fromValue(uchar {1})}, {"desktop-entry", "corvane"}, {"category", "device"}}));
}

} // namespace
} // namespace corvane
