#include "linux/ColorSchemePortal.h"

#include "qt/DBusReply.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>

namespace corvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// Read answers a variant inside a variant (ReadOne a plain one).
QVariant unwrap(QVariant value)
{
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

ColorSchemePortal::ColorSchemePortal(QDBusConnection sessionBus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(sessionBus))
{
    if (!m_bus.isConnected())
        return;
    // Qt's D-Bus looks the slot's argument types up by name, and QDBusVariant's
    // name is known only once something has asked for its type id; before
    // that, this connect fails quietly and no change would ever arrive.
    qRegisterMetaType<QDBusVariant>();
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
        SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    // ReadOne is the portal's newer call; older portals have only Read.
    read(QStringLiteral("ReadOne"));
}

void ColorSchemePortal::read(const QString& method)
{
    auto call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call << kGroup << kKey;
    const auto answered = [this, method](const QDBusPendingReply<QDBusVariant>& reply) {
        if (reply.isError() && reply.error().type() == QDBusError::UnknownMethod && method != QLatin1String("Read"))
            read(QStringLiteral("Read"));
        else if (!reply.isError() && !m_changedSinceRead)
            follow(reply.argumentAt(0));
    };
    onReply<QDBusVariant>(m_bus.asyncCall(call), this, answered);
}

void ColorSchemePortal::onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (group != kGroup || key != kKey)
        return;
    m_changedSinceRead = true;
    follow(value.variant());
}

void ColorSchemePortal::follow(const QVariant& value)
{
    const QVariant plain = unwrap(value);
    bool isNumber = false;
    const uint number = plain.toUInt(&isNumber);
    const ColorScheme scheme = !isNumber || number > 2 ? ColorScheme::NoPreference : static_cast<ColorScheme>(number);
    if (scheme == m_scheme)
        return;
    m_scheme = scheme;
    Q_EMIT changed(scheme);
}

} // namespace corvane
