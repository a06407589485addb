#pragma once

#include <QPixmap>
#include <QSize>

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

} // namespace corvane
