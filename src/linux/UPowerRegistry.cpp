#include "linux/UPowerRegistry.h"

#include "linux/UPowerChangeListener.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>

#include <deque>
#include <utility>

namespace corvane {

namespace {

using Clock = std::chrono::steady_clock;

const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");

// Text fit to show: no control, formatting (bidi overrides, zero-width) or
// separator characters, at most `limit` characters.
std::string cleanText(const QString& text, int limit)
{
    QList<char32_t> kept;
    for (char32_t codePoint : text.toUcs4()) {
        switch (QChar::category(codePoint)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_NotAssigned:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            continue;
        default:
            break;
        }
        if (kept.size() >= limit)
            break;
        kept.push_back(codePoint);
    }
    return QString::fromUcs4(kept.constData(), kept.size()).trimmed().toStdString();
}

template <typename T> void assign(std::optional<T>& field, const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<T>())
        field = value.value<T>();
}

void assignText(std::optional<std::string>& field, const QVariant& value, int limit)
{
    if (value.metaType() == QMetaType::fromType<QString>())
        field = cleanText(value.toString(), limit);
}

// Keeps one property in its typed field; every other property is dropped.
void assignProperty(UPowerDevice& device, const QString& name, const QVariant& value)
{
    if (name == u"Type")
        assign(device.type, value);
    else if (name == u"PowerSupply")
        assign(device.powerSupply, value);
    else if (name == u"IsPresent")
        assign(device.isPresent, value);
    else if (name == u"Model")
        assignText(device.model, value, UPowerRegistry::kMaximumNameLength);
    else if (name == u"Serial")
        assignText(device.serial, value, UPowerRegistry::kMaximumSerialLength);
    else if (name == u"NativePath")
        assignText(device.nativePath, value, UPowerRegistry::kMaximumNameLength);
    else if (name == u"Percentage")
        assign(device.percentage, value);
    else if (name == u"State")
        assign(device.state, value);
    else if (name == u"BatteryLevel")
        assign(device.batteryLevel, value);
}

class EntryFromUPower final : public RegistryEntry {
public:
    explicit EntryFromUPower(const UPowerEntry& entry)
        : m_entry(entry)
    {
    }
    RegistryValue property(std::string_view key) const override
    {
        auto found = m_entry.properties.find(key);
        return found == m_entry.properties.end() ? RegistryValue {} : found->second;
    }

private:
    const UPowerEntry& m_entry;
};

class UPowerIterator final : public RegistryIterator {
public:
    explicit UPowerIterator(std::vector<const UPowerEntry*> entries)
        : m_entries(std::move(entries))
    {
    }
    std::unique_ptr<RegistryEntry> next() override
    {
        if (m_next >= m_entries.size())
            return nullptr;
        return std::make_unique<EntryFromUPower>(*m_entries[m_next++]);
    }

private:
    std::vector<const UPowerEntry*> m_entries;
    std::size_t m_next = 0;
};

class UPowerSession final : public RegistrySession {
public:
    UPowerSession(QDBusConnection bus, std::chrono::milliseconds timeout, std::shared_ptr<UPowerListedPaths> listed)
        : m_bus(std::move(bus))
        , m_timeout(timeout)
        , m_listed(std::move(listed))
    {
    }

    std::unique_ptr<RegistryIterator> matchingServices(std::string_view className) override
    {
        if (!m_read) {
            m_read = true;
            m_reachable = readUPower();
        }
        if (!m_reachable)
            return nullptr;
        std::vector<const UPowerEntry*> matching;
        for (const auto& entry : m_entries) {
            if (entry.serviceClass == className)
                matching.push_back(&entry);
        }
        return std::make_unique<UPowerIterator>(std::move(matching));
    }

private:
    // Milliseconds left before `deadline`, for a D-Bus call's time-out; 0 when none.
    static int left(Clock::time_point deadline)
    {
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        return remaining.count() > 0 ? static_cast<int>(remaining.count()) : 0;
    }

