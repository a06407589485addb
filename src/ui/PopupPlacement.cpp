#include "ui/PopupPlacement.h"

#include <algorithm>

namespace corvane {

namespace {

enum class Edge { top, bottom, left, right };

// The edge of `available` nearest `point`; a point outside the area (on a
// panel) is nearest the edge it lies beyond.
Edge nearestEdge(QPoint point, QRect available)
{
    const int toTop = point.y() - available.top();
    const int toBottom = available.bottom() - point.y();
    const int toLeft = point.x() - available.left();
    const int toRight = available.right() - point.x();
    const int nearest = std::min({toTop, toBottom, toLeft, toRight});
    if (nearest == toBottom)
        return Edge::bottom;
    if (nearest == toTop)
        return Edge::top;
    return nearest == toLeft ? Edge::left : Edge::right;
}

int clampInto(int start, int length, int areaStart, int areaLength)
{
    return std::clamp(start, areaStart, std::max(areaStart, areaStart + areaLength - length));
}

} // namespace

QPoint popupPosition(QRect item, QPoint pointer, QSize window, QRect available)
{
    const int w = window.width(), h = window.height();
    int x = 0, y = 0;
    if (item.isEmpty()) {
        x = pointer.x() - w / 2;
        y = pointer.y() < available.center().y() ? pointer.y() + 1 : pointer.y() - h;
    } else {
        const QPoint centre = item.center();
        x = centre.x() - w / 2;
        y = centre.y() - h / 2;
        switch (nearestEdge(centre, available)) {
        case Edge::top:
            y = available.top();
            break;
        case Edge::bottom:
            y = available.bottom() + 1 - h;
            break;
        case Edge::left:
            x = available.left();
            break;
        case Edge::right:
            x = available.right() + 1 - w;
            break;
        }
    }
    return {clampInto(x, w, available.left(), available.width()), clampInto(y, h, available.top(), available.height())};
}

} // namespace corvane
