#include "linux/UPowerChangeListener.h"

#include "linux/UPowerDeviceMapping.h"
#include "linux/UPowerRegistry.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>

#include <utility>
#include <vector>

namespace corvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// The names of the properties in a `PropertiesChanged` signal, changed and invalidated alike.
std::vector<std::string> changedNames(const QDBusMessage& message)
{
    std::vector<std::string> names;
    const auto arguments = message.arguments();
    if (arguments.size() != 3)
        return names;
    UPowerRegistry::forEachProperty(arguments[1].value<QDBusArgument>(),
        [&names](const QString& name, const QVariant&) { names.push_back(name.toStdString()); });
    for (const auto& name : arguments[2].toStringList())
        names.push_back(name.toStdString());
    return names;
}

} // namespace

UPowerChangeListener::UPowerChangeListener(QDBusConnection bus, std::shared_ptr<UPowerListedPaths> listed)
    : m_bus(std::move(bus))
    , m_listed(std::move(listed))
    , m_watcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange)
{
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &UPowerChangeListener::onOwnerChanged);
    subscribe(true);
}

UPowerChangeListener::~UPowerChangeListener() { subscribe(false); }

std::uint64_t UPowerChangeListener::add(std::function<void()> changed)
{
    m_observers.emplace(m_nextId, std::move(changed));
    return m_nextId++;
}

void UPowerChangeListener::remove(std::uint64_t id) { m_observers.erase(id); }

void UPowerChangeListener::subscribe(bool on)
{
    if (!m_bus.isConnected())
        return;
    const auto addedOrRemoved = SLOT(onDeviceAddedOrRemoved(QDBusMessage));
    const auto propertiesChanged = SLOT(onPropertiesChanged(QDBusMessage));
    const QStringList deviceInterface {kDeviceInterface};
    if (on) {
        m_bus.connect(kService, kPath, kService, QStringLiteral("DeviceAdded"), this, addedOrRemoved);
        m_bus.connect(kService, kPath, kService, QStringLiteral("DeviceRemoved"), this, addedOrRemoved);
        // Every device's path under one rule, for the device interface only.
        m_bus.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), deviceInterface, QString(),
            this, propertiesChanged);
    } else {
        m_bus.disconnect(kService, kPath, kService, QStringLiteral("DeviceAdded"), this, addedOrRemoved);
        m_bus.disconnect(kService, kPath, kService, QStringLiteral("DeviceRemoved"), this, addedOrRemoved);
        m_bus.disconnect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), deviceInterface,
            QString(), this, propertiesChanged);
    }
}

UPowerChangeListener::Seen UPowerChangeListener::lookUp(const QString& path)
{
    const auto name = path.toStdString();
    std::lock_guard lock(m_listed->mutex);
    if (!m_listed->known)
        return Seen::listable;
    if (!m_listed->listed.contains(name))
        return Seen::notListed;
    return m_listed->neverListed.contains(name) ? Seen::neverListable : Seen::listable;
}

void UPowerChangeListener::onDeviceAddedOrRemoved(const QDBusMessage& message)
{
    const auto path = message.arguments().value(0).value<QDBusObjectPath>().path();
    if (message.member() == QStringLiteral("DeviceAdded") || lookUp(path) == Seen::listable)
        notify();
}

void UPowerChangeListener::onPropertiesChanged(const QDBusMessage& message)
{
    if (message.arguments().value(0).toString() != kDeviceInterface)
        return;
    // A path the last read was not given holds nothing shown: UPower's display device, which sums up the
    // machine's own batteries and changes with them. A new device is announced with DeviceAdded first.
    const auto seen = lookUp(message.path());
    if (seen != Seen::notListed && UPowerDeviceMapping::changeMatters(seen == Seen::listable, changedNames(message)))
        notify();
}

void UPowerChangeListener::onOwnerChanged(const QString&, const QString&, const QString& newOwner)
{
    // A new UPower knows nothing of the old one's subscriptions, and its devices may differ.
    if (newOwner.isEmpty())
        return;
    subscribe(false);
    subscribe(true);
    notify();
}

void UPowerChangeListener::notify()
{
    // An observer may end its subscription, or another's, while being told.
    auto observers = m_observers;
    for (auto& [id, changed] : observers) {
        if (m_observers.contains(id))
            changed();
    }
}

} // namespace corvane
