#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

class QDBusMessage;

namespace corvane {

// What the last read learnt about each device path: the paths UPower listed,
// and of those the devices that can never be listed. Before the first read,
// nothing is known. Written by the reader's thread, read on the main thread.
struct UPowerListedPaths {
    std::mutex mutex;
    bool known = false;
    std::set<std::string> listed;
    std::set<std::string> neverListed;
};

// Listens to UPower on the system bus with one match rule per signal: devices
// added and removed, `PropertiesChanged` of `org.freedesktop.UPower.Device` on
// any path, and UPower's name changing owner (subscribing again when it
// comes back). Calls its observers on the main thread when a change matters.
class UPowerChangeListener final : public QObject {
    Q_OBJECT

public:
    UPowerChangeListener(QDBusConnection bus, std::shared_ptr<UPowerListedPaths> listed);
    ~UPowerChangeListener() override;

    std::uint64_t add(std::function<void()> changed);
    void remove(std::uint64_t id);

private Q_SLOTS:
    void onDeviceAddedOrRemoved(const QDBusMessage& message);
    void onPropertiesChanged(const QDBusMessage& message);
    void onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    enum class Seen { notListed, neverListable, listable };

    void subscribe(bool on);
    Seen lookUp(const QString& path);
    void notify();

    QDBusConnection m_bus;
    std::shared_ptr<UPowerListedPaths> m_listed;
    QDBusServiceWatcher m_watcher;
    std::map<std::uint64_t, std::function<void()>> m_observers;
    std::uint64_t m_nextId = 1;
};

} // namespace corvane
