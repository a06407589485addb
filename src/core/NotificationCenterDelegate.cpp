#include "core/NotificationCenterDelegate.h"

#include "core/Calendar.h"
#include "core/Notifier.h"
#include "core/SettingsStore.h"
#include "core/runtime/Executor.h"

namespace corvane {

NotificationCenterDelegate::NotificationCenterDelegate(
    SettingsStore& settings, const Calendar& calendar, Executor& background)
    : m_settings(settings)
    , m_calendar(calendar)
    , m_background(background)
{
}

void NotificationCenterDelegate::willPresent(const NotificationRequest&, std::function<void(std::uint32_t)> completion)
{
    m_background.post([completion = std::move(completion)] { completion(kPresentationOptions); });
}

void NotificationCenterDelegate::didReceive(const NotificationResponse& response, std::function<void()> completion)
{
    // The job holds what it needs by value and the long-lived store and
    // calendar by reference; it touches nothing of the view model.
    m_background.post([response, completion = std::move(completion), &settings = m_settings, &calendar = m_calendar] {
        handleResponse(response, settings, calendar);
        completion();
    });
}

void NotificationCenterDelegate::handleResponse(
    const NotificationResponse& response, SettingsStore& settings, const Calendar& calendar)
{
    const auto& userInfo = response.request.content.userInfo;
    auto device = userInfo.find(notification::kDeviceKey);
    if (device == userInfo.end())
        return;
    const std::string& serialNumber = device->second;
    if (serialNumber.empty())
        return;

    if (response.actionIdentifier == notification::kRemindAction) {
        if (auto tomorrow = calendar.sameTimeNextDay(calendar.now()))
            settings.setValue(serialNumber, *tomorrow);
        else
            // Better no date than an older one that would keep the device quiet.
            settings.remove(serialNumber);
    } else if (response.actionIdentifier == notification::kNeverAction) {
        settings.setValue(serialNumber, kDistantFuture);
    }
}

} // namespace corvane
