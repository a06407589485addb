#include "linux/UPowerChangeListener.h"

#include "linux/UPowerDeviceMapping.h"
#include "linux/UPowerRegistry.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
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
    std::lock_guard listen(listening);
    std::set<std::string> heardPaths;
    {
        std::lock_guard lock(mutex);
        for (const auto& path : paths) {
            if (!unheard.contains(path))
                heardPaths.insert(path);
        }
        // Until the read is done, a change of a new device is one of a device that may be listed.
        listed.insert(heardPaths.begin(), heardPaths.end());
    }
    listenTo(heardPaths);
}

void UPowerListedPaths::read(
    std::set<std::string> paths, std::set<std::string> neverListedPaths, std::set<std::string> unheardPaths)
{
    std::lock_guard listen(listening);
    std::set<std::string> heardPaths;
    {
        std::lock_guard lock(mutex);
        known = true;
        listed = std::move(paths);
        neverListed = std::move(neverListedPaths);
        unheard = std::move(unheardPaths);
        heardPaths = heard();
    }
    listenTo(heardPaths);
}

void UPowerListedPaths::forget()
{
    std::lock_guard listen(listening);
    {
        std::lock_guard lock(mutex);
        known = false;
        listed.clear();
        neverListed.clear();
        unheard.clear();
    }
    listenTo({});
}

void UPowerListedPaths::listenWith(UPowerChangeListener* newListener)
{
    std::lock_guard listen(listening);
    listenTo({});
    listener = newListener;
    std::set<std::string> heardPaths;
    {
        std::lock_guard lock(mutex);
        heardPaths = heard();
    }
    // Reads made before there was a listener are the last word until the next one.
    listenTo(heardPaths);
}

UPowerListedPaths::Seen UPowerListedPaths::lookUp(const QString& path)
{
    const auto name = path.toStdString();
    std::lock_guard lock(mutex);
    if (!known)
        return Seen::listable;
    if (!listed.contains(name))
        return Seen::notListed;
    return neverListed.contains(name) ? Seen::neverListable : Seen::listable;
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

UPowerPropertiesFilter::UPowerPropertiesFilter(std::shared_ptr<UPowerListedPaths> listed)
    : m_listed(std::move(listed))
{
}

void UPowerPropertiesFilter::onPropertiesChanged(const QDBusMessage& message)
{
    if (message.arguments().value(0).toString() != kDeviceInterface)
        return;
    // A path the last read was not given holds nothing shown: UPower's display device, which sums up the
    // machine's own batteries and changes with them. A new device is announced with DeviceAdded first.
    using Seen = UPowerListedPaths::Seen;
    const auto seen = m_listed->lookUp(message.path());
    if (seen != Seen::notListed && UPowerDeviceMapping::changeMatters(seen == Seen::listable, changedNames(message)))
        Q_EMIT changed();
}

UPowerChangeListener::UPowerChangeListener(QDBusConnection bus, std::shared_ptr<UPowerListedPaths> listed)
    : m_bus(std::move(bus))
    , m_listed(std::move(listed))
    , m_watcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange)
    , m_filter(new UPowerPropertiesFilter(m_listed))
{
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &UPowerChangeListener::onOwnerChanged);
    connect(m_filter, &UPowerPropertiesFilter::changed, this, &UPowerChangeListener::notify, Qt::QueuedConnection);
    // Qt reads the bus on a thread of its own, where its object for the bus daemon lives.
    if (const auto* daemon = m_bus.interface())
        m_filter->moveToThread(daemon->thread());
    subscribe(true);
    m_listed->listenWith(this);
}

UPowerChangeListener::~UPowerChangeListener()
{
    m_listed->listenWith(nullptr);
    subscribe(false);
    // No rule reaches the filter any more. It is deleted here, not on Qt's D-Bus thread, which cannot wait on
    // itself to forget a deleted receiver: brought back first, by its own thread.
    if (m_filter->thread() != thread()) {
        auto bringBack = [filter = m_filter, here = thread()] { filter->moveToThread(here); };
        QMetaObject::invokeMethod(m_filter, bringBack, Qt::BlockingQueuedConnection);
    }
    delete m_filter;
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
        m_bus.connect(kService, qPath, kProperties, member, deviceInterface, QString(), m_filter, slot);
    else
        m_bus.disconnect(kService, qPath, kProperties, member, deviceInterface, QString(), m_filter, slot);
}

void UPowerChangeListener::onDeviceAddedOrRemoved(const QDBusMessage& message)
{
    const auto path = message.arguments().value(0).value<QDBusObjectPath>().path();
    if (message.member() == QStringLiteral("DeviceAdded")
        || m_listed->lookUp(path) == UPowerListedPaths::Seen::listable)
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
