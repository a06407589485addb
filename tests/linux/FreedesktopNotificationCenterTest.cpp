#include "linux/FreedesktopNotificationCenter.h"

#include "core/NotificationCenterDelegate.h"
#include "core/Notifier.h"
#include "core/runtime/ThreadPoolExecutor.h"
#include "linux/FileSettingsStore.h"
#include "linux/IcuCalendar.h"
#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QDBusArgument>
#include <QTest>

#include <atomic>
#include <filesystem>
#include <mutex>

namespace corvane {
namespace {

using namespace std::chrono;

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr const char* kWithActions = R"({"capabilities": "body actions persistence"})";

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
        responses.push_back(response);
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
    std::vector<NotificationResponse> responses;
};

NotificationRequest lowBattery(const std::string& serial, const std::string& title = "Keyboard")
{
    NotificationRequest request;
    request.identifier = "ID-" + serial;
    request.content.title = title;
    request.content.body = "Battery level is 12%.";
    request.content.userInfo = {{"device", serial}};
    request.content.defaultSound = true;
    request.content.categoryIdentifier = notification::kCategoryIdentifier;
    return request;
}

struct NotifyCall {
    QString applicationName;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
};

class FreedesktopNotificationCenterTest : public ::testing::Test {
protected:
    void startServer(const std::string& parameters = kWithActions)
    {
        m_server = std::make_unique<test::DBusMock>(
            m_bus, "notification_daemon", QStringLiteral("org.freedesktop.Notifications"), kPath, parameters);
        ASSERT_TRUE(m_server->ready());
    }

    void SetUp() override
    {
        startServer();
        m_center = std::make_unique<FreedesktopNotificationCenter>(m_bus.connect(), [this] { return m_active; });
        m_center->setNotificationCategories({{notification::kCategoryIdentifier,
            {{notification::kRemindAction, "Remind Me Tomorrow"}, {notification::kNeverAction, "Never Remind Me"}}}});
        m_center->setDelegate(&m_delegate);
    }

    // Posts and waits for the completion; returns the server's answer.
    std::optional<NotificationError> post(NotificationRequest request)
    {
        std::atomic<int> completions {0};
        std::optional<NotificationError> result;
        m_center->add(std::move(request), [&](std::optional<NotificationError> error) {
            result = std::move(error);
            ++completions;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return completions > 0; }, 15000));
        QCoreApplication::processEvents();
        EXPECT_EQ(completions, 1);
        return result;
    }

    std::vector<NotificationRequest> delivered()
    {
        std::optional<std::vector<NotificationRequest>> result;
        m_center->getDeliveredNotifications([&](std::vector<NotificationRequest> requests) { result = requests; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 15000));
        return result.value_or(std::vector<NotificationRequest> {});
    }

    std::vector<NotifyCall> notifyCalls()
    {
        std::vector<NotifyCall> found;
        for (const auto& call : m_server->calls()) {
            if (call.method != QStringLiteral("Notify"))
                continue;
            const auto& args = call.arguments;
            NotifyCall notify {args[0].toString(), args[3].toString(), args[4].toString(), args[5].toStringList(),
                qdbus_cast<QVariantMap>(args[6].value<QDBusArgument>())};
            found.push_back(notify);
        }
        return found;
    }

    void emitServerSignal(const QString& name, const QString& signature, const QVariantList& arguments)
    {
        m_server->emitSignal(kPath, kInterface, name, signature, arguments);
    }

    test::PrivateBus m_bus;
    std::unique_ptr<test::DBusMock> m_server;
    RecordingDelegate m_delegate;
    bool m_active = false;
    std::unique_ptr<FreedesktopNotificationCenter> m_center;
};

TEST_F(FreedesktopNotificationCenterTest, PermissionAndStatusFollowTheServerAnswering)
{
    std::optional<std::pair<bool, std::optional<NotificationError>>> answer;
    m_center->requestAuthorization(notification::kOptionAlert | notification::kOptionSound,
        [&](bool granted, std::optional<NotificationError> error) { answer.emplace(granted, std::move(error)); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 15000));
    EXPECT_TRUE(answer->first);
    EXPECT_FALSE(answer->second.has_value());

    std::optional<std::int64_t> status;
    m_center->getAuthorizationStatus([&](std::int64_t value) { status = value; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.has_value(); }, 15000));
    EXPECT_EQ(*status, notification::kAuthorized);

    m_server->stop();
    status.reset();
    answer.reset();
    m_center->getAuthorizationStatus([&](std::int64_t value) { status = value; });
    m_center->requestAuthorization(
        0, [&](bool granted, std::optional<NotificationError> error) { answer.emplace(granted, std::move(error)); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.has_value() && answer.has_value(); }, 15000));
    EXPECT_EQ(*status, notification::kDenied);
    EXPECT_FALSE(answer->first);
    ASSERT_TRUE(answer->second.has_value());
    EXPECT_NE(answer->second->description.find("No notification server"), std::string::npos)
        << answer->second->description;
}

