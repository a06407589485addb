#include "core/BatteryEstimate.h"
#include "support/BatteryTrace.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using namespace std::chrono;
using Kind = BatteryEstimate::Kind;

const Date kStart {sys_days {2027y / March / 1} + hours {8}};

using Trace = test::BatteryTrace;

double hoursOf(seconds time) { return duration<double, hours::period>(time).count(); }

// At 1 to 10 % a day, over many noise patterns: within 15 % of the truth after
// two days, or after a week for drains under 4 % a day, whose two-day fall
// is no larger than the noise.
TEST(BatteryEstimateTest, OnASteadyDrainTimeLeftAndRateMatchTheTruth)
{
    for (double perDay = 1; perDay <= 10; ++perDay) {
        const hours history {24 * (perDay < 4 ? 7 : 2)};
        for (unsigned seed = 1; seed <= 50; ++seed) {
            SCOPED_TRACE(std::to_string(int(perDay)) + " % a day, seed " + std::to_string(seed));
            const auto trace = Trace(seed, kStart).drain(95, perDay, history);
            const auto estimate = estimateBattery(trace.readings, trace.now(), 20);
            ASSERT_EQ(estimate.kind, Kind::estimated);
            const double hoursLeft = trace.level() / perDay * 24;
            EXPECT_NEAR(estimate.drainPerDay, perDay, perDay * 0.15);
            EXPECT_NEAR(hoursOf(*estimate.untilEmpty), hoursLeft, hoursLeft * 0.15);
            EXPECT_NEAR(hoursOf(*estimate.untilThreshold), (trace.level() - 20) / perDay * 24, hoursLeft * 0.15);
            EXPECT_FALSE(estimate.lastCharged);
        }
    }
}

// A charge (with or without the charging flag) in the middle of the history:
// only the discharge since counts, and it tells when the device was charged.
TEST(BatteryEstimateTest, OnlyTheDischargeSinceTheLastChargeCounts)
{
    for (bool flagged : {true, false}) {
        Trace trace(7, kStart, 0);
        // Without the flag, the level is simply higher at the next reading.
        trace.drain(90, 30, hours {24 * 2}).charge(hours {flagged ? 3 : 0});
        const Date charged = trace.now();
        trace.drain(80, 4, hours {24});
        const auto estimate = estimateBattery(trace.readings, trace.now(), 20);
        ASSERT_EQ(estimate.kind, Kind::estimated) << flagged;
        EXPECT_NEAR(estimate.drainPerDay, 4, 0.4) << flagged;
        EXPECT_EQ(estimate.lastCharged, charged) << flagged;
    }
}

// One wild reading early, in the middle or late in a steady drain barely moves the estimate and is no charge.
// Times count from now and stop at zero.
TEST(BatteryEstimateTest, OneWildReadingNeitherSwingsTheEstimateNorCountsAsAChargeAndTimesCountFromNow)
{
    const auto trace = Trace(11, kStart, 0).drain(80, 12, hours {48});
    const auto clean = estimateBattery(trace.readings, trace.now(), 20);
    const auto later = estimateBattery(trace.readings, trace.now() + hours {100}, 20);
    ASSERT_EQ(later.kind, Kind::estimated);
    EXPECT_NEAR(hoursOf(*clean.untilEmpty - *later.untilEmpty), 100, 0.5);
    EXPECT_EQ(later.untilThreshold, seconds {0});
    const auto last = trace.readings.size() - 1;
    for (const auto& [at, percent] : std::vector<std::pair<std::size_t, std::int64_t>> {
             {2, 100}, {12, 100}, {12, 0}, {last - 3, 1}, {last, 0}, {last - 1, 97}}) {
        SCOPED_TRACE(std::to_string(at) + ": " + std::to_string(percent));
        auto wild = trace.readings;
        wild[at].percent = percent;
        const auto estimate = estimateBattery(wild, trace.now(), 20);
        ASSERT_EQ(estimate.kind, Kind::estimated);
        EXPECT_NEAR(estimate.drainPerDay, clean.drainPerDay, clean.drainPerDay * 0.05);
        EXPECT_NEAR(hoursOf(*estimate.untilEmpty), hoursOf(*clean.untilEmpty), hoursOf(*clean.untilEmpty) * 0.05);
        EXPECT_FALSE(estimate.lastCharged);
    }
}

// Long before: a full discharge, then the charger; only the readings after it count.
TEST(BatteryEstimateTest, NeedsThreeReadingsOverSixHoursSinceTheCharge)
{
    const auto charged = Trace(1, kStart, 0).drain(90, 20, hours {72}).charge(hours {3});
    for (const auto& [readingsAt, expected] :
        std::vector<std::pair<std::vector<int>, Kind>> {{{0, 48}, Kind::notEnoughHistory},
            {{0, 1, 2, 4, 5}, Kind::notEnoughHistory}, {{0, 3, 6}, Kind::estimated}}) {
        auto trace = charged;
        std::int64_t percent = 100;
        for (const auto at : readingsAt)
            trace.at(charged.now() + hours {at}, percent--);
        EXPECT_EQ(estimateBattery(trace.readings, charged.now() + hours {49}, 20).kind, expected) << readingsAt.size();
    }
}

// Traces that end with no line to draw, or a flat one: on the charger; a level that holds; coarse levels only.
TEST(BatteryEstimateTest, OnTheChargerFlatOrCoarseThereIsNoTimeLeft)
{
    Trace charging(5, kStart), flat(2, kStart, 0), coarse(4, kStart, 0);
    charging.drain(90, 5, hours {72}).at(charging.now() + hours {1}, 70, true);
    flat.at(kStart, 60).at(kStart + hours {4}, 61).at(kStart + hours {8}, 60);
    coarse.drain(90, 10, hours {48});
    for (auto& reading : coarse.readings)
        reading.coarse = true;
    for (const auto& [what, trace, kind] :
        std::vector<std::tuple<const char*, Trace, Kind>> {{"charging", charging, Kind::charging},
            {"flat", flat, Kind::estimated}, {"coarse", coarse, Kind::notEnoughHistory}}) {
        const auto estimate = estimateBattery(trace.readings, trace.readings.back().time, 20);
        EXPECT_EQ(estimate.kind, kind) << what;
        EXPECT_EQ(estimate.drainPerDay, 0) << what;
        EXPECT_FALSE(estimate.untilEmpty || estimate.untilThreshold || estimate.lastCharged) << what;
    }
}

} // namespace
} // namespace corvane
