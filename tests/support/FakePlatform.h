#pragma once

#include "core/Activation.h"
#include "core/Application.h"
#include "core/Calendar.h"
#include "core/CorvaneViewModel.h"
#include "core/HistoryStore.h"
#include "core/Keyboard.h"
#include "core/LoginItem.h"
#include "core/Registry.h"
#include "core/SystemEvents.h"
#include "core/Texts.h"
#include "core/runtime/ObserverRegistry.h"
#include "core/runtime/ThreadPoolExecutor.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <stdexcept>

namespace corvane::test {

using Job = std::function<void()>;
template <typename... Arguments> using Reply = std::function<void(Arguments...)>;

// The main thread's executor in tests: jobs wait until the test runs them, so
// interleavings are the test's to choose. `post` is safe from any thread.
class ManualExecutor final : public Executor {
public:
    void post(Job job) override
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        m_posted.notify_all();
    }
    // Runs jobs, also those that come from other threads meanwhile, until
    // `done` holds; false when it still does not after `limit`.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            std::unique_lock lock(m_mutex);
            if (m_jobs.empty()) {
                lock.unlock();
                if (!done || done())
                    return true;
                lock.lock();
                if (!m_posted.wait_until(lock, deadline, [this] { return !m_jobs.empty(); }))
                    break;
            }
            auto job = std::move(m_jobs.front()); // run, and destroyed, outside the lock: either may post
            m_jobs.pop_front();
            lock.unlock();
            job();
        }
        return done();
    }
    // Runs queued jobs, and the jobs they queue, until none is left.
    void runAll() { runUntil(nullptr); }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<Job> m_jobs;
};

// Runs the main executor until `task` ends (serialised objects may answer
// from their own threads meanwhile) and returns its result.
template <typename T> T finish(ManualExecutor& main, Task<T>&& task)
{
    if (!main.runUntil([&] { return task.isDone(); }))
        throw std::runtime_error("task did not finish");
    return task.await_resume();
}

// A clock that stands still until the test advances it; then the calls that
// fall due fire on the test's thread in deadline order (equal deadlines in the
// order they were made). Calls may be made and cancelled from any thread.
class ManualClock final : public Clock {
public:
    TimePoint now() const override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    CallId callAt(TimePoint deadline, Job fire) override
    {
        std::lock_guard lock(m_mutex);
        m_calls.emplace(std::make_pair(deadline, m_nextId), std::move(fire));
        return m_nextId++;
    }
    bool cancel(CallId id) override
    {
        std::lock_guard lock(m_mutex);
        return std::erase_if(m_calls, [id](const auto& call) { return call.first.second == id; }) != 0;
    }

    // Moves time on by `duration`, firing each call that falls due on the way
    // at its own deadline; returns how many fired.
    int advance(std::chrono::nanoseconds duration)
    {
        std::unique_lock lock(m_mutex);
        const TimePoint target = m_now + duration;
        int fired = 0;
        while (!m_calls.empty() && m_calls.begin()->first.first <= target) {
            auto call = m_calls.extract(m_calls.begin());
            m_now = std::max(m_now, call.key().first);
            lock.unlock(); // the call may make or cancel calls
            call.mapped()();
            ++fired;
            lock.lock();
        }
        m_now = target;
        return fired;
    }
    std::size_t pending() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls.size();
    }

private:
    mutable std::mutex m_mutex;
    TimePoint m_now {};
    std::map<std::pair<TimePoint, CallId>, Job> m_calls;
    CallId m_nextId = 1;
};

// Settings in memory; observers are told of each write and removal on the writing thread.
class InMemorySettingsStore final : public SettingsStore {
public:
    SettingValue value(const std::string& key) const override
    {
        std::lock_guard lock(m_mutex);
        return m_values.contains(key) ? m_values.at(key) : SettingValue {};
    }
    void setValue(const std::string& key, SettingValue value) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_values[key] = std::move(value);
        }
        m_observers.notify(key);
    }
    void remove(const std::string& key) override { setValue(key, {}); } // an empty value reads as none
    Subscription observe(const std::string& key, Job changed) override
    {
        return m_observers.subscribe(key, std::move(changed));
    }

