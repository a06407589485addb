#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace corvane {

// Where the device window goes beside the tray item. Pure: the caller passes
// what the desktop says and re-asks whenever the window's size changes, so
// that the window grows away from the panel and never over it.
//
// With the item's geometry (`item` not empty): the window lies against the
// edge of `available` nearest the item (the panel's edge), centred on the item
// along that edge. Without it, the window goes at `pointer`: centred on it,
// below it in the upper half of the area, above it otherwise. Either way the
// window stays within `available`; one taller or wider than the area starts
// at its top or left.
QPoint popupPosition(QRect item, QPoint pointer, QSize window, QRect available);

} // namespace corvane
