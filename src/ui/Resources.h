#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

#include <functional>

class QColor;
class QString;

namespace corvane {

// Renders the SVG at `resourcePath` (under ":/", built into the program) at
// `size` device-independent pixels and `devicePixelRatio`, with its artwork
// colour replaced by `recolor` when one is given. A null pixmap when the
// resource is missing. Main thread.
QPixmap renderSvgResource(
    const QString& resourcePath, QSize size, qreal devicePixelRatio = 1.0, const QColor* recolor = nullptr);

// The SVG's own size in its units, or an empty size when it is missing.
QSize svgResourceSize(const QString& resourcePath);

// The icon `make` returns, made the first time anything asks the icon for
// its looks: icons of menus and windows not yet shown cost nothing at start.
// Main thread.
QIcon deferredIcon(std::function<QIcon()> make);

} // namespace corvane
