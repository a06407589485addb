#pragma once

#include "core/NotificationCenter.h"
#include "qt/QtMainExecutor.h"

#include <QDBusConnection>
#include <QObject>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QDBusServiceWatcher;
class QString;

namespace corvane {

// The notification service over `org.freedesktop.Notifications` on the
// session bus. Permission is the server answering `GetServerInformation`,
// asked again only once the server's name has changed owner. A category's
// actions travel as action keys with their titles (no "default" action: a
// click on the body does nothing here, and servers that list actions as text
// would show it as a blank entry). "Delivered" is what this process posted and
// the server has not closed since, forgotten when the server's name changes
// owner. The protocol carries no user info, so each notification's content is
// kept here under the id that the server returned.
//
// Every operation may be called from any thread: the work is handed to the
// thread this object lives on (the main thread), and completions and
// delegate calls run there. Each completion runs exactly once, also when the
// bus or the server is missing or does not answer.
class FreedesktopNotificationCenter final : public QObject, public NotificationCenter {
    Q_OBJECT

public:
    // How long the server gets to answer any one call.
    static constexpr std::chrono::milliseconds kTimeout {5000};

    // `applicationIsActive` tells whether a window of Corvane has focus now
    // (the Gui application's state when none is given); while it does, the
    // delegate decides how a notification is presented.
    explicit FreedesktopNotificationCenter(QDBusConnection sessionBus, std::function<bool()> applicationIsActive = {});
    ~FreedesktopNotificationCenter() override;

    // The notifications' icon: a name in the icon theme ("corvane" unless
    // set) or a file:// address. Call before the first notification.
    void setIcon(QString nameOrAddress) { m_icon = std::move(nameOrAddress); }

    void setDelegate(UserNotificationCenterDelegate* delegate) override;
    void requestAuthorization(
        std::uint32_t options, std::function<void(bool granted, std::optional<NotificationError>)> completion) override;
    void setNotificationCategories(std::vector<NotificationCategory> categories) override;
    void getAuthorizationStatus(std::function<void(std::int64_t)> completion) override;
    void getDeliveredNotifications(std::function<void(std::vector<NotificationRequest>)> completion) override;
    void add(NotificationRequest request, std::function<void(std::optional<NotificationError>)> completion) override;

    // Body text fit for a server that reads markup.
    static std::string escapeMarkup(const std::string& text);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);
    void onServerOwnerChanged();

private:
    void askServer(std::function<void(std::optional<NotificationError>)> answered);
    void withBodyMarkup(std::function<void(bool)> then);
    void notify(NotificationRequest request, bool sound, std::function<void(std::optional<NotificationError>)> done);
    void answer(uint id, const std::string& actionIdentifier);
    UserNotificationCenterDelegate* delegate() const;

    QDBusConnection m_bus;
    QString m_icon = QStringLiteral("corvane");
    // Requests come from any thread and are served on this object's.
    QtMainExecutor m_thisThread {this};
    std::function<bool()> m_applicationIsActive;
    QDBusServiceWatcher* m_serverWatcher = nullptr;

    mutable std::mutex m_mutex; // guards the two members below, set from any thread
    UserNotificationCenterDelegate* m_delegate = nullptr;
    std::map<std::string, std::vector<NotificationAction>> m_categories;

    // Main thread only.
    std::map<uint, NotificationRequest> m_delivered;
    std::set<uint> m_answered;
    std::optional<bool> m_bodyMarkup;
    std::vector<std::function<void(bool)>> m_markupWaiters; // while GetCapabilities is in flight
    bool m_serverAnswered = false; // the server now on the bus answered GetServerInformation
    unsigned m_server = 0; // counts the servers seen, so that a gone one's late answers are not kept
};

} // namespace corvane
