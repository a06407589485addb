// Corvane's desktop peers: logind's sleep and the portal's colour scheme on a private bus, and the tray hosts. A
// second launch and localed's locale are followed in the end-to-end run.

#include "linux/ColorSchemePortal.h"
#include "linux/DesktopSystemEvents.h"
#include "linux/PrivateBus.h"
#include "linux/QtTray.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace corvane {
namespace {

TEST(DesktopSystemEvents, TheDelayInhibitorIsReleasedAfterTheSleepHandlersAndTakenAgainOnWake)
{
    test::PrivateBus bus;
    test::DBusMock logind(bus, QStringLiteral("logind"), QStringLiteral("org.freedesktop.login1"),
        QStringLiteral("/org/freedesktop/login1"));
    DesktopSystemEvents events(bus.connect());
    int sleeps = 0, wakes = 0;
    bool heldWhileSleeping = false;
    auto sleepToken = events.onWillSleep([&] {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        heldWhileSleeping = events.holdsInhibitor();
        ++sleeps;
    });
    auto wakeToken = events.onDidWake([&] { ++wakes; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.holdsInhibitor(); }, 15000));
    const auto inhibit = logind.calls("Inhibit").value(0);
    EXPECT_EQ(inhibit, (QVariantList {"sleep", "Corvane", inhibit.value(2), "delay"}));

    // A did-wake that runs the sleep handlers again, or a will-sleep the wake handlers, never settles.
    for (const bool start : {true, false}) {
        logind.run(QStringLiteral("self.EmitSignal('org.freedesktop.login1.Manager', 'PrepareForSleep', 'b', [%1])")
                       .arg(start ? "True" : "False"));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return sleeps == 1 && wakes == (start ? 0 : 1) && events.holdsInhibitor() != start; }, 15000));
    }
    EXPECT_TRUE(heldWhileSleeping);
}

TEST(ColorSchemePortal, ReadsAndFollowsTheSchemeFromNewAndOlderPortals)
{
    test::PrivateBus bus;
    // An older portal (Read only, a variant in a variant) and a newer one (ReadOne). The first portal of the
    // process must follow changes without any help from an earlier one.
    for (const bool readOne : {false, true}) {
        SCOPED_TRACE(readOne ? "ReadOne" : "Read");
        test::DBusMock portal(bus, QStringLiteral(CORVANE_PORTAL_TEMPLATE),
            QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral(R"({"color-scheme": 1, "read-one": %1})").arg(readOne ? "true" : "false"));
        ColorSchemePortal colorScheme(bus.connect());
        ASSERT_TRUE(QTest::qWaitFor([&] { return colorScheme.colorScheme() == ColorScheme::Dark; }, 15000));

        QSignalSpy told(&colorScheme, &ColorSchemePortal::changed);
        // Other settings pass by; they come first.
        portal.run(
            "for group, key, value in [('org.freedesktop.appearance', 'accent-color', 0), "
            "('org.gnome.desktop.interface', 'color-scheme', 0), ('org.freedesktop.appearance', 'color-scheme', 2)]:\n"
            "    self.EmitSignal('org.freedesktop.portal.Settings', 'SettingChanged', 'ssv', "
            "[group, key, dbus.UInt32(value, variant_level=1)])");
        ASSERT_TRUE(told.wait(15000));
        EXPECT_EQ(told.takeFirst().at(0).value<ColorScheme>(), ColorScheme::Light);
    }
}

TEST(QtTray, SettlesOnTheFirstHostsKindAndAsksForARestartWhenOnlyTheOtherKindIsThere)
{
    constexpr auto sni = TrayKind::StatusNotifier, xembed = TrayKind::XEmbed;
    // Whether a StatusNotifier host and an XEmbed tray are there, the kind settled on, and the outlook.
    const std::tuple<bool, bool, std::optional<TrayKind>, TrayOutlook> cases[] = {
        {false, false, {}, {}},
        {true, false, {}, {sni, true, false}},
        {false, true, {}, {xembed, true, false}},
        {true, true, {}, {sni, true, false}},
        {false, false, sni, {sni, false, false}},
        {false, true, sni, {sni, false, true}},
        {true, true, xembed, {xembed, true, false}},
    };
    for (const auto& [statusNotifier, xembedTray, settled, expected] : cases)
        EXPECT_TRUE(trayOutlook(statusNotifier, xembedTray, settled) == expected)
            << statusNotifier << xembedTray << (settled ? static_cast<int>(*settled) : -1);
}

} // namespace
} // namespace corvane
