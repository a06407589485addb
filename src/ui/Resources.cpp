#include "ui/Resources.h"

#include <QColor>
#include <QFile>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

// The resources live in a static library, so they are registered by hand once.
static void registerResources() { Q_INIT_RESOURCE(corvane); }

namespace corvane {

namespace {

// The one colour every piece of our artwork is drawn in; recolouring replaces it.
constexpr char kArtworkColor[] = "#3c3c3c";

QByteArray readResource(const QString& resourcePath)
{
    static const bool registered = (registerResources(), true);
    (void)registered;
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

QPixmap renderSvgResource(const QString& resourcePath, QSize size, qreal devicePixelRatio, const QColor* recolor)
{
    QByteArray svg = readResource(resourcePath);
    if (svg.isEmpty() || size.isEmpty())
        return {};
    if (recolor != nullptr)
        svg.replace(kArtworkColor, recolor->name(QColor::HexRgb).toLatin1());

    QSvgRenderer renderer(svg);
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QSize svgResourceSize(const QString& resourcePath)
{
    const QByteArray svg = readResource(resourcePath);
    if (svg.isEmpty())
        return {};
    return QSvgRenderer(svg).defaultSize();
}

} // namespace corvane
