#include "linux/FreedesktopNotificationCenter.h"

#include "qt/DBusReply.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include <utility>

namespace corvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kApplicationName = QStringLiteral("Corvane");
const QString kDesktopEntry = QStringLiteral("corvane");
// The sound theme's name for an incoming message: the desktop's default sound.
const QString kDefaultSoundName = QStringLiteral("message-new-instant");
constexpr unsigned char kUrgencyNormal = 1;
// NotificationClosed's reason when the user dismissed the notification.
constexpr uint kClosedByUser = 2;

QString q(const std::string& text) { return QString::fromStdString(text); }

bool isActiveGuiApplication()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
        && QGuiApplication::applicationState() == Qt::ApplicationActive;
}

NotificationError errorFrom(const QDBusError& error)
{
    const auto name = error.name();
    if (name == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown")
        || name == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return {"No notification server is running on the session bus (" + kService.toStdString() + ")."};
    if (name == QStringLiteral("org.freedesktop.DBus.Error.NoReply")
        || name == QStringLiteral("org.freedesktop.DBus.Error.Timeout"))
        return {"The notification server on the session bus did not answer in time."};
    return {"The notification server on the session bus cannot be reached: " + error.message().toStdString()};
}

NotificationError noBus()
{
    return {"There is no D-Bus session bus, so desktop notifications cannot be shown "
            "(DBUS_SESSION_BUS_ADDRESS is unset or unreachable)."};
}

} // namespace

FreedesktopNotificationCenter::FreedesktopNotificationCenter(
    QDBusConnection sessionBus, std::function<bool()> applicationIsActive)
    : m_bus(std::move(sessionBus))
    , m_applicationIsActive(applicationIsActive ? std::move(applicationIsActive) : isActiveGuiApplication)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(
        kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
        SLOT(onNotificationClosed(uint, uint)));
    m_serverWatcher = new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_serverWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        &FreedesktopNotificationCenter::onServerOwnerChanged);
}

FreedesktopNotificationCenter::~FreedesktopNotificationCenter()
{
    if (!m_bus.isConnected())
        return;
    m_bus.disconnect(
        kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    m_bus.disconnect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
        SLOT(onNotificationClosed(uint, uint)));
}

