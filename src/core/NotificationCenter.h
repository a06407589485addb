#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct NotificationAction {
    std::string identifier;
    std::string title;
};

struct NotificationCategory {
    std::string identifier;
    std::vector<NotificationAction> actions;
};

struct NotificationContent {
    std::string title;
    std::string subtitle;
    std::string body;
    std::map<std::string, std::string> userInfo;
    bool defaultSound = false;
    std::string categoryIdentifier;
};

// A notification as posted, and as found among the delivered ones.
struct NotificationRequest {
    std::string identifier;
    NotificationContent content;
};

struct NotificationError {
    std::string description;
};

// The user's answer to a notification: the action chosen, with the
// notification that was answered.
struct NotificationResponse {
    std::string actionIdentifier;
    NotificationRequest request;
};

namespace notification {
inline constexpr std::uint32_t kOptionSound = 2;
inline constexpr std::uint32_t kOptionAlert = 4;
inline constexpr std::uint32_t kPresentSound = 2;
inline constexpr std::uint32_t kPresentList = 8;
inline constexpr std::uint32_t kPresentBanner = 16;
inline constexpr std::int64_t kAuthorized = 2;
inline constexpr std::int64_t kDenied = 1;
// Action identifiers that the service itself reports.
inline constexpr const char* kDefaultActionIdentifier = "default";
inline constexpr const char* kDismissActionIdentifier = "dismiss";
} // namespace notification

// Receives the service's two callbacks; installed with `setDelegate`. The
// service may call both on any thread, and each completion must be called once.
class UserNotificationCenterDelegate {
public:
    virtual ~UserNotificationCenterDelegate() = default;
    // A notification is due while the application is active; answer with the
    // presentation options (bits of kPresent*).
    virtual void willPresent(const NotificationRequest& notification, std::function<void(std::uint32_t)> completion)
        = 0;
    // The user answered a notification: clicks and dismissals included.
    virtual void didReceive(const NotificationResponse& response, std::function<void()> completion) = 0;
};

// The desktop's user-notification service. Every operation may be called from
// any thread and returns at once; each completion runs exactly once, on a
// thread of the service's choosing, also when the service is unreachable.
class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;

    // Does not take ownership; the delegate must outlive the center's use of it.
    virtual void setDelegate(UserNotificationCenterDelegate* delegate) = 0;

    // Asks for permission with the given option bits (kOption*). An earlier
    // decision is answered without asking again.
    virtual void requestAuthorization(
        std::uint32_t options, std::function<void(bool granted, std::optional<NotificationError>)> completion)
        = 0;

    // Replaces all categories; notifications of a category offer its actions in order.
    virtual void setNotificationCategories(std::vector<NotificationCategory> categories) = 0;

    // The authorization status now: kAuthorized when notifications can be posted.
    virtual void getAuthorizationStatus(std::function<void(std::int64_t)> completion) = 0;

    // This process's notifications that are still shown, with their content as posted.
    virtual void getDeliveredNotifications(std::function<void(std::vector<NotificationRequest>)> completion) = 0;

    // Delivers at once, beside earlier ones with other identifiers.
    virtual void add(NotificationRequest request, std::function<void(std::optional<NotificationError>)> completion) = 0;
};

} // namespace corvane
