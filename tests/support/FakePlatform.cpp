#include "support/FakePlatform.h"

#include <utility>

namespace corvane::test {

namespace {

class FakeEntry final : public RegistryEntry {
public:
    FakeEntry(Properties properties, std::atomic<int>& alive)
        : m_properties(std::move(properties))
        , m_alive(alive)
    {
        ++m_alive;
    }
    ~FakeEntry() override { --m_alive; }
    FakeEntry(const FakeEntry&) = delete;
    FakeEntry& operator=(const FakeEntry&) = delete;

    RegistryValue property(std::string_view key) const override
    {
        auto found = m_properties.find(std::string(key));
        return found == m_properties.end() ? RegistryValue {} : found->second;
    }

private:
    Properties m_properties;
    std::atomic<int>& m_alive;
};

class FakeIterator final : public RegistryIterator {
public:
    FakeIterator(std::vector<Properties> entries, std::atomic<int>& alive)
        : m_entries(std::move(entries))
        , m_alive(alive)
    {
        ++m_alive;
    }
    ~FakeIterator() override { --m_alive; }
    FakeIterator(const FakeIterator&) = delete;
    FakeIterator& operator=(const FakeIterator&) = delete;

    std::unique_ptr<RegistryEntry> next() override
    {
        if (m_next >= m_entries.size())
            return nullptr;
        return std::make_unique<FakeEntry>(m_entries[m_next++], m_alive);
    }

private:
    std::vector<Properties> m_entries;
    std::size_t m_next = 0;
    std::atomic<int>& m_alive;
};

} // namespace

class FakeRegistrySession final : public RegistrySession {
public:
    explicit FakeRegistrySession(FakeRegistry& registry)
        : m_registry(registry)
    {
        ++m_registry.m_objectsAlive;
    }
    ~FakeRegistrySession() override { --m_registry.m_objectsAlive; }
    FakeRegistrySession(const FakeRegistrySession&) = delete;
    FakeRegistrySession& operator=(const FakeRegistrySession&) = delete;

    std::unique_ptr<RegistryIterator> matchingServices(std::string_view className) override
    {
        std::lock_guard lock(m_registry.m_mutex);
        std::string name(className);
        if (m_registry.m_failing.count(name) != 0)
            return nullptr;
        auto found = m_registry.m_entries.find(name);
        auto entries = found == m_registry.m_entries.end() ? std::vector<Properties> {} : found->second;
        return std::make_unique<FakeIterator>(std::move(entries), m_registry.m_objectsAlive);
    }

private:
    FakeRegistry& m_registry;
};

void FakeRegistry::setEntries(const std::string& className, std::vector<Properties> entries)
{
    std::lock_guard lock(m_mutex);
    m_entries[className] = std::move(entries);
}

void FakeRegistry::failMatching(const std::string& className)
{
    std::lock_guard lock(m_mutex);
    m_failing.insert(className);
}

std::unique_ptr<RegistrySession> FakeRegistry::openSession()
{
    ++m_sessionsOpened;
    return std::make_unique<FakeRegistrySession>(*this);
}

void FakeNotificationCenter::setDelegate(UserNotificationCenterDelegate* newDelegate)
{
    delegate = newDelegate;
    log.emplace_back("setDelegate");
}

void FakeNotificationCenter::requestAuthorization(
    std::uint32_t options, std::function<void(bool, std::optional<NotificationError>)> completion)
{
    authorizationOptions.push_back(options);
    log.emplace_back("requestAuthorization");
    if (holdPermission) {
        m_heldPermission = std::move(completion);
        return;
    }
    completion(grant, permissionError);
}

void FakeNotificationCenter::answerPermission()
{
    if (auto completion = std::exchange(m_heldPermission, nullptr))
        completion(grant, permissionError);
}

void FakeNotificationCenter::setNotificationCategories(std::vector<NotificationCategory> categories)
{
    categoryRegistrations.push_back(std::move(categories));
    log.emplace_back("setNotificationCategories");
}

void FakeNotificationCenter::getAuthorizationStatus(std::function<void(std::int64_t)> completion)
{
    completion(status);
}

void FakeNotificationCenter::getDeliveredNotifications(std::function<void(std::vector<NotificationRequest>)> completion)
{
    ++deliveredQueries;
    completion(delivered);
}

void FakeNotificationCenter::add(
    NotificationRequest request, std::function<void(std::optional<NotificationError>)> completion)
{
    log.emplace_back("add");
    if (addError) {
        completion(addError);
        return;
    }
    posted.push_back(request);
    delivered.push_back(std::move(request));
    completion(std::nullopt);
}

Subscription FakeSystemEvents::add(Handlers& handlers, std::function<void()> handler)
{
    auto id = m_nextId++;
    handlers.emplace(id, std::move(handler));
    return Subscription([&handlers, id] { handlers.erase(id); });
}

void FakeSystemEvents::emit(const Handlers& handlers)
{
    auto copy = handlers;
    for (auto& [id, handler] : copy)
        handler();
}

void FakeApplication::showAlert(
    const std::string& message, const std::string& buttonTitle, std::function<void()> pressed)
{
    alerts.push_back(Alert {message, buttonTitle, std::move(pressed)});
}

void FakeApplication::pressButton()
{
    if (alertsAnswered < alerts.size())
        alerts[alertsAnswered++].pressed();
}

std::chrono::minutes FakeCalendar::offsetAt(Date utc) const
{
    auto found = m_offsets.upper_bound(utc);
    if (found == m_offsets.begin())
        return std::chrono::minutes(0);
    return std::prev(found)->second;
}

std::chrono::local_days FakeCalendar::localDay(Date utc) const
{
    auto local = std::chrono::local_time<std::chrono::microseconds>((utc + offsetAt(utc)).time_since_epoch());
    return std::chrono::floor<std::chrono::days>(local);
}

bool FakeCalendar::isDateInToday(Date date) const { return localDay(date) == localDay(m_now); }

std::optional<Date> FakeCalendar::sameTimeNextDay(Date date) const
{
    if (failNextDay)
        return std::nullopt;
    // Local wall-clock time one day on, turned back into UTC with the offset in force then.
    auto localNext = (date + offsetAt(date)).time_since_epoch() + std::chrono::days(1);
    Date guess {localNext - offsetAt(date)};
    return Date {localNext - offsetAt(guess)};
}

std::string FakeTexts::localized(const std::string& key) const
{
    auto found = table.find(key);
    return found == table.end() ? key : found->second;
}

Properties keyboardEntry(const std::string& name, const std::string& serial, std::int64_t percent, std::int64_t flags)
{
    return {{"Product", name}, {"SerialNumber", serial}, {"BatteryPercent", percent}, {"BatteryStatusFlags", flags}};
}

Properties mouseEntry(const std::string& name, const std::string& serial, std::int64_t percent, bool batteryLow)
{
    return {{"Product", name}, {"SerialNumber", serial}, {"BatteryPercent", percent},
        {"HIDDefaultBehavior", std::string("Mouse")}, {"BatteryLow", batteryLow}};
}

} // namespace corvane::test
