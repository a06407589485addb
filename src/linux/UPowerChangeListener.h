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

// What the last read learnt about each device path: the paths of devices that
// can never be listed. Written by the reader's thread, read on the main thread.
struct UPowerListedPaths {
    std::mutex mutex;
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
    void subscribe(bool on);
    bool isListable(const QString& path);
    void notify();

    QDBusConnection m_bus;
    std::shared_ptr<UPowerListedPaths> m_listed;
    QDBusServiceWatcher m_watcher;
    std::map<std::uint64_t, std::function<void()>> m_observers;
    std::uint64_t m_nextId = 1;
};

} // namespace corvane
