#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class QDBusMessage;

namespace corvane {

class UPowerChangeListener;

// What the reads learnt about each device path, shared by the reader's
// thread, the main thread and Qt's D-Bus thread, and through it which paths
// the listener listens to. Before the first read, and after UPower restarts,
// nothing is known.
struct UPowerListedPaths {
    enum class Seen { notListed, neverListable, listable };

    // Guards what was learnt; never held while a rule changes, since Qt's
    // D-Bus thread, which a rule change waits for, takes it too.
    std::mutex mutex;
    bool known = false;
    // The paths UPower listed; of those the devices that are not listed as
    // they are, and those whose changes can never matter (see
    // UPowerDeviceMapping::worthListeningTo).
    std::set<std::string> listed;
    std::set<std::string> neverListed;
    std::set<std::string> unheard;
    // Guards who listens and to what; held while rules change.
    std::mutex listening;
    // The listener, while there is one.
    UPowerChangeListener* listener = nullptr;

    // What the last read found at `path`; anything may be listed before the first.
    Seen lookUp(const QString& path);

    // A read was given `paths` and is about to ask each device for its
    // properties: every path not known to be unheard is listened to from now
    // on, so that a change after a device's answer is not missed.
    void enumerated(const std::vector<std::string>& paths);
    // The read is done: listen to the paths of `listed` but `unheard` only.
    void read(std::set<std::string> listed, std::set<std::string> neverListed, std::set<std::string> unheard);
    // UPower restarted: its paths may hold other devices. No path is listened
    // to until the next read.
    void forget();
    // Who listens from now on (nullptr: nobody), to the paths the last read found worth it.
    void listenWith(UPowerChangeListener* newListener);

private:
    // The listed paths but the unheard ones, with `mutex` held.
    std::set<std::string> heard() const;
    // With `listening` held.
    void listenTo(const std::set<std::string>& paths);
};

// Judges UPower's property changes on the thread that reads them, Qt's D-Bus
// thread, so that one that cannot matter (a keyboard's clock ticking) wakes
// no other thread.
class UPowerPropertiesFilter final : public QObject {
    Q_OBJECT

public:
    explicit UPowerPropertiesFilter(std::shared_ptr<UPowerListedPaths> listed);

Q_SIGNALS:
    void changed();

public Q_SLOTS:
    void onPropertiesChanged(const QDBusMessage& message);

private:
    std::shared_ptr<UPowerListedPaths> m_listed;
};

// Listens to UPower on the system bus: devices added and removed,
// `PropertiesChanged` of `org.freedesktop.UPower.Device` with one match rule
// per device worth listening to (the paths the reads give it; past
// kMaximumRules one rule for every path), and UPower's name changing owner
// (subscribing again when it comes back). A laptop's own battery, which
// changes every 30 seconds, is not listened to at all: its changes do not
// even reach the process. Calls its observers on the main thread when a change
// matters.
class UPowerChangeListener final : public QObject {
    Q_OBJECT

public:
    // A system bus allows a connection 512 match rules.
    static constexpr std::size_t kMaximumRules = 200;

    UPowerChangeListener(QDBusConnection bus, std::shared_ptr<UPowerListedPaths> listed);
    ~UPowerChangeListener() override;

    std::uint64_t add(std::function<void()> changed);
    void remove(std::uint64_t id);

    // Listens to the property changes of exactly `paths`, one rule each, or,
    // past kMaximumRules of them, of every path under one rule. Rules for
    // paths no longer wanted are removed from the bus. Called from any thread
    // but Qt's D-Bus thread with the shared paths' `listening` held, which
    // also guards what is listened to.
    void listenTo(const std::set<std::string>& paths);

private Q_SLOTS:
    void onDeviceAddedOrRemoved(const QDBusMessage& message);
    void onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    void subscribe(bool on);
    // One rule for the path's property changes, or with an empty path for every path's.
    void listenToPath(const std::string& path, bool on);
    void notify();

    QDBusConnection m_bus;
    std::shared_ptr<UPowerListedPaths> m_listed;
    QDBusServiceWatcher m_watcher;
    std::map<std::uint64_t, std::function<void()>> m_observers;
    std::uint64_t m_nextId = 1;
    // Lives on Qt's D-Bus thread, when there is one, until the listener goes.
    UPowerPropertiesFilter* m_filter;
    // Guarded by m_listed->listening.
    std::set<std::string> m_paths;
    bool m_everyPath = false;
};

} // namespace corvane
