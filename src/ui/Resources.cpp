#include "ui/Resources.h"

#include <QColor>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <utility>

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

// Hands every question to the icon it makes on the first one.
class DeferredIconEngine final : public QIconEngine {
public:
    explicit DeferredIconEngine(std::function<QIcon()> make)
        : m_make(std::move(make))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QString key() const override { return QStringLiteral("corvane-deferred"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon& icon()
    {
        if (m_make) {
            m_icon = m_make();
            m_make = nullptr;
        }
        return m_icon;
    }

    std::function<QIcon()> m_make;
    QIcon m_icon;
};

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

QIcon deferredIcon(std::function<QIcon()> make) { return QIcon(new DeferredIconEngine(std::move(make))); }

} // namespace corvane
