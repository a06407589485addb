#include "linux/QtKeyboard.h"

#include <QGuiApplication>

namespace corvane {

bool QtKeyboard::isOptionKeyHeld() const { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier); }

} // namespace corvane