private:
    mutable std::mutex m_mutex;
    std::map<std::string, SettingValue> m_values;
    ObserverRegistry<std::string> m_observers;
};

using Properties = std::map<std::string, RegistryValue>;

// Hand-made entries per service class.
class FakeRegistry final : public Registry {
public:
    void setEntries(const std::string& className, std::vector<Properties> entries)
    {
        std::lock_guard lock(m_mutex);
        m_entries[className] = std::move(entries);
    }
    std::unique_ptr<RegistrySession> openSession() override { return std::make_unique<Handle>(*this); }
    Subscription observeChanges(Job) override { return {}; } // never reports one

private:
    // Plays every handle the registry hands out: session, iterator over a class's entries, entry.
    struct Handle final : RegistrySession, RegistryIterator, RegistryEntry {
        Handle(FakeRegistry& from, std::vector<Properties> classEntries = {}, Properties ownProperties = {})
            : registry(from)
            , entries(std::move(classEntries))
            , properties(std::move(ownProperties))
        {
        }
        std::unique_ptr<RegistryIterator> matchingServices(std::string_view className) override
        {
            std::lock_guard lock(registry.m_mutex);
            return std::make_unique<Handle>(registry, registry.m_entries[std::string(className)]);
        }
        std::unique_ptr<RegistryEntry> next() override
        {
            if (read == entries.size())
                return nullptr;
            return std::make_unique<Handle>(registry, std::vector<Properties> {}, entries[read++]);
        }
        RegistryValue property(std::string_view key) const override
        {
            return properties.contains(std::string(key)) ? properties.at(std::string(key)) : RegistryValue {};
        }
        FakeRegistry& registry;
        std::vector<Properties> entries;
        std::size_t read = 0; // entries handed out so far
        Properties properties;
    };

    std::mutex m_mutex;
    std::map<std::string, std::vector<Properties>> m_entries;
};

// Answers on the caller's thread, the permission request with a grant unless
// `holdPermission` is set, and records what it posted and what is still shown.
struct FakeNotificationCenter final : NotificationCenter {
    void setDelegate(UserNotificationCenterDelegate*) override { }
    void requestAuthorization(std::uint32_t, Reply<bool, std::optional<NotificationError>> completion) override
    {
        if (holdPermission)
            heldPermission = std::move(completion);
        else
            completion(true, std::nullopt);
    }
    void setNotificationCategories(std::vector<NotificationCategory> given) override { categories = std::move(given); }
    void getAuthorizationStatus(Reply<std::int64_t> completion) override { completion(status); }
    void getDeliveredNotifications(Reply<std::vector<NotificationRequest>> done) override { done(delivered); }
    void add(NotificationRequest request, Reply<std::optional<NotificationError>> completion) override
    {
        if (!addError) {
            posted.push_back(request);
            delivered.push_back(std::move(request));
        }
        completion(addError);
    }

    bool holdPermission = false;
    Reply<bool, std::optional<NotificationError>> heldPermission;
    std::int64_t status = notification::kAuthorized;
    std::optional<NotificationError> addError;
    std::vector<NotificationRequest> delivered, posted; // still shown; every one posted
    std::vector<NotificationCategory> categories;
};

// Handlers of one kind of event, fired when the test says so.
struct FakeEvent : ObserverRegistry<> {
    void fire() { notify(); }
};

struct FakeSystemEvents final : SystemEvents {
    Subscription onWillSleep(Job handler) override { return willSleep.subscribe(std::move(handler)); }
    Subscription onDidWake(Job handler) override { return didWake.subscribe(std::move(handler)); }
    FakeEvent willSleep, didWake;
};

struct FakeActivation final : Activation {
    Subscription onActivate(Job handler) override { return activated.subscribe(std::move(handler)); }
    FakeEvent activated;
};

