#pragma once

#include <QDBusConnection>

#include <functional>
#include <memory>

class QObject;

namespace corvane {

// One Corvane per session: the running instance owns `app.corvane.Corvane` on
// the session bus and serves `org.freedesktop.Application.Activate` at
// `/app/corvane/Corvane`; a second launch asks it to activate and exits.
class SingleInstance {
public:
    static constexpr const char* kServiceName = "app.corvane.Corvane";
    static constexpr const char* kObjectPath = "/app/corvane/Corvane";
    static constexpr const char* kInterface = "org.freedesktop.Application";

    // `onActivate` runs on the main thread each time the instance is activated.
    SingleInstance(QDBusConnection sessionBus, std::function<void()> onActivate);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now owns the name (or there is no session bus,
    // so nothing to coordinate: said on stderr); false when another instance
    // owns it.
    bool claim();

    // Asks the running instance to activate; true when it answered.
    // Blocks for a few seconds at most; safe from any thread.
    static bool activateRunning(QDBusConnection sessionBus);

private:
    QDBusConnection m_bus;
    std::unique_ptr<QObject> m_adaptor;
    bool m_owned = false;
};

} // namespace corvane
