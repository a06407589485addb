#include "linux/QtTray.h"

#include "linux/TrayHost.h"

#include <QTimer>

#include <chrono>

namespace corvane {

TrayOutlook trayOutlook(bool statusNotifier, bool xembed, std::optional<TrayKind> settled)
{
    if (!settled && (statusNotifier || xembed))
        settled = statusNotifier ? TrayKind::StatusNotifier : TrayKind::XEmbed;
    if (!settled)
        return {};
    const bool ours = *settled == TrayKind::StatusNotifier ? statusNotifier : xembed;
    const bool other = *settled == TrayKind::StatusNotifier ? xembed : statusNotifier;
    return {settled, ours, !ours && other};
}

QtTray::QtTray(TrayHost& host, std::function<bool()> qtSeesTray, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_qtSeesTray(std::move(qtSeesTray))
{
    connect(&m_host, &TrayHost::changed, this, &QtTray::onHostChanged);
}

bool QtTray::available() { return look().available; }

TrayOutlook QtTray::look()
{
    auto outlook = trayOutlook(m_host.hasStatusNotifierHost(), m_host.hasXEmbedTray(), m_settled);
    m_settled = outlook.settled;
    // Qt's own look at a status-notifier host asks the watcher what the host
    // has just answered, over a bus connection it opens for that alone; only
    // its look at an XEmbed tray, through its own display connection, can differ.
    if (outlook.available && outlook.settled == TrayKind::XEmbed)
        outlook.available = m_qtSeesTray();
    m_told = outlook.available;
    return outlook;
}

void QtTray::onHostChanged()
{
    const bool now = available();
    Q_EMIT availabilityChanged(now);
    // A panel offers its kinds one after the other, and Qt follows the
    // XEmbed selection on a connection of its own: look again a moment later.
    if (!now)
        QTimer::singleShot(std::chrono::seconds(2), this, &QtTray::lookAgain);
}

void QtTray::lookAgain()
{
    // Only a change: a fresh item for a host that has one already would replace it under the user.
    const bool before = m_told;
    const TrayOutlook outlook = look();
    if (outlook.available != before)
        Q_EMIT availabilityChanged(outlook.available);
    if (m_restartAsked || !outlook.restartNeeded)
        return;
    m_restartAsked = true;
    Q_EMIT restartNeeded();
}

} // namespace corvane
