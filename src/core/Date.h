#pragma once

#include <chrono>

namespace corvane {

// A moment in time, as stored in the settings: microseconds since the Unix
// epoch, UTC. Microseconds reach far beyond the distant-future date.
using Date = std::chrono::sys_time<std::chrono::microseconds>;

// The far-future reminder date, 4001-01-01T00:00:00Z: "warned already".
inline constexpr Date kDistantFuture {std::chrono::sys_days {std::chrono::year {4001} / std::chrono::January / 1}};

} // namespace corvane
