#include "core/CorvaneViewModel.h"

#include "core/Activation.h"
#include "core/AlertPolicy.h"
#include "core/Application.h"
#include "core/Calendar.h"
#include "core/HistoryStore.h"
#include "core/IORegParser.h"
#include "core/Keyboard.h"
#include "core/NotificationCenter.h"
#include "core/Registry.h"
#include "core/SystemEvents.h"
#include "core/Texts.h"
#include "core/runtime/Async.h"

#include <utility>

namespace corvane {

namespace {

constexpr const char* kQuitKey = "Quit";
constexpr const char* kAccessDeniedKey = "Notification access denied";
constexpr std::string_view kPlaceholder = "%1";
constexpr std::chrono::milliseconds kRegistryChangeDelay {250};

// The message format with its one placeholder filled in; a format without a
// placeholder is used as it stands.
std::string formatMessage(std::string format, const std::string& argument)
{
    auto at = format.find(kPlaceholder);
    if (at != std::string::npos)
        format.replace(at, kPlaceholder.size(), argument);
    return format;
}

struct Pressed { };

} // namespace

std::shared_ptr<CorvaneViewModel> CorvaneViewModel::create(const Platform& platform)
{
    auto viewModel = std::make_shared<CorvaneViewModel>(PassKey {}, platform);
    viewModel->runStartUpSteps();
    return viewModel;
}

CorvaneViewModel::CorvaneViewModel(PassKey, const Platform& platform)
    : m_platform(platform)
    , m_interval(platform.settings, settings::kInterval, SafeTimer::kDefaultInterval.count())
    , m_threshold(platform.settings, settings::kThreshold, settings::kDefaultThreshold)
    , m_showMenuBar(platform.settings, settings::kShowMenuBar, settings::kDefaultShowMenuBar)
    , m_safeTimer(platform.clock, platform.main)
    , m_notifier(platform.notifications, platform.main, platform.texts)
    , m_notificationCenterDelegate(platform.settings, platform.calendar, platform.background)
    , m_registryChanges(platform.clock, platform.main, kRegistryChangeDelay, [this] { return updateDevices(); })
    , m_alertPass(platform.main)
{
}

CorvaneViewModel::~CorvaneViewModel() = default;

void CorvaneViewModel::runStartUpSteps()
{
    // The handlers hold the view model weakly: an event after it is gone does nothing.
    std::weak_ptr<CorvaneViewModel> weak = weak_from_this();
    Executor& main = m_platform.main;

    m_subscriptions.push_back(m_platform.events.onWillSleep([weak, &main] {
        if (auto self = weak.lock())
            spawn(main, [self]() -> Task<void> { co_await self->m_safeTimer.stop(self->m_platform.main); });
    }));
    m_subscriptions.push_back(m_platform.events.onDidWake([weak, &main] {
        spawn(main, [weak]() -> Task<void> {
            if (auto self = weak.lock())
                co_await self->startMonitoring();
        });
    }));
    m_subscriptions.push_back(m_platform.registry.observeChanges([weak] {
        if (auto self = weak.lock())
            self->m_registryChanges.changed();
    }));
    // A new threshold changes which devices are low: the same refresh and
    // alert pass, at once. The store may tell from any thread.
    m_subscriptions.push_back(m_platform.settings.observe(settings::kThreshold, [weak, &main] {
        main.post([weak] {
            if (auto self = weak.lock())
                self->m_registryChanges.changed();
        });
    }));
    // Activation with Alt held brings back a hidden tray item.
    m_subscriptions.push_back(m_platform.activation.onActivate([weak, &keyboard = m_platform.keyboard] {
        if (!keyboard.isOptionKeyHeld())
            return;
        if (auto self = weak.lock())
            self->m_showMenuBar.set(true);
    }));

    m_platform.notifications.setDelegate(&m_notificationCenterDelegate);
    m_notifier.requestAuthorization([weak](bool granted, std::optional<NotificationError> error) {
        if (auto self = weak.lock())
            self->onPermission(granted, std::move(error));
    });
}

void CorvaneViewModel::onPermission(bool granted, std::optional<NotificationError> error)
{
    auto self = shared_from_this();
    if (error) {
        spawn(m_platform.main,
            [self, message = error->description]() -> Task<void> { co_await self->quitWithAlert(message); });
    } else if (granted) {
        spawn(m_platform.main, [self]() -> Task<void> { co_await self->startMonitoring(); });
    } else {
        spawn(m_platform.main, [self]() -> Task<void> {
            co_await self->quitWithAlert(self->m_platform.texts.localized(kAccessDeniedKey));
        });
    }
}

Task<void> CorvaneViewModel::quitWithAlert(std::string message)
{
    std::function<void(Completion<Pressed>)> showAlert = [this, message](Completion<Pressed> pressed) {
        m_platform.application.showAlert(
            message, m_platform.texts.localized(kQuitKey), [pressed] { pressed(Pressed {}); });
    };
    co_await awaitCompletion<Pressed>(m_platform.main, std::move(showAlert));
    m_platform.application.terminate();
}

Subscription CorvaneViewModel::observeDevices(std::function<void()> changed)
{
    return m_deviceObservers.subscribe(std::move(changed));
}

void CorvaneViewModel::publish(std::vector<Device> devices)
{
    // Queued for the store's own worker: the main thread never waits for the disk.
    m_platform.history.record(readingsOf(devices, m_platform.calendar.now()), nullptr);
    m_devices = std::move(devices);
    // Told after the list changed, also when it is the same.
    m_deviceObservers.notify();
}

Task<void> CorvaneViewModel::updateDevices()
{
    // Keeps the view model alive until the refresh ends, even if every owner lets go.
    auto self = shared_from_this();
    Executor& main = m_platform.main;

    // Each refresh has its own reader, so two refreshes never share a list.
    auto reader = std::make_unique<IORegParser>(m_platform.registry, m_platform.settings, m_platform.reader);
    co_await reader->readDevices(RegistryKey::appleDeviceManagementHIDEventService, main);
    co_await reader->readDevices(RegistryKey::bnbMouseDevice, main);
    auto devices = co_await reader->devices(main);
    reader.reset();

    publish(devices);
    co_await checkLowBatteries(std::move(devices));
}

Task<void> CorvaneViewModel::checkLowBatteries(std::vector<Device> devices)
{
    auto self = shared_from_this();
    // One pass at a time, so overlapping refreshes never warn twice about one device.
    auto guard = co_await m_alertPass.lock();
    SettingsStore& store = m_platform.settings;

    for (const auto& device : devices) {
        const auto& serial = device.serialNumber;
        const auto stored = store.value(serial);
        auto decision = decideAlert(device, stored, std::nullopt, m_platform.calendar);
        if (decision == AlertDecision::askWhetherShown) {
            const bool shown = co_await isNotificationDelivered(serial);
            decision = decideAlert(device, stored, shown, m_platform.calendar);
        }
        if (decision == AlertDecision::forget)
            store.remove(serial);
        // Only a notification that was shown counts as a warning; otherwise a
        // later pass tries again.
        if (decision == AlertDecision::warn && co_await postLowBatteryNotification(device, device.status.percent))
            store.setValue(serial, kDistantFuture);
    }
}

Task<bool> CorvaneViewModel::isNotificationDelivered(std::string serialNumber)
{
    using Delivered = std::vector<NotificationRequest>;
    std::function<void(Completion<Delivered>)> ask
        = [this](Completion<Delivered> done) { m_platform.notifications.getDeliveredNotifications(std::move(done)); };
    auto delivered = co_await awaitCompletion<Delivered>(m_platform.main, std::move(ask));
    for (const auto& notification : delivered) {
        const auto& userInfo = notification.content.userInfo;
        auto device = userInfo.find(notification::kDeviceKey);
        if (device != userInfo.end() && device->second == serialNumber)
            co_return true;
    }
    co_return false;
}

Task<bool> CorvaneViewModel::postLowBatteryNotification(Device device, std::int64_t level)
{
    auto body = formatMessage(
        m_platform.texts.localized(notification::kLowBatteryMessageKey), m_platform.texts.percent(level));
    auto request = m_notifier.lowBatteryRequest(device, std::move(body));
    if (co_await m_notifier.authorizationStatus() != notification::kAuthorized)
        co_return false;

    using Reply = std::optional<NotificationError>;
    std::function<void(Completion<Reply>)> post = [this, request = std::move(request)](Completion<Reply> done) {
        m_platform.notifications.add(request, std::move(done));
    };
    auto error = co_await awaitCompletion<Reply>(m_platform.main, std::move(post));
    co_return !error.has_value();
}

Task<void> CorvaneViewModel::startMonitoring()
{
    auto self = shared_from_this();
    co_await updateDevices();
    const std::chrono::seconds interval {m_interval.get()};
    // The operation holds the view model and only schedules a refresh on the main thread.
    std::function<void()> operation
        = [self, &main = m_platform.main] { spawn(main, [self]() -> Task<void> { co_await self->updateDevices(); }); };
    co_await m_safeTimer.start(interval, std::move(operation), m_platform.main);
}

} // namespace corvane
