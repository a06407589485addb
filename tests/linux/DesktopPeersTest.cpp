// Corvane's desktop peers on a private bus: logind's sleep and the portal's colour scheme. A second launch and
// localed's locale are followed in the end-to-end run.

#include "linux/ColorSchemePortal.h"
#include "linux/DesktopSystemEvents.h"
#include "linux/LocaleWatcher.h"
#include "linux/PrivateBus.h"

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

TEST(LocaleWatcher, FollowsTheSystemLocaleUnlessTheEnvironmentChoseItsOwn)
{
    const LocaleVariables en {{"LANG", "en_US.UTF-8"}}, de {{"LANG", "de_DE.UTF-8"}};
    const std::tuple<const char*, LocaleVariables, LocaleVariables, LocaleVariables, EffectiveLocales> cases[] = {
        {"the system's changed", en, en, de, {"de_DE.UTF-8", "de_DE.UTF-8"}},
        {"LC_ALL wins", {{"LANG", "en_US.UTF-8"}, {"LC_ALL", "fr_FR.UTF-8"}}, en, de, {}},
        {"own texts, the system's dates", {{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "fr_FR.UTF-8"}}, en, de,
            {"", "de_DE.UTF-8"}},
    };
    for (const auto& [what, environment, atStart, now, expected] : cases) {
        const auto locales = effectiveLocales(environment, atStart, now);
        EXPECT_EQ(std::pair(locales.messages, locales.time), std::pair(expected.messages, expected.time)) << what;
    }
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
        for (const auto& [group, key, value] :
            std::vector<std::tuple<QString, QString, int>> {{"org.freedesktop.appearance", "accent-color", 0},
                {"org.gnome.desktop.interface", "color-scheme", 0}, {"org.freedesktop.appearance", "color-scheme", 2}})
            portal.run(QStringLiteral("self.EmitSignal('org.freedesktop.portal.Settings', 'SettingChanged', 'ssv', "
                                      "['%1', '%2', dbus.UInt32(%3, variant_level=1)])")
                           .arg(group, key)
                           .arg(value));
        ASSERT_TRUE(told.wait(15000));
        EXPECT_EQ(told.takeFirst().at(0).value<ColorScheme>(), ColorScheme::Light);
    }
}

} // namespace
} // namespace corvane