    bool readUPower()
    {
        if (!m_bus.isConnected())
            return false;
        const auto deadline = Clock::now() + m_timeout;
        auto enumerate = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("EnumerateDevices"));
        const auto reply = m_bus.call(enumerate, QDBus::Block, left(deadline));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
            return false;
        const auto paths = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().constFirst());
        std::vector<std::string> pathNames;
        pathNames.reserve(static_cast<std::size_t>(paths.size()));
        for (const auto& path : paths)
            pathNames.push_back(path.path().toStdString());
        m_listed->enumerated(pathNames);
        const auto devices = readDevices(paths, deadline);
        m_entries = UPowerDeviceMapping::entries(devices);
        remember(pathNames, devices);
        return true;
    }

    // Every device's properties, in path order: the calls go out together, at
    // most kMaximumCallsInFlight waiting at a time, and each is answered or
    // given up by `deadline`. A device that gave no answer is left out.
    std::vector<UPowerDevice> readDevices(const QList<QDBusObjectPath>& paths, Clock::time_point deadline)
    {
        std::vector<UPowerDevice> devices;
        devices.reserve(static_cast<std::size_t>(paths.size()));
        std::deque<QDBusPendingCall> inFlight;
        qsizetype sent = 0;
        while (sent < paths.size() || !inFlight.empty()) {
            while (sent < paths.size() && inFlight.size() < kMaximumCallsInFlight) {
                const int timeout = left(deadline);
                if (timeout == 0)
                    break;
                auto getAll = QDBusMessage::createMethodCall(kService, paths[sent++].path(),
                    QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
                getAll << kDeviceInterface;
                inFlight.push_back(m_bus.asyncCall(getAll, timeout));
            }
            if (inFlight.empty())
                break; // out of time before all were asked
            // UPower answers in the order asked; later answers wait in their calls meanwhile.
            auto call = std::move(inFlight.front());
            inFlight.pop_front();
            call.waitForFinished();
            const auto answer = call.reply();
            if (answer.type() == QDBusMessage::ReplyMessage && answer.signature() == QStringLiteral("a{sv}"))
                devices.push_back(
                    UPowerRegistry::deviceFromArgument(answer.arguments().constFirst().value<QDBusArgument>()));
            else
                devices.emplace_back(); // keeps path order; a device with no properties is never listed
        }
        return devices;
    }

    // Tells the change listener which paths UPower listed, which of them hold devices that are not listed,
    // and which devices are not worth listening to.
    void remember(const std::vector<std::string>& paths, const std::vector<UPowerDevice>& devices)
    {
        std::set<std::string> listed;
        std::set<std::string> neverListed;
        std::set<std::string> unheard;
        // A device the read ran out of time for is one that may be listed.
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (i < devices.size() && !UPowerDeviceMapping::couldList(devices[i]))
                neverListed.insert(paths[i]);
            if (i < devices.size() && !UPowerDeviceMapping::worthListeningTo(devices[i]))
                unheard.insert(paths[i]);
            listed.insert(paths[i]);
        }
        m_listed->read(std::move(listed), std::move(neverListed), std::move(unheard));
    }

    static constexpr std::size_t kMaximumCallsInFlight = UPowerRegistry::kMaximumCallsInFlight;

    QDBusConnection m_bus;
    std::chrono::milliseconds m_timeout;
    std::shared_ptr<UPowerListedPaths> m_listed;
    bool m_read = false;
    bool m_reachable = false;
    std::vector<UPowerEntry> m_entries;
};

} // namespace

UPowerRegistry::UPowerRegistry(QDBusConnection systemBus, std::chrono::milliseconds timeout)
    : m_bus(std::move(systemBus))
    , m_timeout(timeout)
    , m_listed(std::make_shared<UPowerListedPaths>())
{
}

UPowerRegistry::~UPowerRegistry() = default;

std::unique_ptr<RegistrySession> UPowerRegistry::openSession()
{
    return std::make_unique<UPowerSession>(m_bus, m_timeout, m_listed);
}

Subscription UPowerRegistry::observeChanges(std::function<void()> changed)
{
    // UPower is listened to only once somebody asks.
    if (!m_listener)
        m_listener = std::make_unique<UPowerChangeListener>(m_bus, m_listed);
    const auto id = m_listener->add(std::move(changed));
    return Subscription([listener = m_listener.get(), id] { listener->remove(id); });
}

UPowerDevice UPowerRegistry::deviceFromArgument(const QDBusArgument& properties)
{
    UPowerDevice device;
    forEachProperty(
        properties, [&device](const QString& name, const QVariant& value) { assignProperty(device, name, value); });
    return device;
}

void UPowerRegistry::forEachProperty(
    const QDBusArgument& properties, const std::function<void(const QString&, const QVariant&)>& use)
{
    if (properties.currentSignature() != QStringLiteral("a{sv}"))
        return;
    properties.beginMap();
    while (!properties.atEnd()) {
        QString name;
        QDBusVariant value;
        properties.beginMapEntry();
        properties >> name >> value;
        properties.endMapEntry();
        use(name, value.variant());
    }
    properties.endMap();
}

UPowerDevice UPowerRegistry::deviceFromProperties(const QVariantMap& properties)
{
    UPowerDevice device;
    for (auto property = properties.begin(); property != properties.end(); ++property)
        assignProperty(device, property.key(), property.value());
    return device;
}

} // namespace corvane
