#include "linux/PrivateBus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QTest>

#include <csignal>
#include <stdexcept>
#include <sys/prctl.h>

namespace corvane::test {

void StopProcess::operator()(QProcess* process) const
{
    process->terminate();
    if (!process->waitForFinished(3000))
        process->kill();
    process->waitForFinished();
    delete process;
}

Process startProcess(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    Process process(new QProcess);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test that dies must not leave its buses and mocks behind, holding
    // the test runner's output pipe open.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->start(program, arguments);
    if (!process->waitForStarted(30000))
        throw std::runtime_error("cannot start " + program.toStdString());
    return process;
}

PrivateBus::PrivateBus()
{
    QFile config(folder.filePath(QStringLiteral("bus.conf")));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("<busconfig><type>session</type><listen>unix:path=%1/socket</listen><auth>EXTERNAL"
                                "</auth><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                                "<limit name=\"max_replies_per_connection\">100000</limit></busconfig>")
                     .arg(folder.path())
                     .toUtf8());
    config.close();
    m_daemon = startProcess(QStringLiteral("/usr/bin/dbus-daemon"),
        {"--config-file=" + config.fileName(), "--nofork", "--nopidfile", "--print-address=1"});
    while (!m_daemon->canReadLine() && m_daemon->waitForReadyRead(30000)) { }
    address = QString::fromUtf8(m_daemon->readLine()).trimmed();
    if (address.isEmpty())
        throw std::runtime_error("the private dbus-daemon did not start");
}

PrivateBus::~PrivateBus()
{
    for (const auto& name : m_connections)
        QDBusConnection::disconnectFromBus(name);
}

QDBusConnection PrivateBus::connect()
{
    // Named after this bus's own address, so that no two buses share a name.
    m_connections << address + "#" + QString::number(m_connections.size());
    return QDBusConnection::connectToBus(address, m_connections.last());
}

DBusMock::DBusMock(PrivateBus& bus, const QString& templateName, const QString& busName, const QString& mainPath,
    const QString& parameters)
    : m_connection(bus.connect())
    , m_busName(busName)
    , m_mainPath(mainPath)
    , m_log(bus.folder.filePath(busName + QStringLiteral(".log")))
{
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.address);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address);
    m_process = startProcess(QStringLiteral("/usr/bin/python3"),
        {"-m", "dbusmock", "--template", templateName, "--logfile", m_log, "-p", parameters}, environment);
    if (!QTest::qWaitFor([this] { return m_connection.interface()->isServiceRegistered(m_busName).value(); }, 30000))
        throw std::runtime_error("the mock of " + busName.toStdString() + " did not start");
    // Helpers: Run executes python code, AddPlain adds an object without methods.
    const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
    mock(QStringLiteral("AddMethod"), {mockInterface, "Run", "s", "", "exec(args[0])"});
    mock(QStringLiteral("AddMethod"),
        {mockInterface, "AddPlain", "ssa{sv}", "", "self.AddObject(args[0], args[1], args[2], [])"});
}

QVariantList DBusMock::mock(const QString& method, const QVariantList& arguments)
{
    auto call
        = QDBusMessage::createMethodCall(m_busName, m_mainPath, QStringLiteral("org.freedesktop.DBus.Mock"), method);
    call.setArguments(arguments);
    const auto reply = m_connection.call(call, QDBus::Block, 120000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw std::runtime_error(method.toStdString() + " failed: " + reply.errorMessage().toStdString());
    return reply.arguments();
}

QList<QVariantList> DBusMock::calls(const QString& method)
{
    QList<QVariantList> result;
    const auto reply = mock(QStringLiteral("GetMethodCalls"), {method}).constFirst().value<QDBusArgument>();
    for (const auto& [time, arguments] : qdbus_cast<QList<std::pair<qulonglong, QVariantList>>>(reply))
        result << arguments;
    return result;
}

std::size_t DBusMock::callsTo(const char* method) const
{
    QFile log(m_log);
    log.open(QIODevice::ReadOnly);
    return static_cast<std::size_t>(log.readAll().count(method));
}

QVariantMap UPowerMock::keyboard(const QString& model, double percentage, const QVariantMap& overrides)
{
    QVariantMap properties {{"Type", 6U}, {"Model", model}, {"Serial", "AA:BB:CC:DD:EE:01"},
        {"NativePath", "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01"}, {"Percentage", percentage}, {"State", 2U},
        {"BatteryLevel", 1U}, {"PowerSupply", false}, {"IsPresent", true}, {"UpdateTime", qulonglong {0}},
        {"Energy", 0.0}, {"TimeToEmpty", qlonglong {0}}};
    properties.insert(overrides);
    return properties;
}

void UPowerMock::add(const QString& name, const QVariantMap& properties)
{
    mock(QStringLiteral("AddPlain"),
        {"/org/freedesktop/UPower/devices/" + name, QStringLiteral("org.freedesktop.UPower.Device"), properties});
}

void UPowerMock::addKeyboards(const QString& prefix, int first, int count, double percentage)
{
    for (int i = first; i < first + count; ++i) {
        const QVariantMap serial {{"Serial", QStringLiteral("AA:BB:%1").arg(i, 8, 16, QLatin1Char('0'))}};
        add(prefix + QString::number(i), keyboard(QStringLiteral("Keyboard %1").arg(i), percentage, serial));
    }
}

} // namespace corvane::test
