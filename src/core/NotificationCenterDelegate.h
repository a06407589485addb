#pragma once

#include "core/NotificationCenter.h"

#include <cstdint>
#include <functional>

namespace corvane {

class Calendar;
class Executor;
class SettingsStore;

// Answers the notification service: every notification is presented in full
// while Corvane is active, and the user's remind or never answer becomes the
// device's reminder date in the settings. The work runs on `background`,
// never on the caller's thread; each completion is called once, whatever the
// outcome. Keeps no state of its own.
class NotificationCenterDelegate final : public UserNotificationCenterDelegate {
public:
    // Sound, list and banner.
    static constexpr std::uint32_t kPresentationOptions
        = notification::kPresentSound | notification::kPresentList | notification::kPresentBanner;

    NotificationCenterDelegate(SettingsStore& settings, const Calendar& calendar, Executor& background);

    void willPresent(const NotificationRequest& notification, std::function<void(std::uint32_t)> completion) override;
    void didReceive(const NotificationResponse& response, std::function<void()> completion) override;

    // The answer's effect on the store, done in place; for the background job.
    static void handleResponse(const NotificationResponse& response, SettingsStore& settings, const Calendar& calendar);

private:
    SettingsStore& m_settings;
    const Calendar& m_calendar;
    Executor& m_background;
};

} // namespace corvane
