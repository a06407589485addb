#pragma once

#include "core/Registry.h"
#include "linux/UPowerDeviceMapping.h"

#include <QDBusConnection>
#include <QVariantMap>

#include <chrono>

namespace corvane {

// The device registry over UPower on the system bus. A session reads UPower
// once, on first use: `EnumerateDevices` and one
// `org.freedesktop.DBus.Properties.GetAll` per device, each a blocking call
// with a time-out, so a refresh costs 1 + N calls however many passes it
// makes, and a missing or hung UPower gives passes that find nothing. The
// calls are safe from any thread, also one that is not a QThread and runs no
// event loop (the reader's own thread).
class UPowerRegistry final : public Registry {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout {3000};
    // Bounds on texts read from a device, in characters.
    static constexpr int kMaximumNameLength = 256;
    static constexpr int kMaximumSerialLength = 128;

    explicit UPowerRegistry(QDBusConnection systemBus, std::chrono::milliseconds timeout = kDefaultTimeout);

    std::unique_ptr<RegistrySession> openSession() override;

    // The device's properties as UPower gave them: a property of an
    // unexpected type is left out, texts lose control and formatting
    // characters and are bounded in length.
    static UPowerDevice deviceFromProperties(const QVariantMap& properties);

private:
    QDBusConnection m_bus;
    std::chrono::milliseconds m_timeout;
};

} // namespace corvane
