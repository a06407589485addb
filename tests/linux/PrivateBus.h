#pragma once

#include <QDBusConnection>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane::test {

// A child process, stopped (SIGTERM, then SIGKILL) by its pid when destroyed.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // Reads a line that the child writes to the pipe on its fd 3, if asked for.
    std::string readLine(std::chrono::milliseconds limit);
    void stop();
    // Waits for the child to end by itself; its exit status, or -1 on time-out.
    int wait(std::chrono::milliseconds limit);
    // SIGSTOP / SIGCONT, to make a peer hang.
    void pause();
    void resume();

private:
    pid_t m_pid = -1;
    int m_pipe = -1;
};

// A private dbus-daemon with a configuration of its own in a temporary
// folder; never the machine's buses. Stopped when destroyed.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();

    const QString& address() const { return m_address; }
    // A temporary folder that lives as long as the bus.
    const std::filesystem::path& folder() const { return m_folder; }
    // A new connection of this process to the bus, under a unique name.
    QDBusConnection connect();

private:
    std::filesystem::path m_folder;
    std::unique_ptr<ChildProcess> m_daemon;
    QString m_address;
    std::vector<QString> m_connections;
};

struct MockCall {
    QString method;
    QVariantList arguments;
};

// A python-dbusmock template on a private bus. System bus templates are
// pointed at the private bus through DBUS_SYSTEM_BUS_ADDRESS.
class DBusMock {
public:
    DBusMock(PrivateBus& bus, const std::string& templateName, const QString& busName, const QString& mainPath,
        const std::string& parameters = {});
    ~DBusMock();

    bool ready() const { return m_ready; }
    // Adds an object with properties and no methods.
    void addObject(const QString& path, const QString& interface, const QVariantMap& properties);
    void emitSignal(const QString& path, const QString& interface, const QString& name, const QString& signature,
        const QVariantList& arguments);
    std::vector<MockCall> calls(const QString& path = {});
    void clearCalls(const QString& path = {});
    // The mock's log: one line per method call, property reads included.
    std::string log() const;
    void stop();
    void pause() { m_process->pause(); }
    void resume() { m_process->resume(); }
    QDBusConnection& connection() { return m_connection; }

private:
    QDBusConnection m_connection;
    QString m_busName;
    QString m_mainPath;
    std::filesystem::path m_log;
    std::unique_ptr<ChildProcess> m_process;
    bool m_ready = false;
};

} // namespace corvane::test
