#pragma once

#include "core/runtime/Subscription.h"

#include <functional>

namespace corvane {

// The application being activated: launched a second time, or brought to the
// front by the user. Each handler runs on the main thread, once per
// activation, until its token goes; tokens are given up on the main thread.
class Activation {
public:
    virtual ~Activation() = default;
    virtual Subscription onActivate(std::function<void()> handler) = 0;
};

} // namespace corvane
