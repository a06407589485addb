// The cost of one refresh against the device count, beside its floor.
//
// For 1, 10, 100 and 1000 keyboards on python-dbusmock's UPower (a private
// bus), measures one `updateDevices()` of a view model that reads UPower
// through the real registry adapter, and the floor: this same process doing
// nothing but EnumerateDevices and one GetAll per device, as blocking calls
// from a plain thread like the reader's. Prints medians, the ratio (target at
// most 1.2), the cost per device (linear growth keeps it flat) and the UPower
// calls per refresh from the mock's log (target 1 + N).

#include "core/CorvaneViewModel.h"
#include "linux/PrivateBus.h"
#include "linux/UPowerRegistry.h"
#include "support/FakePlatform.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

// What any reader of UPower must do at the least: the calls, nothing else.
std::size_t floorRead(QDBusConnection& bus)
{
    auto enumerate = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/freedesktop/UPower"), kService, QStringLiteral("EnumerateDevices"));
    const auto reply = bus.call(enumerate, QDBus::Block, 30000);
    const auto paths = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0));
    std::size_t read = 0;
    for (const auto& path : paths) {
        auto getAll = QDBusMessage::createMethodCall(
            kService, path.path(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
        getAll << kService + QStringLiteral(".Device");
        read += bus.call(getAll, QDBus::Block, 30000).type() == QDBusMessage::ReplyMessage ? 1U : 0U;
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    corvane::test::PrivateBus bus;
    corvane::test::UPowerMock upower(bus);
    auto floorBus = bus.connect();

    corvane::test::FakePlatform fake;
    fake.notifications.holdPermission = true;
    corvane::UPowerRegistry registry(bus.connect(), seconds(30));
    const Platform platform = fake.platform();
    const Platform onUPower {platform.main, platform.background, platform.clock, registry, platform.settings,
        platform.notifications, platform.events, platform.activation, platform.keyboard, platform.application,
        platform.loginItem, platform.calendar, platform.texts, platform.history};
    auto viewModel = CorvaneViewModel::create(onUPower);

    std::printf("%-8s %12s %12s %8s %14s %14s %12s\n", "devices", "refresh ms", "floor ms", "ratio", "refresh/dev ms",
        "floor/dev ms", "calls");
    std::printf("%-8s %12s %12s %8s %14s %14s %12s\n", "target", "", "", "<= 1.20", "flat", "", "1 + N");
    int present = 0;
    for (const int count : {1, 10, 100, 1000}) {
        upower.addKeyboards(QStringLiteral("kbd"), present, count - present, 64);
        present = count;
        const int runs = count >= 1000 ? 7 : 21;

        std::vector<duration<double, std::milli>> refreshes;
        std::vector<duration<double, std::milli>> floors;
        std::size_t callsPerRefresh = 0;
        // Interleaved, so that a change of load on the machine hits both alike.
        for (int run = 0; run < runs; ++run) {
            upower.mock(QStringLiteral("ClearCalls"));
            const auto enumerations = upower.callsTo("EnumerateDevices");
            const auto reads = upower.callsTo("GetAll");
            const auto started = steady_clock::now();
            auto task = viewModel->updateDevices();
            if (!fake.main.runUntil([&] { return task.isDone(); }, seconds(120)))
                throw std::runtime_error("a refresh never ended");
            refreshes.push_back(steady_clock::now() - started);
            callsPerRefresh = upower.callsTo("EnumerateDevices") - enumerations + upower.callsTo("GetAll") - reads;
            if (viewModel->devices().size() != static_cast<std::size_t>(count))
                throw std::runtime_error("a refresh did not list every device");

            std::size_t read = 0;
            floors.push_back(timeOnThread([&] { read = floorRead(floorBus); }));
            if (read != static_cast<std::size_t>(count))
                throw std::runtime_error("the floor did not read every device");
        }
        const double refresh = medianMilliseconds(refreshes);
        const double floor = medianMilliseconds(floors);
        std::printf("%-8d %12.2f %12.2f %8.2f %14.4f %14.4f %7zu (%d)\n", count, refresh, floor, refresh / floor,
            refresh / count, floor / count, callsPerRefresh, 1 + count);
    }
    return 0;
}
