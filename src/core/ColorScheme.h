#pragma once

namespace corvane {

// The desktop's colour-scheme preference, with the values the XDG desktop
// portal publishes: what the panel is drawn in, where the desktop says.
enum class ColorScheme { NoPreference = 0, Dark = 1, Light = 2 };

} // namespace corvane
