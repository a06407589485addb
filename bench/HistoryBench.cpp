// The battery history: how good the estimate is, what recording costs, how
// large the file grows.
//
// 1. Estimate error: synthetic hourly traces (1 to 10 % a day, up to one point
//    of noise either way, whole percents, kept only when they change), 200
//    noise patterns each; the time left until empty after 2, 4 and 7 days of
//    readings against the true time left. Target: within 15 % after two days.
// 2. Recording cost per refresh at 100 devices through the real SQLite store:
//    on the calling thread (making the readings and the `record` call) and on the store's worker
//    (thread CPU time, and call-to-completion wall time), when every reading
//    changed and when none did. Medians of 200 refreshes.
// 3. File size for 10 devices over a simulated year of hourly refreshes, each
//    draining at its own rate and charged when low, with one point of noise
//    and with five (nearly every refresh kept). Target: under 5 MB.

#include "core/BatteryEstimate.h"
#include "linux/SqliteHistoryStore.h"
#include "support/BatteryTrace.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <future>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono;
using namespace corvane;
namespace fs = std::filesystem;

const Date kStart = floor<seconds>(Date::clock::now()) - days {370};

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

double threadCpuMicroseconds()
{
    timespec time {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) * 1e6 + static_cast<double>(time.tv_nsec) / 1e3;
}

void estimateError()
{
    std::printf("%-10s %-6s %12s %12s %12s %10s %10s\n", "drain %/d", "days", "median err", "90th err", "worst err",
        "no time", "target");
    for (int perDay = 1; perDay <= 10; ++perDay) {
        for (int historyDays : {2, 4, 7}) {
            std::vector<double> errors;
            int noTime = 0;
            for (unsigned seed = 1; seed <= 200; ++seed) {
                test::BatteryTrace trace(seed, kStart);
                trace.drain(95, perDay, hours {24 * historyDays});
                const auto estimate = estimateBattery(trace.readings, trace.now(), 20);
                const double truth = trace.level() / perDay * 24;
                // A level that seems to hold gives no time left at all: counted apart.
                if (!estimate.untilEmpty) {
                    ++noTime;
                    continue;
                }
                const double got = duration<double, hours::period>(*estimate.untilEmpty).count();
                errors.push_back(std::abs(got - truth) / truth * 100);
            }
            std::printf("%-10d %-6d %11.1f%% %11.1f%% %11.1f%% %10d %10s\n", perDay, historyDays,
                percentile(errors, 0.5), percentile(errors, 0.9), percentile(errors, 1.0), noTime,
                historyDays == 2 ? "15%" : "");
        }
    }
}

struct Cost {
    double caller;
    double workerCpu;
    double roundTrip;
};

Cost recordingCost(SqliteHistoryStore& store, int refreshes, bool changing)
{
    std::vector<double> caller, workerCpu, roundTrip;
    double lastCpu = 0;
    for (int refresh = -1; refresh < refreshes; ++refresh) {
        std::promise<double> done;
        // The caller's part: making the readings of a refresh and handing them over.
        const auto started = steady_clock::now();
        std::vector<BatteryReading> readings;
        readings.reserve(100);
        for (int device = 0; device < 100; ++device)
            readings.push_back({"DEV-" + std::to_string(device), "Keyboard " + std::to_string(device),
                kStart + hours {refresh + 2}, changing ? (refresh + device) % 100 : 50, false, false});
        store.record(std::move(readings), [&done](bool) { done.set_value(threadCpuMicroseconds()); });
        const auto returned = steady_clock::now();
        const double cpu = done.get_future().get();
        const auto completed = steady_clock::now();
        // The first refresh warms the worker's statement and device caches.
        if (refresh >= 0) {
            caller.push_back(duration<double, std::micro>(returned - started).count());
            workerCpu.push_back(cpu - lastCpu);
            roundTrip.push_back(duration<double, std::micro>(completed - started).count());
        }
        lastCpu = cpu;
    }
    return {percentile(caller, 0.5), percentile(workerCpu, 0.5), percentile(roundTrip, 0.5)};
}

void recordingCosts(const fs::path& folder)
{
    SqliteHistoryStore store(folder / "cost.sqlite3");
    std::printf("%-22s %14s %16s %16s\n", "100 devices", "caller µs", "worker CPU µs", "call to done µs");
    for (bool changing : {true, false}) {
        const auto cost = recordingCost(store, 200, changing);
        std::printf("%-22s %14.1f %16.1f %16.1f\n", changing ? "every reading changed" : "nothing changed", cost.caller,
            cost.workerCpu, cost.roundTrip);
    }
}

void yearOfHistory(const fs::path& folder, double noise)
{
    const auto file = folder / "year.sqlite3";
    fs::remove(file);
    std::size_t kept = 0;
    {
        std::vector<test::BatteryTrace> devices;
        for (unsigned device = 0; device < 10; ++device) {
            devices.emplace_back(device + 1, kStart, noise, "AA:BB:CC:DD:EE:" + std::to_string(10 + device));
            // Drains of 1 to 10 % a day, charged for three hours whenever they reach 10 %.
            const double perDay = device + 1;
            while (devices.back().now() < kStart + days {365})
                devices.back().drain(100, perDay, hours {static_cast<int>(90 / perDay * 24)}).charge(hours {3});
        }
        // Offered to the store refresh by refresh, as a view model would.
        SqliteHistoryStore store(file, days {400});
        std::vector<std::size_t> next(devices.size(), 0);
        for (Date now = kStart; now < kStart + days {365}; now += hours {1}) {
            std::vector<BatteryReading> refresh;
            for (std::size_t device = 0; device < devices.size(); ++device) {
                const auto& readings = devices[device].readings;
                while (next[device] + 1 < readings.size() && readings[next[device] + 1].time <= now)
                    ++next[device];
                refresh.push_back(readings[next[device]]);
                refresh.back().time = now;
            }
            std::promise<void> done;
            store.record(std::move(refresh), [&done](bool) { done.set_value(); });
            done.get_future().get();
        }
        for (const auto& device : devices)
            kept += device.readings.size();
    }
    std::uintmax_t size = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("year.sqlite3"))
            size += entry.file_size();
    std::printf(
        "10 devices, 365 days of hourly refreshes, noise ±%.0f: %zu readings kept, %.2f MB on disk (target < 5 MB)\n",
        noise, kept, static_cast<double>(size) / 1e6);
}

} // namespace

int main()
{
    const auto folder = fs::temp_directory_path() / ("corvane-history-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::printf("== estimate error: time left until empty against the truth, 200 noise patterns each\n");
    estimateError();
    std::printf("== recording cost per refresh (medians of 200)\n");
    recordingCosts(folder);
    std::printf("== history size\n");
    // Noise of one point, as in the estimate; of five, so that nearly every refresh is kept.
    yearOfHistory(folder, 1);
    yearOfHistory(folder, 5);
    fs::remove_all(folder);
    return 0;
}
