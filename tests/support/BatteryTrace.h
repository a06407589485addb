#pragma once

#include "core/HistoryStore.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace corvane::test {

// A device read every hour, as the history keeps it: a reading only when its
// whole percent (the true level plus up to `spread` points either way, rounded,
// as UPower reports it) or its charging differs from the last one kept.
// `now` is the time of the last reading, `level` the true level then.
struct BatteryTrace {
    BatteryTrace(unsigned seed, Date start, double spread = 1.0)
        : random(seed)
        , noise(-spread, spread)
        , now(start)
    {
    }

    // Drains from `from` at `perDay` percent a day for `span` (hourly readings from now on); ends at its last reading.
    BatteryTrace& drain(double from, double perDay, std::chrono::hours span)
    {
        for (std::chrono::hours at {0}; at <= span; at += std::chrono::hours {1}, now += std::chrono::hours {1}) {
            level = std::max(0.0, from - perDay * std::chrono::duration<double, std::chrono::days::period>(at).count());
            add(std::lround(std::clamp(level + noise(random), 0.0, 100.0)), false);
        }
        now -= std::chrono::hours {1};
        return *this;
    }

    // On the charger for `span`, 20 points an hour from 40 %; ends an hour after its last reading.
    BatteryTrace& charge(std::chrono::hours span)
    {
        for (std::chrono::hours at {0}; at < span; at += std::chrono::hours {1}) {
            now += std::chrono::hours {1};
            add(std::min<std::int64_t>(100, 40 + at.count() * 20), true);
        }
        now += std::chrono::hours {1};
        level = 100;
        return *this;
    }

    // One reading as it is, whatever came before.
    BatteryTrace& at(Date time, std::int64_t percent, bool charging = false)
    {
        readings.push_back({"AA:BB", "Keyboard", time, percent, false, charging});
        return *this;
    }

    void add(std::int64_t percent, bool charging)
    {
        BatteryReading reading {"AA:BB", "Keyboard", now, percent, false, charging};
        if (readings.empty() || !readings.back().sameChargeAs(reading))
            readings.push_back(reading);
    }

    std::vector<BatteryReading> readings;
    std::mt19937 random;
    std::uniform_real_distribution<double> noise;
    Date now;
    double level = 0;
};

} // namespace corvane::test
