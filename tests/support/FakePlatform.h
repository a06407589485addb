#pragma once

#include "core/Application.h"
#include "core/Calendar.h"
#include "core/CorvaneViewModel.h"
#include "core/Keyboard.h"
#include "core/NotificationCenter.h"
#include "core/Registry.h"
#include "core/SystemEvents.h"
#include "core/Texts.h"
#include "support/InMemorySettingsStore.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace corvane::test {

using Properties = std::map<std::string, RegistryValue>;

// A registry of hand-made entries per service class. Counts what readers
// obtained and released, so tests can see that nothing leaks.
class FakeRegistry final : public Registry {
public:
    void setEntries(const std::string& className, std::vector<Properties> entries);
    void failMatching(const std::string& className);
    std::unique_ptr<RegistrySession> openSession() override;

    int sessionsOpened() const { return m_sessionsOpened; }
    int objectsAlive() const { return m_objectsAlive; }

private:
    friend class FakeRegistrySession;
    mutable std::mutex m_mutex;
    std::map<std::string, std::vector<Properties>> m_entries;
    std::set<std::string> m_failing;
    std::atomic<int> m_sessionsOpened {0};
    std::atomic<int> m_objectsAlive {0};
};

// The notification service as a test double: answers at once on the caller's
// thread unless a reply is held back, and records everything asked of it.
class FakeNotificationCenter final : public NotificationCenter {
public:
    void setDelegate(UserNotificationCenterDelegate* delegate) override;
    void requestAuthorization(
        std::uint32_t options, std::function<void(bool, std::optional<NotificationError>)> completion) override;
    void setNotificationCategories(std::vector<NotificationCategory> categories) override;
    void getAuthorizationStatus(std::function<void(std::int64_t)> completion) override;
    void getDeliveredNotifications(std::function<void(std::vector<NotificationRequest>)> completion) override;
    void add(NotificationRequest request, std::function<void(std::optional<NotificationError>)> completion) override;

    // How the permission request is answered; `holdPermission` keeps the reply
    // until `answerPermission`.
    bool grant = true;
    std::optional<NotificationError> permissionError;
    bool holdPermission = false;
    void answerPermission();

    std::int64_t status = notification::kAuthorized;
    std::optional<NotificationError> addError;

    // Notifications still shown; `add` puts accepted ones here.
    std::vector<NotificationRequest> delivered;
    void dismissAll() { delivered.clear(); }

    std::vector<NotificationRequest> posted;
    std::vector<std::vector<NotificationCategory>> categoryRegistrations;
    std::vector<std::uint32_t> authorizationOptions;
    int deliveredQueries = 0;
    UserNotificationCenterDelegate* delegate = nullptr;
    // Events in the order they happened, for ordering checks.
    std::vector<std::string> log;

private:
    std::function<void(bool, std::optional<NotificationError>)> m_heldPermission;
};

class FakeSystemEvents final : public SystemEvents {
public:
    Subscription onWillSleep(std::function<void()> handler) override { return add(m_sleep, std::move(handler)); }
    Subscription onDidWake(std::function<void()> handler) override { return add(m_wake, std::move(handler)); }
    Subscription onDidBecomeActive(std::function<void()> handler) override { return add(m_active, std::move(handler)); }

    void willSleep() { emit(m_sleep); }
    void didWake() { emit(m_wake); }
    void didBecomeActive() { emit(m_active); }
    std::size_t subscriberCount() const { return m_sleep.size() + m_wake.size() + m_active.size(); }

private:
    using Handlers = std::map<std::uint64_t, std::function<void()>>;
    Subscription add(Handlers& handlers, std::function<void()> handler);
    static void emit(const Handlers& handlers);
    Handlers m_sleep, m_wake, m_active;
    std::uint64_t m_nextId = 1;
};

class FakeKeyboard final : public Keyboard {
public:
    bool isOptionKeyHeld() const override { return optionHeld; }
    bool optionHeld = false;
};

class FakeApplication final : public Application {
public:
    struct Alert {
        std::string message;
        std::string buttonTitle;
        std::function<void()> pressed;
    };
    void showAlert(const std::string& message, const std::string& buttonTitle, std::function<void()> pressed) override;
    void terminate() override { ++terminations; }

    // Presses the button of the oldest alert still shown.
    void pressButton();

    std::vector<Alert> alerts;
    std::size_t alertsAnswered = 0;
    int terminations = 0;
};

// A calendar in a zone whose UTC offset changes at given instants, so that
// tests can cross a daylight-saving change. Starts as UTC.
class FakeCalendar final : public Calendar {
public:
    Date now() const override { return m_now; }
    bool isDateInToday(Date date) const override;
    std::optional<Date> sameTimeNextDay(Date date) const override;

    void setNow(Date now) { m_now = now; }
    // From `from` on (UTC), local time is UTC + `offset`.
    void addOffsetChange(Date from, std::chrono::minutes offset) { m_offsets[from] = offset; }
    bool failNextDay = false;

    std::chrono::minutes offsetAt(Date utc) const;
    std::chrono::local_days localDay(Date utc) const;

private:
    Date m_now {std::chrono::sys_days {std::chrono::year {2026} / 6 / 15} + std::chrono::hours(12)};
    std::map<Date, std::chrono::minutes> m_offsets;
};

// Texts from a small table; percentages as "<n>%".
class FakeTexts final : public Texts {
public:
    std::string localized(const std::string& key) const override;
    std::string percent(std::int64_t value) const override { return std::to_string(value) + "%"; }
    std::map<std::string, std::string> table {{"LOW_BATTERY_MSG", "Battery is low: %1"},
        {"REMIND_ME", "Remind me tomorrow"}, {"REMIND_NEVER", "Never remind me"}, {"Quit", "Quit"},
        {"Notification access denied", "Notification access denied"}};
};

// Every fake, wired as the view model's platform; `main` is run by hand.
struct FakePlatform {
    ManualExecutor main;
    ManualExecutor background;
    ManualClock clock;
    FakeRegistry registry;
    InMemorySettingsStore settings;
    FakeNotificationCenter notifications;
    FakeSystemEvents events;
    FakeKeyboard keyboard;
    FakeApplication application;
    FakeCalendar calendar;
    FakeTexts texts;

    Platform platform()
    {
        return Platform {
            main, background, clock, registry, settings, notifications, events, keyboard, application, calendar, texts};
    }
};

// Registry entries as the two service classes report them.
Properties keyboardEntry(
    const std::string& name, const std::string& serial, std::int64_t percent, std::int64_t flags = 0);
Properties mouseEntry(const std::string& name, const std::string& serial, std::int64_t percent, bool batteryLow);

} // namespace corvane::test
