#pragma once

#include "core/Activation.h"
#include "core/runtime/ObserverRegistry.h"

#include <QMetaObject>

namespace corvane {

// Corvane being activated on the desktop: a second launch, which the single
// instance relays through `activate()`, or the application becoming active
// as one of its windows gains the focus. Main thread.
class QtActivation final : public Activation {
public:
    QtActivation();
    ~QtActivation() override;
    QtActivation(const QtActivation&) = delete;
    QtActivation& operator=(const QtActivation&) = delete;

    Subscription onActivate(std::function<void()> handler) override;
    void activate();

private:
    ObserverRegistry<> m_handlers;
    QMetaObject::Connection m_becameActive;
};

} // namespace corvane