TEST(FreedesktopNotificationCenterWithoutBus, EveryCompletionRunsOnceWithAnError)
{
    FreedesktopNotificationCenter center(QDBusConnection(QStringLiteral("no-such-connection")));
    std::optional<NotificationError> permissionError;
    std::optional<NotificationError> addError;
    std::atomic<int> completions {0};
    center.requestAuthorization(0, [&](bool, std::optional<NotificationError> error) {
        permissionError = std::move(error);
        ++completions;
    });
    center.add(lowBattery("AA"), [&](std::optional<NotificationError> error) {
        addError = std::move(error);
        ++completions;
    });
    center.getAuthorizationStatus([&](std::int64_t status) {
        EXPECT_EQ(status, notification::kDenied);
        ++completions;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions == 3; }, 15000));
    ASSERT_TRUE(permissionError.has_value());
    EXPECT_NE(permissionError->description.find("session bus"), std::string::npos) << permissionError->description;
    EXPECT_TRUE(addError.has_value());
}

TEST_F(FreedesktopNotificationCenterTest, SendsTheCategoryActionsWithTheirTitlesAndTheSound)
{
    ASSERT_FALSE(post(lowBattery("AA:01", "Key<b>board</b>")).has_value());
    const auto calls = notifyCalls();
    ASSERT_EQ(calls.size(), 1U);
    EXPECT_EQ(calls[0].applicationName, QStringLiteral("Corvane"));
    EXPECT_EQ(calls[0].summary, QStringLiteral("Key<b>board</b>"));
    EXPECT_EQ(calls[0].actions,
        QStringList({"REMIND_ACTION", "Remind Me Tomorrow", "NEVER_ACTION", "Never Remind Me", "default", ""}));
    const auto urgency = calls[0].hints.value(QStringLiteral("urgency"));
    EXPECT_EQ(urgency.metaType(), QMetaType::fromType<uchar>());
    EXPECT_EQ(urgency.toInt(), 1);
    EXPECT_TRUE(calls[0].hints.contains(QStringLiteral("sound-name")));
    EXPECT_FALSE(calls[0].hints.contains(QStringLiteral("suppress-sound")));
}

struct MarkupCase {
    const char* name;
    const char* parameters;
    const char* expectedBody;
};

void PrintTo(const MarkupCase& value, std::ostream* out) { *out << value.name; }

class FreedesktopNotificationMarkup : public FreedesktopNotificationCenterTest,
                                      public ::testing::WithParamInterface<MarkupCase> {
protected:
    void SetUp() override { }
};

INSTANTIATE_TEST_SUITE_P(Servers, FreedesktopNotificationMarkup,
    ::testing::Values(MarkupCase {"PlainText", kWithActions, "<i>Mouse</i> & co"},
        // The template's default capabilities include "body-markup".
        MarkupCase {"Markup", "", "&lt;i&gt;Mouse&lt;/i&gt; &amp; co"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_P(FreedesktopNotificationMarkup, EscapesTheBodyOnlyForServersThatReadMarkup)
{
    startServer(GetParam().parameters);
    m_center = std::make_unique<FreedesktopNotificationCenter>(m_bus.connect(), [] { return false; });
    auto request = lowBattery("AA:02");
    request.content.body = "<i>Mouse</i> & co";
    ASSERT_FALSE(post(request).has_value());
    const auto calls = notifyCalls();
    ASSERT_EQ(calls.size(), 1U);
    EXPECT_EQ(calls[0].body, QString::fromUtf8(GetParam().expectedBody));
}

TEST_F(FreedesktopNotificationCenterTest, DeliveredHoldsWhatWasPostedUntilTheServerClosesIt)
{
    ASSERT_FALSE(post(lowBattery("AA:03")).has_value());
    ASSERT_FALSE(post(lowBattery("AA:04")).has_value());
    auto shown = delivered();
    ASSERT_EQ(shown.size(), 2U);
    EXPECT_EQ(shown[0].content.userInfo.at("device"), "AA:03");
    EXPECT_EQ(shown[1].content.userInfo.at("device"), "AA:04");

    // Ids are 1 and 2; the first one expires (reason 1).
    emitServerSignal(QStringLiteral("NotificationClosed"), QStringLiteral("uu"), {uint {1}, uint {1}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered().size() == 1; }, 15000));
    EXPECT_EQ(delivered()[0].content.userInfo.at("device"), "AA:04");
    EXPECT_EQ(m_delegate.responseCount(), 0U);
}

TEST_F(FreedesktopNotificationCenterTest, ActionsAndDismissalsReachTheDelegateOnce)
{
    ASSERT_FALSE(post(lowBattery("AA:05")).has_value());
    ASSERT_FALSE(post(lowBattery("AA:06")).has_value());
    // Another application's notification id: not ours, no answer.
    emitServerSignal(QStringLiteral("ActionInvoked"), QStringLiteral("us"), {uint {77}, QStringLiteral("default")});
    emitServerSignal(QStringLiteral("ActionInvoked"), QStringLiteral("us"), {uint {1}, QStringLiteral("NEVER_ACTION")});
    // The server closes an answered notification as dismissed: not a second answer.
    emitServerSignal(QStringLiteral("NotificationClosed"), QStringLiteral("uu"), {uint {1}, uint {2}});
    emitServerSignal(QStringLiteral("NotificationClosed"), QStringLiteral("uu"), {uint {2}, uint {2}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_delegate.responseCount() == 2 && delivered().empty(); }, 15000));
    ASSERT_EQ(m_delegate.responseCount(), 2U);
    EXPECT_EQ(m_delegate.responses[0].actionIdentifier, "NEVER_ACTION");
    EXPECT_EQ(m_delegate.responses[0].request.content.userInfo.at("device"), "AA:05");
    EXPECT_EQ(m_delegate.responses[1].actionIdentifier, notification::kDismissActionIdentifier);
    EXPECT_EQ(m_delegate.responses[1].request.content.userInfo.at("device"), "AA:06");
}

TEST_F(FreedesktopNotificationCenterTest, ARestartedServerEmptiesTheDeliveredList)
{
    ASSERT_FALSE(post(lowBattery("AA:07")).has_value());
    ASSERT_EQ(delivered().size(), 1U);
    m_server.reset();
    startServer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered().empty(); }, 15000));
    // The new server numbers from 1 again; its notifications are tracked afresh.
    ASSERT_FALSE(post(lowBattery("AA:08")).has_value());
    ASSERT_EQ(delivered().size(), 1U);
    EXPECT_EQ(delivered()[0].content.userInfo.at("device"), "AA:08");
}

