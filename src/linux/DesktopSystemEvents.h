#pragma once

#include "core/SystemEvents.h"
#include "core/runtime/ObserverRegistry.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace corvane {

// Sleep and wake from logind's `PrepareForSleep` on the system bus (true: the
// machine is about to sleep; false: it woke). Holds a logind "delay" inhibitor
// for sleep so that the will-sleep handlers run before the machine goes down:
// released once they ran, taken again after wake; where logind refuses one,
// sleep is simply not delayed. Lives on the main thread; handlers run there.
class DesktopSystemEvents final : public QObject, public SystemEvents {
    Q_OBJECT

public:
    explicit DesktopSystemEvents(QDBusConnection systemBus);
    ~DesktopSystemEvents() override;

    Subscription onWillSleep(std::function<void()> handler) override;
    Subscription onDidWake(std::function<void()> handler) override;

    // Whether a sleep inhibitor is held now.
    bool holdsInhibitor() const { return m_inhibitor.isValid(); }

private Q_SLOTS:
    void onPrepareForSleep(bool start);

private:
    enum class Event { willSleep, didWake };

    Subscription subscribe(Event event, std::function<void()> handler);
    void fire(Event event);
    void takeInhibitor();

    QDBusConnection m_bus;
    ObserverRegistry<Event> m_handlers;
    QDBusUnixFileDescriptor m_inhibitor;
    bool m_inhibitorRequested = false;
};

} // namespace corvane
