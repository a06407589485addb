#pragma once

#include "core/Device.h"
#include "core/NotificationCenterDelegate.h"
#include "core/Notifier.h"
#include "core/RefreshCoalescer.h"
#include "core/SafeTimer.h"
#include "core/SettingsStore.h"
#include "core/runtime/AsyncMutex.h"
#include "core/runtime/ObserverRegistry.h"
#include "core/runtime/Subscription.h"
#include "core/runtime/Task.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

class Activation;
class Application;
class Calendar;
class Clock;
class Executor;
class HistoryStore;
class Keyboard;
class LoginItem;
class NotificationCenter;
class Registry;
class SystemEvents;
class Texts;

// The desktop services the view model works through. Every one must outlive
// the view model.
struct Platform {
    Executor& main; // the main thread's event loop
    Executor& background; // where the notification delegate works
    Executor& reader; // a serial worker where the registry is read (its calls may block)
    Clock& clock;
    Registry& registry;
    SettingsStore& settings;
    NotificationCenter& notifications;
    SystemEvents& events;
    Activation& activation;
    Keyboard& keyboard;
    Application& application;
    LoginItem& loginItem; // for the views; the view model does not use it
    const Calendar& calendar;
    const Texts& texts;
    HistoryStore& history; // every refresh's readings go here; the views read it
};

// The one object that holds the application's state and drives its work: the
// settings, the published device list, the refresh, the low-battery alert
// pass and the monitoring lifecycle (permission, timer, sleep and wake).
// Lives on the main thread; every member is called there.
class CorvaneViewModel : public std::enable_shared_from_this<CorvaneViewModel> {
    struct PassKey { };

public:
    // Makes the view model and runs its start-up steps: subscribes to sleep,
    // wake and activation, installs the notification delegate and asks for
    // permission. Nothing in it waits.
    static std::shared_ptr<CorvaneViewModel> create(const Platform& platform);

    CorvaneViewModel(PassKey, const Platform& platform);
    CorvaneViewModel(const CorvaneViewModel&) = delete;
    CorvaneViewModel& operator=(const CorvaneViewModel&) = delete;
    ~CorvaneViewModel();

    IntegerSetting& interval() { return m_interval; }
    IntegerSetting& threshold() { return m_threshold; }
    BooleanSetting& showMenuBar() { return m_showMenuBar; }

    // The latest device reading, in registry order.
    const std::vector<Device>& devices() const { return m_devices; }

    // `changed` runs after every assignment of `devices`, also when the list
    // is unchanged, so it may read `devices` at once.
    Subscription observeDevices(std::function<void()> changed);

    // Reads the registry afresh, publishes the list and runs the alert pass.
    // Runs to its end even when nobody waits for it any more.
    Task<void> updateDevices();

    // Warns about each low device once per low spell. Passes run one at a time.
    Task<void> checkLowBatteries(std::vector<Device> devices);

    // Whether a notification about the device with `serialNumber` is still shown.
    Task<bool> isNotificationDelivered(std::string serialNumber);

    // Posts the low-battery notification when notifications are authorized;
    // true when the notification service accepted it.
    Task<bool> postLowBatteryNotification(Device device, std::int64_t level);

    // Refreshes at once, then starts the timer with the interval stored now
    // (ignored while the timer runs).
    Task<void> startMonitoring();

    Notifier& notifier() { return m_notifier; }
    NotificationCenterDelegate& notificationCenterDelegate() { return m_notificationCenterDelegate; }

private:
    void runStartUpSteps();
    void onPermission(bool granted, std::optional<NotificationError> error);
    Task<void> quitWithAlert(std::string message);
    void publish(std::vector<Device> devices);

    Platform m_platform;
    IntegerSetting m_interval;
    IntegerSetting m_threshold;
    BooleanSetting m_showMenuBar;
    std::vector<Device> m_devices;
    SafeTimer m_safeTimer;
    Notifier m_notifier;
    NotificationCenterDelegate m_notificationCenterDelegate;
    // Refreshes after the registry or the threshold changes, a burst at a time.
    RefreshCoalescer m_registryChanges;
    std::vector<Subscription> m_subscriptions;

    ObserverRegistry<> m_deviceObservers;
    AsyncMutex m_alertPass;
};

} // namespace corvane
