#pragma once

#include "core/Activation.h"

#include <QMetaObject>

#include <cstdint>
#include <map>
#include <memory>

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
    using Handlers = std::map<std::uint64_t, std::function<void()>>;

    std::shared_ptr<Handlers> m_handlers = std::make_shared<Handlers>();
    std::uint64_t m_nextId = 1;
    QMetaObject::Connection m_becameActive;
};

} // namespace corvane
