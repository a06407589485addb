#include "ui/SFSymbol.h"

#include "core/Texts.h"

#include "ui/Resources.h"

#include <QAction>
#include <QGuiApplication>

#include <utility>

namespace corvane {

namespace {

constexpr std::array<std::string_view, kAllSymbols.size()> kRawValues {"none", "square.and.pencil", "ev.charger",
    "plus", "eye.slash", "circle.fill", "x.square", "info.circle", "ellipsis.circle", "checkmark", "nosign"};

constexpr std::array kIconSizes {16, 22, 32, 48, 64};

} // namespace

std::string_view rawValue(SFSymbol symbol) { return kRawValues.at(static_cast<std::size_t>(symbol)); }

QColor symbolColor(const QPalette& palette)
{
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    const auto mix = [](int ink, int paper) { return (3 * ink + paper + 2) / 4; };
    return {mix(text.red(), window.red()), mix(text.green(), window.green()), mix(text.blue(), window.blue())};
}

QIcon icon(SFSymbol symbol) { return icon(symbol, symbolColor(QGuiApplication::palette())); }

QIcon icon(SFSymbol symbol, const QColor& color)
{
    const std::string_view name = rawValue(symbol);
    const QString path
        = QStringLiteral(":/symbols/") + QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    return deferredIcon([path, color] {
        QIcon result;
        for (int size : kIconSizes)
            result.addPixmap(renderSvgResource(path, QSize(size, size), 1.0, &color));
        return result;
    });
}

SFButton::SFButton(std::string title, SFSymbol symbol, std::function<void()> action)
    : m_title(std::move(title))
    , m_symbol(symbol)
    , m_action(std::move(action))
{
}

QAction* SFButton::makeAction(const Texts& texts, QObject* parent) const
{
    auto* action = new QAction(icon(m_symbol), QString::fromStdString(texts.localized(m_title)), parent);
    action->setIconVisibleInMenu(true);
    QObject::connect(action, &QAction::triggered, action, [run = m_action] { run(); });
    return action;
}

} // namespace corvane
