#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QAction;
class QObject;

namespace corvane {

class Texts;

// Every symbol name (the raw value) the program knows. The names are the
// identifiers the rest of the program uses; each symbol the views draw has an
// SVG of our own in the resources under its name, so no icon theme is needed.
enum class SFSymbol : std::uint8_t {
    none,
    edit,
    charge,
    plus,
    hide,
    circle,
    quit,
    info,
    action,
    connected,
    notConnected,
};

inline constexpr std::array<SFSymbol, 11> kAllSymbols {SFSymbol::none, SFSymbol::edit, SFSymbol::charge, SFSymbol::plus,
    SFSymbol::hide, SFSymbol::circle, SFSymbol::quit, SFSymbol::info, SFSymbol::action, SFSymbol::connected,
    SFSymbol::notConnected};

std::string_view rawValue(SFSymbol symbol);

// The default colour of every symbol: the palette's text softened a quarter
// towards its window colour, a dark grey on a light palette (0x3c3c3c on
// Qt's own) and a light grey on a dark one.
QColor symbolColor(const QPalette& palette);

// The symbol's icon drawn in `color` (its strokes and fills recoloured), at the
// usual small sizes, rendered when first asked for; an empty icon for a symbol
// no view draws. Main thread.
QIcon icon(SFSymbol symbol, const QColor& color);
// The same in the symbol colour of the application's palette at the time of the call.
QIcon icon(SFSymbol symbol);

// An icon followed by a localised title that runs `action` once per
// activation and never on its own. Copies share nothing but the action.
class SFButton {
public:
    SFButton(std::string title, SFSymbol symbol, std::function<void()> action);

    const std::string& title() const { return m_title; }
    SFSymbol symbol() const { return m_symbol; }

    // A menu entry: the icon, then the localised title. Owned by `parent`.
    QAction* makeAction(const Texts& texts, QObject* parent) const;

private:
    std::string m_title;
    SFSymbol m_symbol;
    std::function<void()> m_action;
};

} // namespace corvane

// Hashes a symbol as its raw value string hashes.
template <> struct std::hash<corvane::SFSymbol> {
    std::size_t operator()(corvane::SFSymbol symbol) const noexcept
    {
        return std::hash<std::string_view> {}(corvane::rawValue(symbol));
    }
};
