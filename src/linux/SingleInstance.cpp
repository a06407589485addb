#include "linux/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <chrono>
#include <iostream>

namespace corvane {

namespace {

constexpr std::chrono::milliseconds kTimeout {5000};

// What the running instance exports: the desktop's standard application
// interface, of which Corvane only needs activation.
class ApplicationAdaptor final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(std::function<void()> onActivate)
        : m_onActivate(std::move(onActivate))
    {
    }

public Q_SLOTS:
    void Activate(const QVariantMap& /*platformData*/) { m_onActivate(); }
    void Open(const QStringList& /*uris*/, const QVariantMap& /*platformData*/) { m_onActivate(); }
    void ActivateAction(const QString& /*name*/, const QVariantList& /*parameter*/, const QVariantMap& /*platformData*/)
    {
        m_onActivate();
    }

private:
    std::function<void()> m_onActivate;
};

} // namespace

SingleInstance::SingleInstance(QDBusConnection sessionBus, std::function<void()> onActivate)
    : m_bus(std::move(sessionBus))
    , m_adaptor(std::make_unique<ApplicationAdaptor>(std::move(onActivate)))
{
}

SingleInstance::~SingleInstance()
{
    if (!m_owned)
        return;
    m_bus.unregisterObject(QString::fromLatin1(kObjectPath));
    m_bus.unregisterService(QString::fromLatin1(kServiceName));
}

bool SingleInstance::claim()
{
    if (!m_bus.isConnected()) {
        std::cerr << "corvane: no D-Bus session bus; not checking for another running instance\n";
        return true;
    }
    if (m_owned)
        return true;
    // The object is in place before the name is, so an activation that
    // follows the claim at once finds it.
    if (!m_bus.registerObject(QString::fromLatin1(kObjectPath), m_adaptor.get(), QDBusConnection::ExportAllSlots))
        return false;
    if (!m_bus.registerService(QString::fromLatin1(kServiceName))) {
        m_bus.unregisterObject(QString::fromLatin1(kObjectPath));
        return false;
    }
    m_owned = true;
    return true;
}

bool SingleInstance::activateRunning(QDBusConnection sessionBus)
{
    if (!sessionBus.isConnected())
        return false;
    auto call = QDBusMessage::createMethodCall(QString::fromLatin1(kServiceName), QString::fromLatin1(kObjectPath),
        QString::fromLatin1(kInterface), QStringLiteral("Activate"));
    call << QVariantMap();
    const auto reply = sessionBus.call(call, QDBus::Block, static_cast<int>(kTimeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace corvane

#include "SingleInstance.moc"