std::string FreedesktopNotificationCenter::escapeMarkup(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

UserNotificationCenterDelegate* FreedesktopNotificationCenter::delegate() const
{
    std::lock_guard lock(m_mutex);
    return m_delegate;
}

void FreedesktopNotificationCenter::setDelegate(UserNotificationCenterDelegate* delegate)
{
    std::lock_guard lock(m_mutex);
    m_delegate = delegate;
}

void FreedesktopNotificationCenter::askServer(std::function<void(std::optional<NotificationError>)> answered)
{
    if (!m_bus.isConnected()) {
        answered(noBus());
        return;
    }
    auto call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetServerInformation"));
    onReply(m_bus.asyncCall(call, static_cast<int>(kTimeout.count())), this,
        [this, server = m_server, answered = std::move(answered)](const QDBusPendingReply<>& reply) {
            if (reply.isError()) {
                answered(errorFrom(reply.error()));
                return;
            }
            if (server == m_server)
                m_serverAnswered = true;
            answered(std::nullopt);
        });
}

void FreedesktopNotificationCenter::requestAuthorization(
    std::uint32_t /*options*/, std::function<void(bool, std::optional<NotificationError>)> completion)
{
    // The freedesktop protocol has no permission of its own: a server that
    // answers shows notifications.
    auto ask = [this, completion = std::move(completion)] {
        askServer([completion](std::optional<NotificationError> error) { completion(!error, std::move(error)); });
        // Asked alongside, so that the first notification need not wait for it.
        if (m_bus.isConnected())
            withBodyMarkup([](bool) {});
    };
    // Asked at once where it can be: at start the answer is then in before the event loop runs.
    if (QThread::currentThread() == thread())
        ask();
    else
        m_thisThread.post(std::move(ask));
}

void FreedesktopNotificationCenter::setNotificationCategories(std::vector<NotificationCategory> categories)
{
    std::lock_guard lock(m_mutex);
    m_categories.clear();
    for (auto& category : categories)
        m_categories[category.identifier] = std::move(category.actions);
}

void FreedesktopNotificationCenter::getAuthorizationStatus(std::function<void(std::int64_t)> completion)
{
    m_thisThread.post([this, completion = std::move(completion)] {
        // The server that answered is still the one on the bus: its answer stands.
        if (m_serverAnswered) {
            completion(notification::kAuthorized);
            return;
        }
        askServer([completion](std::optional<NotificationError> error) {
            completion(error ? notification::kDenied : notification::kAuthorized);
        });
    });
}

void FreedesktopNotificationCenter::getDeliveredNotifications(
    std::function<void(std::vector<NotificationRequest>)> completion)
{
    m_thisThread.post([this, completion = std::move(completion)] {
        std::vector<NotificationRequest> delivered;
        delivered.reserve(m_delivered.size());
        for (const auto& [id, request] : m_delivered)
            delivered.push_back(request);
        completion(std::move(delivered));
    });
}

void FreedesktopNotificationCenter::add(
    NotificationRequest request, std::function<void(std::optional<NotificationError>)> completion)
{
    m_thisThread.post([this, request = std::move(request), completion = std::move(completion)]() mutable {
        auto* presenter = m_applicationIsActive() ? delegate() : nullptr;
        if (presenter == nullptr) {
            const bool sound = request.content.defaultSound;
            notify(std::move(request), sound, std::move(completion));
            return;
        }
        // While Corvane has focus, its delegate decides how the notification shows.
        auto shared = std::make_shared<NotificationRequest>(std::move(request));
        presenter->willPresent(*shared, [this, shared, completion](std::uint32_t options) {
            m_thisThread.post([this, shared, completion, options] {
                if ((options & (notification::kPresentBanner | notification::kPresentList)) == 0) {
                    completion(std::nullopt);
                    return;
                }
                const bool sound = shared->content.defaultSound && (options & notification::kPresentSound) != 0;
                notify(std::move(*shared), sound, completion);
            });
        });
    });
}

void FreedesktopNotificationCenter::withBodyMarkup(std::function<void(bool)> then)
{
    if (m_bodyMarkup) {
        then(*m_bodyMarkup);
        return;
    }
    // One question in flight; whoever comes meanwhile waits for its answer.
    m_markupWaiters.push_back(std::move(then));
    if (m_markupWaiters.size() > 1)
        return;
    auto call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    onReply<QStringList>(m_bus.asyncCall(call, static_cast<int>(kTimeout.count())), this,
        [this, server = m_server](const QDBusPendingReply<QStringList>& reply) {
            // Without an answer, escape: a markup server must not read a device's name as markup.
            const bool markup = reply.isError() || reply.value().contains(QStringLiteral("body-markup"));
            if (!reply.isError() && server == m_server)
                m_bodyMarkup = markup;
            for (auto& waiter : std::exchange(m_markupWaiters, {}))
                waiter(markup);
        });
}

void FreedesktopNotificationCenter::notify(
    NotificationRequest request, bool sound, std::function<void(std::optional<NotificationError>)> done)
{
    if (!m_bus.isConnected()) {
        done(noBus());
        return;
    }
    withBodyMarkup([this, request = std::move(request), sound, done = std::move(done)](bool markup) mutable {
        QStringList actions;
        {
            std::lock_guard lock(m_mutex);
            auto category = m_categories.find(request.content.categoryIdentifier);
            if (category != m_categories.end()) {
                for (const auto& action : category->second)
                    actions << q(action.identifier) << q(action.title);
            }
        }

        QVariantMap hints;
        hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kUrgencyNormal));
        hints.insert(QStringLiteral("desktop-entry"), kDesktopEntry);
        hints.insert(QStringLiteral("category"), QStringLiteral("device"));
        if (sound)
            hints.insert(QStringLiteral("sound-name"), kDefaultSoundName);
        else
            hints.insert(QStringLiteral("suppress-sound"), true);

        auto body = request.content.body;
        if (!request.content.subtitle.empty())
            body = request.content.subtitle + "\n" + body;
        auto call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
        call << kApplicationName << uint {0} << m_icon << q(request.content.title)
             << q(markup ? escapeMarkup(body) : body) << actions << hints << int {-1};
        onReply<uint>(m_bus.asyncCall(call, static_cast<int>(kTimeout.count())), this,
            [this, request = std::move(request), done = std::move(done)](const QDBusPendingReply<uint>& reply) mutable {
                if (reply.isError()) {
                    done(errorFrom(reply.error()));
                    return;
                }
                m_delivered[reply.value()] = std::move(request);
                done(std::nullopt);
            });
    });
}

void FreedesktopNotificationCenter::answer(uint id, const std::string& actionIdentifier)
{
    auto found = m_delivered.find(id);
    auto* receiver = delegate();
    if (found == m_delivered.end() || receiver == nullptr)
        return;
    receiver->didReceive(NotificationResponse {actionIdentifier, found->second}, [] {});
}

void FreedesktopNotificationCenter::onActionInvoked(uint id, const QString& actionKey)
{
    // Servers close a notification after an action, often as "dismissed":
    // that close is not a second answer.
    if (m_delivered.contains(id))
        m_answered.insert(id);
    answer(id, actionKey.toStdString());
}

void FreedesktopNotificationCenter::onNotificationClosed(uint id, uint reason)
{
    if (reason == kClosedByUser && !m_answered.contains(id))
        answer(id, notification::kDismissActionIdentifier);
    m_delivered.erase(id);
    m_answered.erase(id);
}

void FreedesktopNotificationCenter::onServerOwnerChanged()
{
    // A new server knows nothing of the old one's notifications or ids.
    m_delivered.clear();
    m_answered.clear();
    m_bodyMarkup.reset();
    m_serverAnswered = false;
    ++m_server;
}

} // namespace corvane
