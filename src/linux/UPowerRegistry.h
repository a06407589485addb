#pragma once

#include "core/Registry.h"
#include "linux/UPowerDeviceMapping.h"

#include <QDBusConnection>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <memory>

class QDBusArgument;

namespace corvane {

class UPowerChangeListener;
struct UPowerListedPaths;

// The device registry over UPower on the system bus. A session reads UPower
// once, on first use: `EnumerateDevices`, then one
// `org.freedesktop.DBus.Properties.GetAll` per device, all in flight together
// (at most kMaximumCallsInFlight at a time), within one deadline for the
// whole read: a missing or hung UPower costs one time-out and gives passes
// that find nothing, or the devices read by then. The calls are safe from any
// thread, also one that is not a QThread and runs no event loop (the reader's
// own thread).
//
// Changes are reported from UPower's signals: a device added or removed, a
// property change that can alter the entries (see
// UPowerDeviceMapping::changeMatters), and UPower coming (back) onto the bus.
// The registry is made, and reports, on the main thread.
class UPowerRegistry final : public Registry {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout {3000};
    static constexpr int kMaximumCallsInFlight = 64;
    // Bounds on texts read from a device, in characters.
    static constexpr int kMaximumNameLength = 256;
    static constexpr int kMaximumSerialLength = 128;

    explicit UPowerRegistry(QDBusConnection systemBus, std::chrono::milliseconds timeout = kDefaultTimeout);
    ~UPowerRegistry() override;

    std::unique_ptr<RegistrySession> openSession() override;
    Subscription observeChanges(std::function<void()> changed) override;

    // The device's properties as UPower gave them (an `a{sv}` argument, or a
    // map): a property of an unexpected type is left out, texts lose control
    // and formatting characters and are bounded in length.
    static UPowerDevice deviceFromArgument(const QDBusArgument& properties);
    static UPowerDevice deviceFromProperties(const QVariantMap& properties);

    // Calls `use` with each name and value of an `a{sv}` argument, in order; nothing for another signature.
    static void forEachProperty(
        const QDBusArgument& properties, const std::function<void(const QString&, const QVariant&)>& use);

private:
    QDBusConnection m_bus;
    std::chrono::milliseconds m_timeout;
    std::shared_ptr<UPowerListedPaths> m_listed;
    std::unique_ptr<UPowerChangeListener> m_listener;
};

} // namespace corvane
