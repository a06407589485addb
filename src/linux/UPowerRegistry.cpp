#include "linux/UPowerRegistry.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>

#include <utility>

namespace corvane {

namespace {

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

template <typename T> std::optional<T> typed(const QVariantMap& properties, const char* key);

template <> std::optional<bool> typed<bool>(const QVariantMap& properties, const char* key)
{
    const auto value = properties.value(QLatin1String(key));
    if (value.metaType() != QMetaType::fromType<bool>())
        return std::nullopt;
    return value.toBool();
}

template <> std::optional<std::uint32_t> typed<std::uint32_t>(const QVariantMap& properties, const char* key)
{
    const auto value = properties.value(QLatin1String(key));
    if (value.metaType() != QMetaType::fromType<uint>())
        return std::nullopt;
    return value.toUInt();
}

template <> std::optional<double> typed<double>(const QVariantMap& properties, const char* key)
{
    const auto value = properties.value(QLatin1String(key));
    if (value.metaType() != QMetaType::fromType<double>())
        return std::nullopt;
    return value.toDouble();
}

std::optional<std::string> text(const QVariantMap& properties, const char* key, int limit)
{
    const auto value = properties.value(QLatin1String(key));
    if (value.metaType() != QMetaType::fromType<QString>())
        return std::nullopt;
    return cleanText(value.toString(), limit);
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
    UPowerSession(QDBusConnection bus, std::chrono::milliseconds timeout)
        : m_bus(std::move(bus))
        , m_timeout(static_cast<int>(timeout.count()))
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
    bool readUPower()
    {
        if (!m_bus.isConnected())
            return false;
        auto enumerate = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("EnumerateDevices"));
        const auto reply = m_bus.call(enumerate, QDBus::Block, m_timeout);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
            return false;
        const auto paths = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().constFirst());
        std::vector<UPowerDevice> devices;
        for (const auto& path : paths) {
            auto getAll = QDBusMessage::createMethodCall(
                kService, path.path(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
            getAll << kDeviceInterface;
            const auto properties = m_bus.call(getAll, QDBus::Block, m_timeout);
            if (properties.type() == QDBusMessage::ErrorMessage
                && properties.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NoReply"))
                break; // UPower hangs: the others would only wait as long again
            if (properties.type() != QDBusMessage::ReplyMessage || properties.arguments().size() != 1)
                continue;
            devices.push_back(
                UPowerRegistry::deviceFromProperties(qdbus_cast<QVariantMap>(properties.arguments().constFirst())));
        }
        m_entries = UPowerDeviceMapping::entries(devices);
        return true;
    }

    QDBusConnection m_bus;
    int m_timeout;
    bool m_read = false;
    bool m_reachable = false;
    std::vector<UPowerEntry> m_entries;
};

} // namespace

UPowerRegistry::UPowerRegistry(QDBusConnection systemBus, std::chrono::milliseconds timeout)
    : m_bus(std::move(systemBus))
    , m_timeout(timeout)
{
}

std::unique_ptr<RegistrySession> UPowerRegistry::openSession()
{
    return std::make_unique<UPowerSession>(m_bus, m_timeout);
}

UPowerDevice UPowerRegistry::deviceFromProperties(const QVariantMap& properties)
{
    UPowerDevice device;
    device.type = typed<std::uint32_t>(properties, "Type");
    device.powerSupply = typed<bool>(properties, "PowerSupply");
    device.isPresent = typed<bool>(properties, "IsPresent");
    device.model = text(properties, "Model", kMaximumNameLength);
    device.serial = text(properties, "Serial", kMaximumSerialLength);
    device.nativePath = text(properties, "NativePath", kMaximumNameLength);
    device.percentage = typed<double>(properties, "Percentage");
    device.state = typed<std::uint32_t>(properties, "State");
    device.batteryLevel = typed<std::uint32_t>(properties, "BatteryLevel");
    return device;
}

} // namespace corvane
