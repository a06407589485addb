#include "linux/FreedesktopNotificationCenter.h"

#include "core/Notifier.h"
#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QTest>

#include <atomic>
#include <mutex>
#include <ostream>

namespace corvane {
namespace {

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kPlainText = QStringLiteral(R"({"capabilities": "body actions persistence"})");

// Records the answers and presents with the options it is given.
class RecordingDelegate final : public UserNotificationCenterDelegate {
public:
    void willPresent(const NotificationRequest&, std::function<void(std::uint32_t)> completion) override
    {
        ++presentations;
        completion(options);
    }
    void didReceive(const NotificationResponse& response, std::function<void()> completion) override
    {
        std::lock_guard lock(mutex);
        responses.emplace_back(response.actionIdentifier, response.request.content.userInfo.at("device"));
        completion();
    }
    std::size_t responseCount()
    {
        std::lock_guard lock(mutex);
        return responses.size();
    }

    std::uint32_t options = 0;
    std::atomic<int> presentations {0};
    std::mutex mutex;
    std::vector<std::pair<std::string, std::string>> responses; // (action, device)
};

class FreedesktopNotificationCenterTest : public ::testing::Test {
protected:
    void SetUp() override { start(kPlainText); }

    void start(const QString& parameters)
    {
        m_server = std::make_unique<test::DBusMock>(m_bus, "notification_daemon", kInterface, kPath, parameters);
        ASSERT_TRUE(m_server->ready());
        m_center = std::make_unique<FreedesktopNotificationCenter>(m_bus.connect(), [this] { return m_active; });
        m_center->setNotificationCategories({{notification::kCategoryIdentifier,
            {{notification::kRemindAction, "Remind Me Tomorrow"}, {notification::kNeverAction, "Never Remind Me"}}}});
        m_center->setDelegate(&m_delegate);
    }

    // Posts a low-battery warning for `device` and waits for its one completion.
    void post(const std::string& device, const std::string& body = "Battery level is 12%.")
    {
        NotificationRequest request;
        request.identifier = "ID-" + device;
        request.content.title = "Key<b>board</b>";
        request.content.body = body;
        request.content.userInfo = {{"device", device}};
        request.content.defaultSound = true;
        request.content.categoryIdentifier = notification::kCategoryIdentifier;
        std::atomic<int> completions {0};
        m_center->add(request, [&](std::optional<NotificationError> error) {
            EXPECT_FALSE(error.has_value());
            ++completions;
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return completions > 0; }, 15000));
        QCoreApplication::processEvents();
        EXPECT_EQ(completions, 1);
    }

    std::vector<std::string> delivered()
    {
        std::optional<std::vector<std::string>> devices;
        m_center->getDeliveredNotifications([&](std::vector<NotificationRequest> requests) {
            devices.emplace();
            for (const auto& request : requests)
                devices->push_back(request.content.userInfo.at("device"));
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return devices.has_value(); }, 15000));
        return devices.value_or(std::vector<std::string> {});
    }

    void emitSignal(const char* name, const QVariantList& arguments)
    {
        m_server->emitSignal(kPath, kInterface, QString::fromLatin1(name), arguments);
    }

    test::PrivateBus m_bus;
    std::unique_ptr<test::DBusMock> m_server;
    RecordingDelegate m_delegate;
    bool m_active = false;
    std::unique_ptr<FreedesktopNotificationCenter> m_center;
};

TEST_F(FreedesktopNotificationCenterTest, AuthorizationFollowsTheServerAnsweringItsInformation)
{
    std::optional<std::pair<bool, std::optional<NotificationError>>> answer;
    std::optional<std::int64_t> status;
    const auto ask = [&] {
        answer.reset();
        status.reset();
        m_center->requestAuthorization(notification::kOptionAlert | notification::kOptionSound,
            [&](bool granted, std::optional<NotificationError> error) { answer.emplace(granted, std::move(error)); });
        m_center->getAuthorizationStatus([&](std::int64_t value) { status = value; });
        return QTest::qWaitFor([&] { return answer.has_value() && status.has_value(); }, 15000);
    };
    ASSERT_TRUE(ask());
    EXPECT_TRUE(answer->first);
    EXPECT_FALSE(answer->second.has_value());
    EXPECT_EQ(*status, notification::kAuthorized);
    EXPECT_GE(m_server->calls("GetServerInformation").size(), 1U);

    m_server->stop();
    ASSERT_TRUE(ask());
    EXPECT_FALSE(answer->first);
    EXPECT_EQ(*status, notification::kDenied);
    ASSERT_TRUE(answer->second.has_value());
    EXPECT_NE(answer->second->description.find("No notification server"), std::string::npos);
}

struct MarkupCase {
    const char* name;
    QString parameters;
    const char* capabilitiesFail; // python raising from GetCapabilities, or nullptr
    const char* body;
};

void PrintTo(const MarkupCase& value, std::ostream* out) { *out << value.name; }

class NotificationMarkup : public FreedesktopNotificationCenterTest, public ::testing::WithParamInterface<MarkupCase> {
protected:
    void SetUp() override { }
};

