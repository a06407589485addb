#pragma once

#include "core/Keyboard.h"

#include <QtCore/qnamespace.h>

namespace corvane {

// The Option key of the core is either Alt key, AltGr included, as the window
// system reports the modifiers at this moment (not as of the last event). On
// X11 that is the keyboard's state whichever window has the focus. Wayland
// tells a client its modifiers only while one of its own surfaces has the
// keyboard focus, so there Alt reads as held only while Corvane's window is
// focused: a second launch from another program sees it released.
class QtKeyboard final : public Keyboard {
public:
    bool isOptionKeyHeld() const override;
    static bool isOptionKey(Qt::KeyboardModifiers modifiers);
};

} // namespace corvane
