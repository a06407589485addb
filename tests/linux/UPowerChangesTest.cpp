// UPower's signals, on a private bus, through the real registry into a view model that refreshes on
// changes (the rest of the platform is faked; the clock is real). Refreshes are counted from UPower's
// log of `EnumerateDevices` calls.

#include "core/CorvaneViewModel.h"
#include "core/runtime/ThreadClock.h"
#include "linux/PrivateBus.h"
#include "linux/UPowerRegistry.h"
#include "support/FakePlatform.h"

#include <QCoreApplication>
#include <QDBusObjectPath>

#include <gtest/gtest.h>

#include <memory>

namespace corvane {
namespace {

using namespace std::chrono;
using test::UPowerMock;

const QString kDevices = QStringLiteral("/org/freedesktop/UPower/devices/");

class UPowerChangesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_fake.notifications.holdPermission = true;
        const QVariantMap figures {{"UpdateTime", qulonglong {0}}, {"Energy", 0.0}, {"TimeToEmpty", qlonglong {0}}};
        m_upower->add("kbd", UPowerMock::keyboard("K", 50, figures));
        // A laptop battery, as UPower publishes one.
        auto laptop = figures;
        laptop.insert({{"Type", 2U}, {"PowerSupply", true}, {"Serial", "B1"}, {"NativePath", "BAT0"}});
        m_upower->add("BAT0", UPowerMock::keyboard("Laptop", 80, laptop));
        m_viewModel = CorvaneViewModel::create(m_fake.with(m_registry, &m_clock));
        auto task = m_viewModel->updateDevices();
        ASSERT_TRUE(m_fake.main.runUntil([&] { return task.isDone(); }));
        spin(milliseconds(400));
        m_refreshesBefore = m_upower->callsTo("EnumerateDevices");
    }

    // Runs Qt's loop, which delivers UPower's signals, and the view model's main executor for `time`.
    void spin(milliseconds time)
    {
        const auto until = steady_clock::now() + time;
        while (steady_clock::now() < until) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            m_fake.main.runUntil([] { return true; });
            std::this_thread::sleep_for(milliseconds(2));
        }
    }
    // The refreshes since set-up, after waiting long enough for a burst to be handled.
    std::size_t refreshes()
    {
        spin(milliseconds(700));
        return m_upower->callsTo("EnumerateDevices") - m_refreshesBefore;
    }
    void setProperties(const QString& device, const QString& properties)
    {
        m_upower->run(QStringLiteral("objects['%1%2'].UpdateProperties('org.freedesktop.UPower.Device', %3)")
                          .arg(kDevices, device, properties));
    }
    std::int64_t listedPercent()
    {
        const auto& devices = m_viewModel->devices();
        return devices.size() == 1 ? devices[0].status.percent : -1;
    }

    test::PrivateBus m_bus;
    std::unique_ptr<UPowerMock> m_upower = std::make_unique<UPowerMock>(m_bus);
    UPowerRegistry m_registry {m_bus.connect()};
    ThreadClock m_clock;
    test::FakePlatform m_fake;
    std::shared_ptr<CorvaneViewModel> m_viewModel;
    std::size_t m_refreshesBefore = 0;
};

// A laptop battery ticking and figures nobody shows give no refresh; a burst of changes one or two, with the
// last reading shown; a device that appears one, and it is listed.
TEST_F(UPowerChangesTest, OnlyChangesThatMatterRefreshAndABurstOnlyOnceOrTwice)
{
    for (int tick = 0; tick < 5; ++tick) {
        setProperties("BAT0",
            QStringLiteral("{'UpdateTime': dbus.UInt64(%1), 'Energy': dbus.Double(%2), 'TimeToEmpty': dbus.Int64(%3), "
                           "'Percentage': dbus.Double(%4)}")
                .arg(1000 + 30 * tick)
                .arg(40.0 - tick)
                .arg(7200 - 30 * tick)
                .arg(80 - tick));
        setProperties("kbd", QStringLiteral("{'UpdateTime': dbus.UInt64(%1)}").arg(1000 + 30 * tick));
        // UPower's display device (never listed by EnumerateDevices) follows the laptop battery.
        setProperties("DisplayDevice", QStringLiteral("{'Percentage': dbus.Double(%1)}").arg(80 - tick));
    }
    EXPECT_EQ(refreshes(), 0U);
    m_upower->run(QStringLiteral("for i in range(100): objects['%1kbd'].UpdateProperties("
                                 "'org.freedesktop.UPower.Device', {'Percentage': dbus.Double(100.0 - i)})")
                      .arg(kDevices));
    const auto burst = refreshes();
    EXPECT_GE(burst, 1U);
    EXPECT_LE(burst, 2U);
    EXPECT_EQ(listedPercent(), 1) << "the last reading is shown";
    m_upower->add("kbd2", UPowerMock::keyboard("K2", 70, {{"Serial", "AA:BB:CC:DD:EE:02"}}));
    m_upower->mock(QStringLiteral("EmitSignal"),
        {QStringLiteral("org.freedesktop.UPower"), QStringLiteral("DeviceAdded"), QStringLiteral("o"),
            QVariantList {QVariant::fromValue(QDBusObjectPath(kDevices + "kbd2"))}});
    EXPECT_EQ(refreshes(), burst + 1);
    EXPECT_EQ(m_viewModel->devices().size(), 2U);
}

// UPower restarts with other devices: they are read, and a change the new UPower reports is refreshed once
// and warned about.
TEST_F(UPowerChangesTest, ARestartedUPowerIsReadAndItsChangesRefreshAndWarn)
{
    m_upower.reset();
    m_upower = std::make_unique<UPowerMock>(m_bus);
    // The view model's main executor has not run since: no refresh can have started yet.
    m_refreshesBefore = m_upower->callsTo("EnumerateDevices");
    m_upower->add("kbd", UPowerMock::keyboard("K", 30));
    ASSERT_EQ(refreshes(), 1U);
    EXPECT_EQ(listedPercent(), 30);
    setProperties("kbd", "{'Percentage': dbus.Double(6.0)}");
    EXPECT_EQ(refreshes(), 2U);
    EXPECT_EQ(listedPercent(), 6);
    EXPECT_EQ(m_fake.notifications.posted.size(), 1U);
}

} // namespace
} // namespace corvane
