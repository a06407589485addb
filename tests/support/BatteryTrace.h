#pragma once

#include "core/HistoryStore.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace corvane::test {

// A device read every hour, as the history keeps it: a reading only when its
// whole percent (the true level plus up to `noise` points either way, rounded,
// as UPower reports it) or its charging differs from the last one kept.
class BatteryTrace {
public:
    BatteryTrace(unsigned seed, Date start, double noise = 1.0, std::string serial = "AA:BB")
        : m_random(seed)
        , m_noise(-noise, noise)
        , m_serial(std::move(serial))
        , m_now(start)
    {
    }

    // Drains from `from` at `perDay` percent a day for `span` (hourly readings from now on); ends at its last reading.
    BatteryTrace& drain(double from, double perDay, std::chrono::hours span)
    {
        using namespace std::chrono;
        for (hours at {0}; at <= span; at += hours {1}) {
            m_level = std::max(0.0, from - perDay * duration<double, days::period>(at).count());
            add(m_now + at, std::lround(std::clamp(m_level + m_noise(m_random), 0.0, 100.0)), false);
        }
        m_now += span;
        return *this;
    }

    // On the charger for `span`, 20 points an hour from 40 %; ends an hour after its last reading.
    BatteryTrace& charge(std::chrono::hours span)
    {
        for (std::chrono::hours at {1}; at <= span; ++at)
            add(m_now + at, std::min<std::int64_t>(100, 20 + at.count() * 20), true);
        m_now += span + std::chrono::hours {1};
        m_level = 100;
        return *this;
    }

    // One reading as it is, whatever came before.
    BatteryTrace& at(Date time, std::int64_t percent, bool charging = false)
    {
        readings.push_back({m_serial, "Keyboard", time, percent, false, charging});
        return *this;
    }

    std::vector<BatteryReading> readings;
    // The time of the last reading, and the true level then.
    Date now() const { return m_now; }
    double level() const { return m_level; }

private:
    void add(Date time, std::int64_t percent, bool charging)
    {
        if (readings.empty() || !readings.back().sameChargeAs({m_serial, "Keyboard", time, percent, false, charging}))
            at(time, percent, charging);
    }

    std::mt19937 m_random;
    std::uniform_real_distribution<double> m_noise;
    std::string m_serial;
    Date m_now;
    double m_level = 0;
};

} // namespace corvane::test
