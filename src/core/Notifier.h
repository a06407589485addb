#pragma once

#include "core/Device.h"
#include "core/NotificationCenter.h"
#include "core/runtime/Executor.h"
#include "core/runtime/Task.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>

namespace corvane {

class Texts;

// The vocabulary that travels through the notification service.
namespace notification {
inline constexpr const char* kCategoryIdentifier = "FEEDBACK_CATEGORY";
inline constexpr const char* kRemindAction = "REMIND_ACTION";
inline constexpr const char* kNeverAction = "NEVER_ACTION";
inline constexpr const char* kRemindTitleKey = "REMIND_ME";
inline constexpr const char* kNeverTitleKey = "REMIND_NEVER";
inline constexpr const char* kDeviceKey = "device";
inline constexpr const char* kLowBatteryMessageKey = "LOW_BATTERY_MSG";
} // namespace notification

// The system's front to the notification service: permission, the one
// category with its two actions, the authorization status, and the layout of
// a low-battery notification.
class Notifier {
public:
    Notifier(NotificationCenter& center, Executor& main, const Texts& texts);

    NotificationCenter& center() const { return m_center; }

    // Asks for permission to alert with sound. `completion` runs once on the
    // main thread, after the category has been registered when granted.
    void requestAuthorization(std::function<void(bool granted, std::optional<NotificationError>)> completion);

    // Registers "FEEDBACK_CATEGORY" with its remind and never actions.
    void registerCategories();

    // The authorization status (notification::kAuthorized when allowed);
    // the caller continues on the main thread.
    Task<std::int64_t> authorizationStatus();

    // A low-battery notification for `device` with `body`, under a fresh identifier.
    NotificationRequest lowBatteryRequest(const Device& device, std::string body);

    // A new random identifier: 36 characters, upper-case hexadecimal in
    // groups of 8-4-4-4-12 (a version 4 UUID).
    std::string makeIdentifier();

private:
    NotificationCenter& m_center;
    Executor& m_main;
    const Texts& m_texts;
    std::mutex m_randomMutex;
    std::mt19937_64 m_random;
};

} // namespace corvane
