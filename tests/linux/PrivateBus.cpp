#include "linux/PrivateBus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QTest>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace corvane::test {

namespace {

struct MockMethod {
    QString name;
    QString inSignature;
    QString outSignature;
    QString code;
};

QDBusArgument& operator<<(QDBusArgument& argument, const MockMethod& method)
{
    argument.beginStructure();
    argument << method.name << method.inSignature << method.outSignature << method.code;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, MockMethod& method)
{
    argument.beginStructure();
    argument >> method.name >> method.inSignature >> method.outSignature >> method.code;
    argument.endStructure();
    return argument;
}

const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");

} // namespace

} // namespace corvane::test

Q_DECLARE_METATYPE(corvane::test::MockMethod)

namespace corvane::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment)
{
    std::array<int, 2> pipe {-1, -1};
    if (::pipe(pipe.data()) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        environment.emplace_back(*entry);
    for (const auto& extra : extraEnvironment)
        environment.push_back(extra);
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const auto& entry : environment)
        env.push_back(const_cast<char*>(entry.c_str()));
    env.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(pipe[1], 3);
        if (pipe[0] != 3)
            ::close(pipe[0]);
        ::setpgid(0, 0);
        ::execve(args[0], args.data(), env.data());
        ::_exit(127);
    }
    ::close(pipe[1]);
    m_pipe = pipe[0];
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
}

ChildProcess::~ChildProcess()
{
    stop();
    if (m_pipe >= 0)
        ::close(m_pipe);
}

std::string ChildProcess::readLine(std::chrono::milliseconds limit)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd descriptor {m_pipe, POLLIN, 0};
        if (::poll(&descriptor, 1, 100) <= 0)
            continue;
        char c = 0;
        if (::read(m_pipe, &c, 1) != 1)
            break;
        if (c == '\n')
            return line;
        line += c;
    }
    return line;
}

void ChildProcess::stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGCONT);
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

int ChildProcess::wait(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (m_pid > 0 && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

void ChildProcess::pause()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGSTOP);
}

void ChildProcess::resume()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGCONT);
}

PrivateBus::PrivateBus()
{
    std::string folder = (std::filesystem::temp_directory_path() / "corvane-bus-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_folder = folder;
    const auto config = m_folder / "bus.conf";
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig>\n"
                             "  <type>session</type>\n"
                             "  <listen>unix:path="
                          << (m_folder / "socket").string()
                          << "</listen>\n"
                             "  <auth>EXTERNAL</auth>\n"
                             "  <policy context=\"default\">\n"
                             "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                             "    <allow eavesdrop=\"true\"/>\n"
                             "    <allow own=\"*\"/>\n"
                             "  </policy>\n"
                             "</busconfig>\n";
    m_daemon = std::make_unique<ChildProcess>(std::vector<std::string> {
        "/usr/bin/dbus-daemon", "--config-file=" + config.string(), "--nofork", "--nopidfile", "--print-address=3"});
    m_address = QString::fromStdString(m_daemon->readLine(std::chrono::seconds(20)));
    if (m_address.isEmpty())
        throw std::runtime_error("the private dbus-daemon did not start");
}

PrivateBus::~PrivateBus()
{
    for (const auto& name : m_connections)
        QDBusConnection::disconnectFromBus(name);
    m_daemon.reset();
    std::error_code error;
    std::filesystem::remove_all(m_folder, error);
}

QDBusConnection PrivateBus::connect()
{
    static std::atomic<int> counter {0};
    const auto name = QStringLiteral("corvane-test-%1").arg(++counter);
    m_connections.push_back(name);
    return QDBusConnection::connectToBus(m_address, name);
}

DBusMock::DBusMock(PrivateBus& bus, const std::string& templateName, const QString& busName, const QString& mainPath,
    const std::string& parameters)
    : m_connection(bus.connect())
    , m_busName(busName)
    , m_mainPath(mainPath)
{
    qDBusRegisterMetaType<MockMethod>();
    qDBusRegisterMetaType<QList<MockMethod>>();
    static std::atomic<int> counter {0};
    m_log = bus.folder() / (templateName + "-" + std::to_string(++counter) + ".log");
    std::vector<std::string> argv {
        "/usr/bin/python3", "-m", "dbusmock", "--template", templateName, "--logfile", m_log.string()};
    if (!parameters.empty()) {
        argv.emplace_back("-p");
        argv.push_back(parameters);
    }
    const auto address = bus.address().toStdString();
    m_process = std::make_unique<ChildProcess>(
        argv, std::vector<std::string> {"DBUS_SYSTEM_BUS_ADDRESS=" + address, "DBUS_SESSION_BUS_ADDRESS=" + address});
    m_ready
        = QTest::qWaitFor([this] { return m_connection.interface()->isServiceRegistered(m_busName).value(); }, 30000);
}

DBusMock::~DBusMock() { stop(); }

std::string DBusMock::log() const
{
    std::ifstream stream(m_log);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

void DBusMock::stop()
{
    if (m_process)
        m_process->stop();
}

void DBusMock::addObject(const QString& path, const QString& interface, const QVariantMap& properties)
{
    auto call = QDBusMessage::createMethodCall(m_busName, m_mainPath, kMockInterface, QStringLiteral("AddObject"));
    call << path << interface << properties << QVariant::fromValue(QList<MockMethod>());
    const auto reply = m_connection.call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw std::runtime_error("AddObject failed: " + reply.errorMessage().toStdString());
}

void DBusMock::emitSignal(const QString& path, const QString& interface, const QString& name, const QString& signature,
    const QVariantList& arguments)
{
    auto call = QDBusMessage::createMethodCall(m_busName, path, kMockInterface, QStringLiteral("EmitSignal"));
    QVariantList wrapped;
    for (const auto& argument : arguments)
        wrapped << QVariant::fromValue(QDBusVariant(argument));
    call << interface << name << signature << QVariant::fromValue(wrapped);
    const auto reply = m_connection.call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw std::runtime_error("EmitSignal failed: " + reply.errorMessage().toStdString());
}

std::vector<MockCall> DBusMock::calls(const QString& path)
{
    auto call = QDBusMessage::createMethodCall(
        m_busName, path.isEmpty() ? m_mainPath : path, kMockInterface, QStringLiteral("GetCalls"));
    const auto reply = m_connection.call(call, QDBus::Block, 10000);
    std::vector<MockCall> result;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return result;
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        MockCall entry;
        qulonglong time = 0;
        argument.beginStructure();
        argument >> time >> entry.method;
        argument.beginArray();
        while (!argument.atEnd()) {
            QDBusVariant value;
            argument >> value;
            entry.arguments << value.variant();
        }
        argument.endArray();
        argument.endStructure();
        result.push_back(std::move(entry));
    }
    argument.endArray();
    return result;
}

void DBusMock::clearCalls(const QString& path)
{
    auto call = QDBusMessage::createMethodCall(
        m_busName, path.isEmpty() ? m_mainPath : path, kMockInterface, QStringLiteral("ClearCalls"));
    m_connection.call(call, QDBus::Block, 10000);
}

} // namespace corvane::test
