#include "linux/DesktopSystemEvents.h"

#include "qt/DBusReply.h"

#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QMetaObject>

#include <chrono>

namespace corvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");
constexpr std::chrono::milliseconds kTimeout {5000};

} // namespace

DesktopSystemEvents::DesktopSystemEvents(QDBusConnection systemBus)
    : m_bus(std::move(systemBus))
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    takeInhibitor();
}

DesktopSystemEvents::~DesktopSystemEvents()
{
    if (m_bus.isConnected())
        m_bus.disconnect(
            kService, kPath, kInterface, QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
}

Subscription DesktopSystemEvents::onWillSleep(std::function<void()> handler)
{
    return subscribe(Event::willSleep, std::move(handler));
}

Subscription DesktopSystemEvents::onDidWake(std::function<void()> handler)
{
    return subscribe(Event::didWake, std::move(handler));
}

Subscription DesktopSystemEvents::subscribe(Event event, std::function<void()> handler)
{
    return m_handlers.subscribe(event, std::move(handler));
}

void DesktopSystemEvents::fire(Event event) { m_handlers.notify(event); }

void DesktopSystemEvents::onPrepareForSleep(bool start)
{
    if (!start) {
        fire(Event::didWake);
        takeInhibitor();
        return;
    }
    fire(Event::willSleep);
    // The handlers queue their work on this event loop; let it start before
    // logind may put the machine to sleep.
    QMetaObject::invokeMethod(
        this, [this] { m_inhibitor = QDBusUnixFileDescriptor(); }, Qt::QueuedConnection);
}

void DesktopSystemEvents::takeInhibitor()
{
    if (m_inhibitor.isValid() || m_inhibitorRequested)
        return;
    m_inhibitorRequested = true;
    auto call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Corvane")
         << QStringLiteral("Stop checking device batteries before sleep") << QStringLiteral("delay");
    onReply<QDBusUnixFileDescriptor>(m_bus.asyncCall(call, static_cast<int>(kTimeout.count())), this,
        [this](const QDBusPendingReply<QDBusUnixFileDescriptor>& reply) {
            m_inhibitorRequested = false;
            // Refused (no logind, no permission): sleep is simply not delayed.
            if (!reply.isError())
                m_inhibitor = reply.value();
        });
}

} // namespace corvane
