#include "linux/TrayHost.h"

#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QSocketNotifier>
#include <QString>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace corvane {

namespace {

constexpr const char* kWatcherInterface = "org.kde.StatusNotifierWatcher";
constexpr std::chrono::milliseconds kTimeout {2000};

xcb_atom_t internAtom(xcb_connection_t* connection, const std::string& name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t {XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

} // namespace

struct TrayHost::Display {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t selection = XCB_ATOM_NONE;
    xcb_atom_t manager = XCB_ATOM_NONE;

    ~Display()
    {
        if (connection != nullptr)
            xcb_disconnect(connection);
    }
};

TrayHost::TrayHost(QDBusConnection sessionBus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(sessionBus))
{
    if (m_bus.isConnected()) {
        auto* watcher = new QDBusServiceWatcher(
            QString::fromLatin1(kWatcherService), m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &TrayHost::changed);
        // A watcher may come up before any host has registered with it.
        m_bus.connect(QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
            QString::fromLatin1(kWatcherInterface), QStringLiteral("StatusNotifierHostRegistered"), this,
            SLOT(onHostRegistered()));
    }
    openDisplay();
}

TrayHost::~TrayHost() = default;

bool TrayHost::hasStatusNotifierHost() const
{
    if (!m_bus.isConnected())
        return false;
    // A plain Get: an interface object would keep the watcher's introspection
    // from before its host registered.
    auto get = QDBusMessage::createMethodCall(QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QString::fromLatin1(kWatcherInterface) << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = m_bus.call(get, QDBus::Block, static_cast<int>(kTimeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

void TrayHost::onHostRegistered() { Q_EMIT changed(); }

void TrayHost::openDisplay()
{
    // Only on X11 (XWayland included); elsewhere the bus is the only way.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    auto display = std::make_unique<Display>();
    int screen = 0;
    display->connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(display->connection) != 0)
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(display->connection));
    for (int i = 0; i < screen && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0)
        return;
    display->root = screens.data->root;
    display->selection = internAtom(display->connection, "_NET_SYSTEM_TRAY_S" + std::to_string(screen));
    display->manager = internAtom(display->connection, "MANAGER");
    // A new tray announces itself to the root window's structure listeners.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(display->connection, display->root, XCB_CW_EVENT_MASK, &mask);
    m_display = std::move(display);
    m_displayEvents = new QSocketNotifier(xcb_get_file_descriptor(m_display->connection), QSocketNotifier::Read, this);
    connect(m_displayEvents, &QSocketNotifier::activated, this, &TrayHost::readDisplayEvents);
    followTrayOwner();
    readDisplayEvents();
}

void TrayHost::followTrayOwner()
{
    xcb_connection_t* connection = m_display->connection;
    xcb_get_selection_owner_reply_t* reply
        = xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, m_display->selection), nullptr);
    m_trayOwner = reply != nullptr ? reply->owner : 0;
    std::free(reply);
    if (m_trayOwner != 0) {
        // Its destruction is the tray going away.
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, m_trayOwner, XCB_CW_EVENT_MASK, &mask);
    }
    xcb_flush(connection);
}

void TrayHost::readDisplayEvents()
{
    bool trayChanged = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_display->connection)) {
        const auto type = event->response_type & 0x7f;
        if (type == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if (message->type == m_display->manager && message->data.data32[1] == m_display->selection) {
                followTrayOwner();
                trayChanged = true;
            }
        } else if (type == XCB_DESTROY_NOTIFY) {
            const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            if (destroyed->window == m_trayOwner && m_trayOwner != 0) {
                followTrayOwner();
                trayChanged = true;
            }
        }
        std::free(event);
    }
    if (trayChanged)
        Q_EMIT changed();
}

} // namespace corvane
