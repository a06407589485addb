#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QTemporaryDir>
#include <QVariantMap>

#include <cstddef>
#include <memory>

namespace corvane::test {

// Stops a child by its pid: SIGTERM, then SIGKILL.
struct StopProcess {
    void operator()(QProcess* process) const;
};
using Process = std::unique_ptr<QProcess, StopProcess>;

// Starts `program`; throws unless it runs.
Process startProcess(const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// A dbus-daemon with a configuration of its own in a temporary folder; never the machine's buses.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    // A new connection of this process under a unique name; usable from any thread.
    QDBusConnection connect();

    QTemporaryDir folder;
    QString address;

private:
    Process m_daemon;
    QStringList m_connections;
};

// A python-dbusmock template on a private bus, which is also its system bus; throws unless it comes up.
class DBusMock {
public:
    DBusMock(PrivateBus& bus, const QString& templateName, const QString& busName, const QString& mainPath,
        const QString& parameters = QStringLiteral("{}"));

    // Calls a method of the mock's control interface on the main object; throws on error.
    QVariantList mock(const QString& method, const QVariantList& arguments = {});
    // Runs python code inside the mock, with `self` the main object.
    void run(const QString& code) { mock(QStringLiteral("Run"), {code}); }
    // The arguments of each call of `method` on the main object.
    QList<QVariantList> calls(const QString& method);
    // How many times the mock's log shows `method` called, property reads included.
    std::size_t callsTo(const char* method) const;

private:
    QDBusConnection m_connection;
    QString m_busName;
    QString m_mainPath;
    QString m_log;
    Process m_process;
};

// python-dbusmock's UPower; devices are named under .../devices/.
class UPowerMock : public DBusMock {
public:
    explicit UPowerMock(PrivateBus& bus)
        : DBusMock(bus, QStringLiteral("upower"), QStringLiteral("org.freedesktop.UPower"),
            QStringLiteral("/org/freedesktop/UPower"))
    {
    }

    // A Bluetooth keyboard as UPower publishes it, discharging and with figures nothing shows, with `overrides`.
    static QVariantMap keyboard(const QString& model, double percentage, const QVariantMap& overrides = {});
    void add(const QString& name, const QVariantMap& properties);
    // Keyboards "<prefix><i>" for i in [first, first + count), each with a serial number of its own.
    void addKeyboards(const QString& prefix, int first, int count, double percentage);
};

} // namespace corvane::test
