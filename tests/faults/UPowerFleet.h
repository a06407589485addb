#pragma once

#include "linux/PrivateBus.h"

#include <QString>
#include <QVariantMap>

#include <cstddef>
#include <string>

namespace corvane::test {

// A Bluetooth keyboard as UPower 0.99 publishes it, discharging.
QVariantMap upowerKeyboard(const QString& model, const QString& serial, double percentage);

// Devices on python-dbusmock's UPower template: added one at a time, or in
// bulk by code run inside the mock (a thousand devices in one call).
class UPowerFleet {
public:
    explicit UPowerFleet(DBusMock& upower);

    void add(const QString& name, const QVariantMap& properties);
    void remove(const QString& name);
    // Keyboards "<prefix><i>" for i in [first, first + count), serial numbers
    // from their index, at `percentage`.
    void addKeyboards(const QString& prefix, int first, int count, double percentage);

    // How many times the mock's log shows `method` called.
    std::size_t callsTo(const std::string& method) const;

private:
    DBusMock& m_upower;
};

} // namespace corvane::test
