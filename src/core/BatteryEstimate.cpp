#include "core/BatteryEstimate.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace corvane {

namespace {

using Readings = std::vector<BatteryReading>;

double median(std::vector<double> values)
{
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1)
        return *middle;
    return (*middle + *std::max_element(values.begin(), middle)) / 2;
}

double secondsBetween(Date from, Date to) { return std::chrono::duration<double>(to - from).count(); }

// The typical level of up to three readings from `first` on, one way
// (`step` +1 later, -1 earlier): the middle one of three; of two, the one
// that argues against a rise (`lower` for those after, higher for those before).
std::int64_t typicalLevel(const Readings& readings, std::size_t first, int step, bool lower)
{
    std::vector<std::int64_t> levels;
    for (auto at = static_cast<std::ptrdiff_t>(first);
         levels.size() < 3 && at >= 0 && at < static_cast<std::ptrdiff_t>(readings.size()); at += step)
        levels.push_back(readings[static_cast<std::size_t>(at)].percent);
    std::sort(levels.begin(), levels.end());
    if (levels.size() == 3)
        return levels[1];
    return lower ? levels.front() : levels.back();
}

// A rise between readings `after - 1` and `after` that the readings on both
// sides agree on, so that one wild reading, high or low, is no rise.
bool roseBefore(const Readings& readings, std::size_t after)
{
    return typicalLevel(readings, after, 1, true) > typicalLevel(readings, after - 1, -1, false) + estimate::kNoise;
}

// Where the current discharge begins: after the last reading on the charger,
// and after the last rise since. Near a rise the windows of several
// neighbouring readings see it; the rise is the largest step among them.
std::size_t dischargeStart(const Readings& readings)
{
    std::size_t base = 0;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        if (readings[i].charging)
            base = i + 1;
    }
    const Readings since(readings.begin() + static_cast<std::ptrdiff_t>(base), readings.end());
    std::size_t after = since.empty() ? 0 : since.size() - 1;
    while (after > 0 && !roseBefore(since, after))
        --after;
    std::size_t start = after;
    for (; after > 0 && roseBefore(since, after); --after) {
        if (since[after].percent - since[after - 1].percent > since[start].percent - since[start - 1].percent)
            start = after;
    }
    return base + start;
}

// Theil-Sen: the median of the slopes between every two readings, in percent per second.
std::optional<double> robustSlope(const Readings& run)
{
    std::vector<double> slopes;
    slopes.reserve(run.size() * (run.size() - 1) / 2);
    for (std::size_t i = 0; i < run.size(); ++i) {
        for (std::size_t j = i + 1; j < run.size(); ++j) {
            const double span = secondsBetween(run[i].time, run[j].time);
            if (span > 0)
                slopes.push_back(static_cast<double>(run[j].percent - run[i].percent) / span);
        }
    }
    if (slopes.empty())
        return std::nullopt;
    return median(std::move(slopes));
}

} // namespace

BatteryEstimate estimateBattery(Readings readings, Date now, std::int64_t threshold)
{
    std::erase_if(readings, [now](const BatteryReading& reading) { return reading.time > now; });
    std::stable_sort(readings.begin(), readings.end(),
        [](const BatteryReading& a, const BatteryReading& b) { return a.time < b.time; });
    BatteryEstimate result;
    if (!readings.empty() && readings.back().charging) {
        result.kind = BatteryEstimate::Kind::charging;
        return result;
    }
    std::erase_if(readings, [](const BatteryReading& reading) { return reading.coarse; });

    const auto start = dischargeStart(readings);
    if (start > 0 && start < readings.size())
        result.lastCharged = readings[start].time;
    Readings run(readings.begin() + static_cast<std::ptrdiff_t>(start), readings.end());
    if (run.size() < estimate::kMinimumReadings || run.back().time - run.front().time < estimate::kMinimumSpan)
        return result;
    if (run.size() > estimate::kMaximumFitted)
        run.erase(run.begin(), run.end() - static_cast<std::ptrdiff_t>(estimate::kMaximumFitted));

    const auto slope = robustSlope(run);
    if (!slope)
        return result;
    std::vector<double> offsets;
    for (const auto& reading : run)
        offsets.push_back(
            static_cast<double>(reading.percent) - *slope * secondsBetween(run.front().time, reading.time));
    const double levelNow
        = std::clamp(median(std::move(offsets)) + *slope * secondsBetween(run.front().time, now), 0.0, 100.0);

    result.kind = BatteryEstimate::Kind::estimated;
    if (*slope >= 0)
        return result;
    const double drainPerSecond = -*slope;
    result.drainPerDay = drainPerSecond * 86400;
    const auto timeTo = [&](double level) {
        return std::chrono::seconds {static_cast<std::int64_t>(std::max(0.0, (levelNow - level) / drainPerSecond))};
    };
    result.untilThreshold = timeTo(static_cast<double>(threshold));
    result.untilEmpty = timeTo(0);
    return result;
}

} // namespace corvane
