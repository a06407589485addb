#pragma once

#include "core/Keyboard.h"

#include <QtCore/qnamespace.h>

namespace corvane {

// The Option key of the core is either Alt key, AltGr included, as the window
// system reports the modifiers at this moment (not as of the last event).
class QtKeyboard final : public Keyboard {
public:
    bool isOptionKeyHeld() const override;
    static bool isOptionKey(Qt::KeyboardModifiers modifiers);
};

} // namespace corvane
