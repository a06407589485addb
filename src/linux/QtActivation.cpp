#include "linux/QtActivation.h"

#include <QGuiApplication>

#include <vector>

namespace corvane {

QtActivation::QtActivation()
{
    // Without a GUI application (a plain core application) there are no windows to gain the focus.
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        m_becameActive = QObject::connect(
            application, &QGuiApplication::applicationStateChanged, [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive)
                    activate();
            });
}

QtActivation::~QtActivation() { QObject::disconnect(m_becameActive); }

Subscription QtActivation::onActivate(std::function<void()> handler)
{
    const auto id = m_nextId++;
    m_handlers->emplace(id, std::move(handler));
    return Subscription([weak = std::weak_ptr<Handlers>(m_handlers), id] {
        if (auto handlers = weak.lock())
            handlers->erase(id);
    });
}

void QtActivation::activate()
{
    // A copy, so that a handler may subscribe or cancel.
    const Handlers handlers = *m_handlers;
    for (const auto& [id, handler] : handlers)
        handler();
}

} // namespace corvane
