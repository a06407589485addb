#include "linux/UPowerChangeListener.h"

#include "linux/UPowerDeviceMapping.h"
#include "linux/UPowerRegistry.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>

#include <algorithm>
#include <iterator>
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

void UPowerListedPaths::enumerated(const std::vector<std::string>& paths)
{
    std::lock_guard lock(mutex);
    std::set<std::string> heard;
    for (const auto& path : paths) {
        if (!unheard.contains(path))
            heard.insert(path);
    }
    // Until the read is done, a change of a new device is one of a device that may be listed.
    listed.insert(heard.begin(), heard.end());
    listenTo(heard);
}

void UPowerListedPaths::read(
    std::set<std::string> paths, std::set<std::string> neverListedPaths, std::set<std::string> unheardPaths)
{
    std::lock_guard lock(mutex);
    known = true;
    listed = std::move(paths);
    neverListed = std::move(neverListedPaths);
    unheard = std::move(unheardPaths);
    listenTo(heard());
}

void UPowerListedPaths::forget()
{
    std::lock_guard lock(mutex);
    known = false;
    listed.clear();
    neverListed.clear();
    unheard.clear();
    listenTo({});
}

void UPowerListedPaths::listenWith(UPowerChangeListener* newListener)
{
    std::lock_guard lock(mutex);
    listenTo({});
    listener = newListener;
    // Reads made before there was a listener are the last word until the next one.
    listenTo(heard());
}

std::set<std::string> UPowerListedPaths::heard() const
{
    std::set<std::string> paths;
    std::set_difference(
        listed.begin(), listed.end(), unheard.begin(), unheard.end(), std::inserter(paths, paths.end()));
    return paths;
}

void UPowerListedPaths::listenTo(const std::set<std::string>& paths)
{
    if (listener)
        listener->listenTo(paths);
}

UPowerChangeListener::UPowerChangeListener(QDBusConnection bus, std::shared_ptr<UPowerListedPaths> listed)
    : m_bus(std::move(bus))
    , m_listed(std::move(listed))
    , m_watcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange)
{
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &UPowerChangeListener::onOwnerChanged);
    subscribe(true);
    m_listed->listenWith(this);
}

UPowerChangeListener::~UPowerChangeListener()
{
    m_listed->listenWith(nullptr);
    subscribe(false);
}

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
    if (on) {
        m_bus.connect(kService, kPath, kService, QStringLiteral("DeviceAdded"), this, addedOrRemoved);
        m_bus.connect(kService, kPath, kService, QStringLiteral("DeviceRemoved"), this, addedOrRemoved);
    } else {
        m_bus.disconnect(kService, kPath, kService, QStringLiteral("DeviceAdded"), this, addedOrRemoved);
        m_bus.disconnect(kService, kPath, kService, QStringLiteral("DeviceRemoved"), this, addedOrRemoved);
    }
}

void UPowerChangeListener::listenTo(const std::set<std::string>& paths)
{
    const bool everyPath = paths.size() > kMaximumRules;
    const std::set<std::string> none;
    const auto& wanted = everyPath ? none : paths;
    // New rules first: a change on the way between two rules is not lost.
    if (everyPath && !m_everyPath)
        listenToPath({}, true);
    for (const auto& path : wanted) {
        if (!m_paths.contains(path))
            listenToPath(path, true);
    }
    for (const auto& path : m_paths) {
        if (!wanted.contains(path))
            listenToPath(path, false);
    }
    if (!everyPath && m_everyPath)
        listenToPath({}, false);
    m_paths = wanted;
    m_everyPath = everyPath;
}

void UPowerChangeListener::listenToPath(const std::string& path, bool on)
{
    if (!m_bus.isConnected())
        return;
    // Safe from any thread: Qt hands the rule to its D-Bus thread and waits. A rule no hook needs any more
    // is removed from the bus, so that the bus stops sending what it matched.
    const auto slot = SLOT(onPropertiesChanged(QDBusMessage));
    const auto qPath = QString::fromStdString(path);
    const auto member = QStringLiteral("PropertiesChanged");
    const QStringList deviceInterface {kDeviceInterface};
    if (on)
        m_bus.connect(kService, qPath, kProperties, member, deviceInterface, QString(), this, slot);
    else
        m_bus.disconnect(kService, qPath, kProperties, member, deviceInterface, QString(), this, slot);
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
    m_listed->forget();
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