struct PresentCase {
    const char* name;
    std::uint32_t options;
    bool posted;
    const char* soundHint;
};

void PrintTo(const PresentCase& value, std::ostream* out) { *out << value.name; }

class FreedesktopNotificationPresentation : public FreedesktopNotificationCenterTest,
                                            public ::testing::WithParamInterface<PresentCase> { };

INSTANTIATE_TEST_SUITE_P(Options, FreedesktopNotificationPresentation,
    ::testing::Values(PresentCase {"Full", 26, true, "sound-name"},
        PresentCase {"ListWithoutSound", notification::kPresentList, true, "suppress-sound"},
        PresentCase {"BannerWithoutSound", notification::kPresentBanner, true, "suppress-sound"},
        PresentCase {"SoundOnly", notification::kPresentSound, false, ""}, PresentCase {"Nothing", 0, false, ""}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_P(FreedesktopNotificationPresentation, WhileActiveTheDelegateDecides)
{
    m_active = true;
    m_delegate.options = GetParam().options;
    ASSERT_FALSE(post(lowBattery("AA:09")).has_value());
    EXPECT_EQ(m_delegate.presentations, 1);
    const auto calls = notifyCalls();
    ASSERT_EQ(calls.size(), GetParam().posted ? 1U : 0U);
    if (GetParam().posted) {
        EXPECT_TRUE(calls[0].hints.contains(QString::fromLatin1(GetParam().soundHint)));
    }
}

TEST_F(FreedesktopNotificationCenterTest, WhileInactiveTheDelegateIsNotAsked)
{
    m_delegate.options = 0;
    ASSERT_FALSE(post(lowBattery("AA:10")).has_value());
    EXPECT_EQ(m_delegate.presentations, 0);
    EXPECT_EQ(notifyCalls().size(), 1U);
}

// The whole way from the server's signal to the settings file, through the
// core's delegate on a background pool.
TEST_F(FreedesktopNotificationCenterTest, RemindAndNeverAnswersReachTheSettingsFile)
{
    const auto folder = m_bus.folder() / "config";
    const auto file = folder / "settings.toml";
    FileSettingsStore store(file);
    IcuCalendar calendar("Europe/Berlin");
    ThreadPoolExecutor background;
    NotificationCenterDelegate delegate(store, calendar, background);
    m_center->setDelegate(&delegate);

    ASSERT_FALSE(post(lowBattery("AA:BB:CC:DD:EE:11")).has_value());
    ASSERT_FALSE(post(lowBattery("AA:BB:CC:DD:EE:12")).has_value());
    const auto before = calendar.now();
    emitServerSignal(
        QStringLiteral("ActionInvoked"), QStringLiteral("us"), {uint {1}, QStringLiteral("REMIND_ACTION")});
    emitServerSignal(QStringLiteral("ActionInvoked"), QStringLiteral("us"), {uint {2}, QStringLiteral("NEVER_ACTION")});

    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            FileSettingsStore reader(file);
            return std::holds_alternative<Date>(reader.value("AA:BB:CC:DD:EE:11"))
                && std::holds_alternative<Date>(reader.value("AA:BB:CC:DD:EE:12"));
        },
        15000));
    FileSettingsStore reader(file);
    const auto remind = std::get<Date>(reader.value("AA:BB:CC:DD:EE:11"));
    EXPECT_GE(remind, *calendar.sameTimeNextDay(before));
    EXPECT_LE(remind, *calendar.sameTimeNextDay(calendar.now()));
    EXPECT_EQ(reader.value("AA:BB:CC:DD:EE:12"), SettingValue(kDistantFuture));
}

} // namespace
} // namespace corvane
