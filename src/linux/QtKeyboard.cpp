#include "linux/QtKeyboard.h"

#include <QGuiApplication>

namespace corvane {

bool QtKeyboard::isOptionKeyHeld() const { return isOptionKey(QGuiApplication::queryKeyboardModifiers()); }

bool QtKeyboard::isOptionKey(Qt::KeyboardModifiers modifiers)
{
    // On German, French and many other layouts the right Alt key is AltGr,
    // which X11 reports as a group switch (ISO_Level3_Shift).
    return (modifiers & (Qt::AltModifier | Qt::GroupSwitchModifier)) != Qt::NoModifier;
}

} // namespace corvane
