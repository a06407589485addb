#pragma once

#include <QDBusConnection>
#include <QObject>

#include <cstdint>
#include <memory>

class QSocketNotifier;

namespace corvane {

// Whether the desktop has a tray to hold an item, followed while Corvane
// runs: a status-notifier watcher with a host on the session bus, or an
// XEmbed tray that owns the display's `_NET_SYSTEM_TRAY_S<screen>`
// selection. Panels start after autostarted programs, restart and get
// replaced; `changed` tells of each such step. Main thread.
class TrayHost final : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char* kWatcherPath = "/StatusNotifierWatcher";

    // Watches `sessionBus` and, where there is an X display, the tray selection
    // through a connection of its own (Qt's is left as it is).
    explicit TrayHost(QDBusConnection sessionBus, QObject* parent = nullptr);
    ~TrayHost() override;

    // A watcher runs and says a host registered with it. Asks the bus (blocks briefly).
    bool hasStatusNotifierHost() const;
    // A window owns the XEmbed tray selection.
    bool hasXEmbedTray() const { return m_trayOwner != 0; }

Q_SIGNALS:
    // A host came, went, restarted or registered; ask again.
    void changed();

private Q_SLOTS:
    void onHostRegistered();

private:
    void openDisplay();
    void readDisplayEvents();
    void followTrayOwner();

    QDBusConnection m_bus;
    struct Display;
    std::unique_ptr<Display> m_display;
    QSocketNotifier* m_displayEvents = nullptr;
    std::uint32_t m_trayOwner = 0;
};

} // namespace corvane