struct FakeKeyboard final : Keyboard {
    bool isOptionKeyHeld() const override { return optionKeyHeld; }
    bool optionKeyHeld = false;
};

struct FakeLoginItem final : LoginItem {
    bool isEnabled() const override { return enabled; }
    bool setEnabled(bool value) override
    {
        if (!failWrites)
            enabled = value;
        return !failWrites;
    }
    bool enabled = false;
    bool failWrites = false;
};

struct FakeApplication final : Application {
    // Records the alert and presses its one button at once.
    void showAlert(const std::string& message, const std::string& button, Job pressed) override
    {
        alerts.push_back(message + " [" + button + "]");
        pressed();
    }
    void terminate() override { ++terminations; }
    std::vector<std::string> alerts;
    int terminations = 0;
};

// A calendar in UTC whose next day is 24 hours on.
struct FakeCalendar final : Calendar {
    using Days = std::chrono::days;
    Date now() const override { return current; }
    bool isDateInToday(Date date) const override { return floor<Days>(date) == floor<Days>(current); }
    std::optional<Date> sameTimeNextDay(Date date) const override { return date + Days(1); }

    Date current {std::chrono::sys_days {std::chrono::year {2026} / 6 / 15} + std::chrono::hours(12)};
};

// Texts from a table (a missing key reads as itself); percentages as "<n>%".
struct FakeTexts final : Texts {
    std::string localized(const std::string& key) const override { return table.contains(key) ? table.at(key) : key; }
    std::string percent(std::int64_t value) const override { return std::to_string(value) + "%"; }
    std::string dateTime(Date when) const override { return std::to_string(when.time_since_epoch().count()); }
    std::map<std::string, std::string> table {{"LOW_BATTERY_MSG", "Battery is low: %1"}};
};

// The history in memory: every reading recorded is kept, in order; each
// completion runs at once on the caller's thread. Tests call it from their own
// thread only.
struct InMemoryHistoryStore final : HistoryStore {
    void record(std::vector<BatteryReading> readings, Reply<bool> done) override
    {
        stored.insert(stored.end(), readings.begin(), readings.end());
        if (done)
            done(true);
    }
    void readingsSince(const std::string& serialNumber, Date since, Reply<std::vector<BatteryReading>> done) override
    {
        auto found = stored;
        std::erase_if(
            found, [&](const auto& reading) { return reading.serialNumber != serialNumber || reading.time < since; });
        done(std::move(found));
    }
    void clear(Reply<bool> done) override
    {
        stored.clear();
        done(true);
    }
    std::vector<BatteryReading> stored;
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
    FakeActivation activation;
    FakeKeyboard keyboard;
    FakeApplication application;
    FakeLoginItem loginItem;
    FakeCalendar calendar;
    FakeTexts texts;
    InMemoryHistoryStore history;
    // Last, so that it is joined first: its jobs use the fakes above.
    SerialExecutor reader;

    Platform platform() { return with(registry); }
    // The platform with a registry, and maybe a clock or texts, of the test's own.
    Platform with(Registry& ownRegistry, Clock* ownClock = nullptr, Texts* ownTexts = nullptr)
    {
        return {main, background, reader, ownClock ? *ownClock : clock, ownRegistry, settings, notifications, events,
            activation, keyboard, application, loginItem, calendar, ownTexts ? *ownTexts : texts, history};
    }
};

// Registry entries as the two service classes report them.
inline Properties keyboardEntry(
    const std::string& name, const std::string& serial, std::int64_t percent, std::int64_t flags = 0)
{
    return {{"Product", name}, {"SerialNumber", serial}, {"BatteryPercent", percent}, {"BatteryStatusFlags", flags}};
}
inline Properties mouseEntry(const std::string& name, const std::string& serial, std::int64_t percent, bool batteryLow)
{
    return {{"Product", name}, {"SerialNumber", serial}, {"BatteryPercent", percent},
        {"HIDDefaultBehavior", std::string("Mouse")}, {"BatteryLow", batteryLow}};
}

} // namespace corvane::test
