// The cost of one refresh against the device count, beside its floor.
//
// For 1, 10, 100 and 1000 keyboards on python-dbusmock's UPower (a private
// bus), measures one `updateDevices()` of a view model that reads UPower
// through the real registry adapter, and the floor: this same process doing
// nothing but EnumerateDevices and then every GetAll, as many in flight as
// the bus allows, from a plain thread like the reader's. Prints medians, the ratio (target at most 1.15),
// the cost per device (linear growth keeps it flat) and the UPower calls per
// refresh from the mock's log (target 1 + N).
//
// With `--bus ADDRESS --devices N` it measures instead a UPower that already
// runs on that bus with N input devices (bench/upowerd_bench.py starts the
// real upowerd over simulated kernel batteries there); the calls go uncounted.

#include "core/CorvaneViewModel.h"
#include "linux/PrivateBus.h"
#include "linux/UPowerRegistry.h"
#include "support/FakePlatform.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono;
using corvane::CorvaneViewModel;
using corvane::Platform;

const QString kService = QStringLiteral("org.freedesktop.UPower");

double medianMilliseconds(std::vector<duration<double, std::milli>> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2].count();
}

// What any reader of UPower must do at the least: the calls, as many in flight as the bus lets one
// connection have (dbus-daemon's max_replies_per_connection, 128 by default, also on the system bus),
// nothing else.
std::size_t floorRead(QDBusConnection& bus)
{
    constexpr std::size_t kBusLimit = 128;
    auto enumerate = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/freedesktop/UPower"), kService, QStringLiteral("EnumerateDevices"));
    const auto reply = bus.call(enumerate, QDBus::Block, 30000);
    const auto paths = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0));
    std::deque<QDBusPendingCall> calls;
    std::size_t read = 0;
    for (qsizetype next = 0; next < paths.size() || !calls.empty();) {
        for (; next < paths.size() && calls.size() < kBusLimit; ++next) {
            auto getAll = QDBusMessage::createMethodCall(kService, paths[next].path(),
                QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
            getAll << kService + QStringLiteral(".Device");
            calls.push_back(bus.asyncCall(getAll, 30000));
        }
        calls.front().waitForFinished();
        read += calls.front().reply().type() == QDBusMessage::ReplyMessage ? 1U : 0U;
        calls.pop_front();
    }
    return read;
}

duration<double, std::milli> timeOnThread(const std::function<void()>& work)
{
    const auto started = steady_clock::now();
    std::thread thread(work);
    thread.join();
    return steady_clock::now() - started;
}

// The view model reading UPower on `bus` through the real adapter; the rest is faked.
struct Reader {
    explicit Reader(QDBusConnection bus)
        : registry(std::move(bus), seconds(30))
    {
        fake.notifications.holdPermission = true;
        viewModel = CorvaneViewModel::create(fake.with(registry));
    }
    corvane::test::FakePlatform fake;
    corvane::UPowerRegistry registry;
    std::shared_ptr<CorvaneViewModel> viewModel;
};

// One row: medians of refreshes and floors, interleaved so that a change of load on the machine hits both
// alike. `calls` counts UPower's calls so far, or is empty where nobody counts them.
void measure(Reader& reader, QDBusConnection& floorBus, int count, const std::function<std::size_t()>& calls)
{
    const int runs = count >= 1000 ? 7 : 21;
    std::vector<duration<double, std::milli>> refreshes;
    std::vector<duration<double, std::milli>> floors;
    std::size_t callsPerRefresh = 0;
    for (int run = 0; run < runs; ++run) {
        const auto before = calls ? calls() : 0;
        const auto started = steady_clock::now();
        auto task = reader.viewModel->updateDevices();
        if (!reader.fake.main.runUntil([&] { return task.isDone(); }, seconds(120)))
            throw std::runtime_error("a refresh never ended");
        refreshes.push_back(steady_clock::now() - started);
        callsPerRefresh = calls ? calls() - before : 0;
        if (reader.viewModel->devices().size() != static_cast<std::size_t>(count))
            throw std::runtime_error("a refresh did not list every device");

        std::size_t read = 0;
        floors.push_back(timeOnThread([&] { read = floorRead(floorBus); }));
        if (read != static_cast<std::size_t>(count))
            throw std::runtime_error("the floor did not read every device");
    }
    const double refresh = medianMilliseconds(refreshes);
    const double floor = medianMilliseconds(floors);
    std::printf("%-8d %12.2f %12.2f %8.2f %14.4f %14.4f ", count, refresh, floor, refresh / floor, refresh / count,
        floor / count);
    if (calls)
        std::printf("%7zu (%d)\n", callsPerRefresh, 1 + count);
    else
        std::printf("%12s\n", "-");
    std::fflush(stdout);
}

void printHeader()
{
    std::printf("%-8s %12s %12s %8s %14s %14s %12s\n", "devices", "refresh ms", "floor ms", "ratio", "refresh/dev ms",
        "floor/dev ms", "calls");
    std::printf("%-8s %12s %12s %8s %14s %14s %12s\n", "target", "", "", "<= 1.15", "flat", "", "1 + N");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const auto arguments = QCoreApplication::arguments();
    if (arguments.size() == 5 && arguments[1] == QStringLiteral("--bus")
        && arguments[3] == QStringLiteral("--devices")) {
        // A UPower that runs already, with a known number of devices.
        auto connect = [&](const QString& name) { return QDBusConnection::connectToBus(arguments[2], name); };
        auto floorBus = connect(QStringLiteral("floor"));
        Reader reader(connect(QStringLiteral("reader")));
        if (qEnvironmentVariableIsSet("BENCH_HEADER"))
            printHeader();
        measure(reader, floorBus, arguments[4].toInt(), {});
        return 0;
    }

    corvane::test::PrivateBus bus;
    corvane::test::UPowerMock upower(bus);
    auto floorBus = bus.connect();
    Reader reader(bus.connect());
    printHeader();
    int present = 0;
    for (const int count : {1, 10, 100, 1000}) {
        upower.addKeyboards(QStringLiteral("kbd"), present, count - present, 64);
        present = count;
        measure(reader, floorBus, count, [&upower] {
            upower.mock(QStringLiteral("ClearCalls")); // keeps the mock's own record short; its log file stays
            return upower.callsTo("EnumerateDevices") + upower.callsTo("GetAll");
        });
    }
    return 0;
}