INSTANTIATE_TEST_SUITE_P(Servers, NotificationMarkup,
    ::testing::Values(MarkupCase {"PlainText", kPlainText, nullptr, "<i>Mouse</i> & co"},
        // The template's default capabilities include "body-markup".
        MarkupCase {"Markup", "", nullptr, "&lt;i&gt;Mouse&lt;/i&gt; &amp; co"},
        MarkupCase {"Unknown", kPlainText, "raise dbus.exceptions.DBusException('gone', name='org.example.Gone')",
            "&lt;i&gt;Mouse&lt;/i&gt; &amp; co"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_P(NotificationMarkup, TheBodyIsEscapedUnlessTheServerSurelyReadsPlainText)
{
    start(GetParam().parameters);
    if (GetParam().capabilitiesFail)
        m_server->mock("AddMethod", {kInterface, "GetCapabilities", "", "as", GetParam().capabilitiesFail});
    post("AA:02", "<i>Mouse</i> & co");
    const auto calls = m_server->calls("Notify");
    ASSERT_EQ(calls.size(), 1U);
    EXPECT_EQ(calls[0][4].toString(), QString::fromUtf8(GetParam().body));
}

struct PresentCase {
    const char* name;
    bool active;
    std::uint32_t options; // the delegate's answer while active
    const char* soundHint; // nullptr: not posted
};

void PrintTo(const PresentCase& value, std::ostream* out) { *out << value.name; }

class NotificationPresentation : public FreedesktopNotificationCenterTest,
                                 public ::testing::WithParamInterface<PresentCase> { };

INSTANTIATE_TEST_SUITE_P(Options, NotificationPresentation,
    ::testing::Values(PresentCase {"Inactive", false, 0, "sound-name"}, PresentCase {"Full", true, 26, "sound-name"},
        PresentCase {"ListWithoutSound", true, notification::kPresentList, "suppress-sound"},
        PresentCase {"BannerWithoutSound", true, notification::kPresentBanner, "suppress-sound"},
        PresentCase {"SoundOnly", true, notification::kPresentSound, nullptr},
        PresentCase {"Nothing", true, 0, nullptr}),
    [](const auto& test) { return std::string(test.param.name); });

// While Corvane is active its delegate decides how to present; otherwise the server shows all.
TEST_P(NotificationPresentation, PostsWithTheActionsAndHintsOfThePresentation)
{
    m_active = GetParam().active;
    m_delegate.options = GetParam().options;
    post("AA:09");
    EXPECT_EQ(m_delegate.presentations, GetParam().active ? 1 : 0);
    const auto calls = m_server->calls("Notify");
    ASSERT_EQ(calls.size(), GetParam().soundHint ? 1U : 0U);
    if (calls.empty())
        return;
    EXPECT_EQ(calls[0][0].toString(), "Corvane");
    EXPECT_EQ(calls[0][3].toString(), "Key<b>board</b>");
    EXPECT_EQ(calls[0][5].toStringList(),
        QStringList({"REMIND_ACTION", "Remind Me Tomorrow", "NEVER_ACTION", "Never Remind Me", "default", ""}));
    const auto hints = qdbus_cast<QVariantMap>(calls[0][6].value<QDBusArgument>());
    EXPECT_EQ(hints.value("urgency").metaType(), QMetaType::fromType<uchar>());
    EXPECT_EQ(hints.value("urgency").toInt(), 1);
    EXPECT_EQ(hints.value("desktop-entry").toString(), "corvane");
    EXPECT_EQ(hints.value("category").toString(), "device");
    EXPECT_TRUE(hints.contains(GetParam().soundHint));
    EXPECT_EQ(hints.size(), 4);
}

// Ids 1, 2, 3 are ours, 77 another application's. Must hold: one answer per notification; reason 2
// (dismissed) answers only when no action came first; expiry (reason 1) answers nothing.
TEST_F(FreedesktopNotificationCenterTest, ActionsAndDismissalsReachTheDelegateOnce)
{
    for (const char* device : {"AA:05", "AA:06", "AA:07"})
        post(device);
    EXPECT_EQ(delivered(), (std::vector<std::string> {"AA:05", "AA:06", "AA:07"}));
    emitSignal("ActionInvoked", {77U, "default"});
    emitSignal("NotificationClosed", {77U, 2U});
    emitSignal("ActionInvoked", {1U, "NEVER_ACTION"});
    emitSignal("NotificationClosed", {1U, 2U});
    emitSignal("NotificationClosed", {2U, 2U});
    emitSignal("NotificationClosed", {3U, 1U});
    // Signals arrive in order: once the last is handled, every answer has been given.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_delegate.responseCount() >= 2 && delivered().empty(); }, 15000));
    std::lock_guard lock(m_delegate.mutex);
    EXPECT_EQ(m_delegate.responses,
        (std::vector<std::pair<std::string, std::string>> {
            {"NEVER_ACTION", "AA:05"}, {notification::kDismissActionIdentifier, "AA:06"}}));
}

// The new server numbers from 1 again: what the old one showed is gone, the new ids are tracked afresh.
TEST_F(FreedesktopNotificationCenterTest, ARestartedServerEmptiesTheDeliveredList)
{
    post("AA:07");
    m_server.reset();
    m_server = std::make_unique<test::DBusMock>(m_bus, "notification_daemon", kInterface, kPath, kPlainText);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered().empty(); }, 15000));
    post("AA:08");
    EXPECT_EQ(delivered(), std::vector<std::string> {"AA:08"});
}

} // namespace
} // namespace corvane
