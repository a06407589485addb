#include "faults/UPowerFleet.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <stdexcept>

namespace corvane::test {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower");
const QString kDevices = QStringLiteral("/org/freedesktop/UPower/devices/");
const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
constexpr uint kKeyboardType = 6;
const QString kBulkMethod = QStringLiteral("AddKeyboards");

// Runs in the mock's own interpreter: args are prefix, first, count, percentage.
const QString kBulkCode = QStringLiteral(R"(for i in range(args[1], args[1] + args[2]):
    serial = 'AA:BB:%02X:%02X:%02X:%02X' % ((i >> 24) & 255, (i >> 16) & 255, (i >> 8) & 255, i & 255)
    self.AddObject('/org/freedesktop/UPower/devices/%s%d' % (args[0], i), 'org.freedesktop.UPower.Device', {
        'Type': dbus.UInt32(6), 'Model': dbus.String('Keyboard %d' % i), 'Serial': dbus.String(serial),
        'NativePath': dbus.String('/org/bluez/hci0/dev_' + serial.replace(':', '_')),
        'Percentage': dbus.Double(args[3]), 'State': dbus.UInt32(2), 'BatteryLevel': dbus.UInt32(1),
        'PowerSupply': dbus.Boolean(False), 'IsPresent': dbus.Boolean(True)}, []))");

QDBusMessage call(DBusMock& upower, QDBusMessage message)
{
    auto reply = upower.connection().call(message, QDBus::Block, 120000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw std::runtime_error(message.member().toStdString() + " failed: " + reply.errorMessage().toStdString());
    return reply;
}

} // namespace

QVariantMap upowerKeyboard(const QString& model, const QString& serial, double percentage)
{
    QString nativePath = QStringLiteral("/org/bluez/hci0/dev_") + QString(serial).replace(QLatin1Char(':'), '_');
    return {{"Type", uint {kKeyboardType}}, {"Model", model}, {"Serial", serial}, {"NativePath", nativePath},
        {"Percentage", percentage}, {"State", uint {2}}, {"BatteryLevel", uint {1}}, {"PowerSupply", false},
        {"IsPresent", true}};
}

UPowerFleet::UPowerFleet(DBusMock& upower)
    : m_upower(upower)
{
    auto addMethod = QDBusMessage::createMethodCall(kService, kPath, kMockInterface, QStringLiteral("AddMethod"));
    addMethod << kMockInterface << kBulkMethod << QStringLiteral("siid") << QString() << kBulkCode;
    call(m_upower, addMethod);
}

void UPowerFleet::add(const QString& name, const QVariantMap& properties)
{
    m_upower.addObject(kDevices + name, kService + QStringLiteral(".Device"), properties);
    m_upower.emitSignal(kPath, kService, QStringLiteral("DeviceAdded"), QStringLiteral("o"),
        {QVariant::fromValue(QDBusObjectPath(kDevices + name))});
}

void UPowerFleet::remove(const QString& name)
{
    auto message = QDBusMessage::createMethodCall(kService, kPath, kMockInterface, QStringLiteral("RemoveObject"));
    message << kDevices + name;
    call(m_upower, message);
}

void UPowerFleet::addKeyboards(const QString& prefix, int first, int count, double percentage)
{
    auto message = QDBusMessage::createMethodCall(kService, kPath, kMockInterface, kBulkMethod);
    message << prefix << first << count << percentage;
    call(m_upower, message);
}

std::size_t UPowerFleet::callsTo(const std::string& method) const
{
    const auto log = m_upower.log();
    std::size_t found = 0;
    for (auto at = log.find(method); at != std::string::npos; at = log.find(method, at + 1))
        ++found;
    return found;
}

} // namespace corvane::test
