#pragma once

#include "core/runtime/Subscription.h"

#include <functional>

namespace corvane {

// The machine's sleep and wake. Each handler runs on the main thread, once
// per event, until its token goes.
class SystemEvents {
public:
    virtual ~SystemEvents() = default;
    virtual Subscription onWillSleep(std::function<void()> handler) = 0;
    virtual Subscription onDidWake(std::function<void()> handler) = 0;
};

} // namespace corvane
