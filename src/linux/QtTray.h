#pragma once

#include <QObject>

#include <functional>
#include <optional>

namespace corvane {

class TrayHost;

enum class TrayKind { StatusNotifier, XEmbed };

// What Qt's tray can do with the hosts there now.
struct TrayOutlook {
    std::optional<TrayKind> settled; // the kind Qt keeps from its first look at a host
    bool available = false; // a host of that kind is there
    bool restartNeeded = false; // only a host of the other kind is: only a fresh process can show the item there
    bool operator==(const TrayOutlook&) const = default;
};

// The outlook with the hosts present, given the kind Qt settled on, if it did
// (the status notifier first, where both are there).
TrayOutlook trayOutlook(bool statusNotifier, bool xembed, std::optional<TrayKind> settled);

// Qt's tray as the tray host comes and goes. Qt settles on the
// status-notifier watcher or XEmbed at its first look and keeps that answer
// for the whole process, so it is asked only once a host of either kind is
// there, and the kind it settled on is remembered here. Main thread.
class QtTray final : public QObject {
    Q_OBJECT

public:
    // `qtSeesTray`: whether Qt itself finds its tray (QSystemTrayIcon::isSystemTrayAvailable),
    // asked where the host is an XEmbed tray.
    QtTray(TrayHost& host, std::function<bool()> qtSeesTray, QObject* parent = nullptr);

    // A host of the kind Qt serves is there.
    bool available();

Q_SIGNALS:
    // At each change of the host, and when a second look finds otherwise:
    // each true asks for a fresh item, which a restarted host needs to see it.
    void availabilityChanged(bool available);
    // Once, when the only host is of the other kind (a panel replaced by another).
    void restartNeeded();

private:
    // Asks the host, and settles Qt's kind where it can.
    TrayOutlook look();
    void onHostChanged();
    void lookAgain();

    TrayHost& m_host;
    std::function<bool()> m_qtSeesTray;
    std::optional<TrayKind> m_settled;
    bool m_told = false;
    bool m_restartAsked = false;
};

} // namespace corvane
