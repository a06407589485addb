#include "linux/QtActivation.h"

#include <QGuiApplication>

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
    return m_handlers.subscribe(std::move(handler));
}

void QtActivation::activate() { m_handlers.notify(); }

} // namespace corvane
