// Corvane's desktop peers on a private bus: logind's sleep, a second launch, localed's locale and the portal's
// colour scheme.

#include "linux/ColorSchemePortal.h"
#include "linux/DesktopSystemEvents.h"
#include "linux/LocaleWatcher.h"
#include "linux/PrivateBus.h"
#include "linux/QtTexts.h"
#include "linux/SingleInstance.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <future>

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
    const auto inhibit = logind.calls("Inhibit");
    ASSERT_EQ(inhibit.size(), 1);
    EXPECT_EQ(inhibit[0], (QVariantList {"sleep", "Corvane", inhibit[0][2], "delay"}));

    // A did-wake that runs the sleep handlers again, or a will-sleep the wake handlers, never settles.
    for (const bool start : {true, false}) {
        logind.run(QStringLiteral("self.EmitSignal('org.freedesktop.login1.Manager', 'PrepareForSleep', 'b', [%1])")
                       .arg(start ? "True" : "False"));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return sleeps == 1 && wakes == (start ? 0 : 1) && events.holdsInhibitor() != start; }, 15000));
    }
    EXPECT_TRUE(heldWhileSleeping);
    EXPECT_EQ(logind.calls("Inhibit").size(), 2);
}

// A second launch asks from its own process; here from another thread while the main loop serves the first.
bool activateFromAnotherThread(QDBusConnection connection)
{
    auto answer = std::async(std::launch::async, [connection] { return SingleInstance::activateRunning(connection); });
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20000));
    return answer.get();
}

TEST(SingleInstance, ASecondLaunchActivatesTheFirstOnItsMainThread)
{
    test::PrivateBus bus;
    int activations = 0;
    auto first = std::make_unique<SingleInstance>(bus.connect(), [&] {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        ++activations;
    });
    ASSERT_TRUE(first->claim());
    EXPECT_FALSE(SingleInstance(bus.connect(), [] { ADD_FAILURE() << "the second launch was activated"; }).claim());
    EXPECT_TRUE(activateFromAnotherThread(bus.connect()));
    EXPECT_EQ(activations, 1);
    // Once the first has gone, nobody answers, and a new launch may claim the name.
    first.reset();
    EXPECT_FALSE(activateFromAnotherThread(bus.connect()));
    EXPECT_TRUE(SingleInstance(bus.connect(), [] {}).claim());
}

TEST(LocaleWatcher, FollowsTheSystemLocaleUnlessTheEnvironmentChoseItsOwn)
{
    const LocaleVariables en {{"LANG", "en_US.UTF-8"}}, de {{"LANG", "de_DE.UTF-8"}};
    const std::tuple<const char*, LocaleVariables, LocaleVariables, LocaleVariables, EffectiveLocales> cases[] = {
        {"the system's changed", en, en, de, {"de_DE.UTF-8", "de_DE.UTF-8"}},
        {"unchanged", en, en, en, {}},
        {"LC_ALL wins", {{"LANG", "en_US.UTF-8"}, {"LC_ALL", "fr_FR.UTF-8"}}, en, de, {}},
        {"a LANG of the user's own", {{"LANG", "fr_FR.UTF-8"}}, en, de, {}},
        {"own texts, the system's dates", {{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "fr_FR.UTF-8"}}, en, de,
            {"", "de_DE.UTF-8"}},
        {"no locale in the environment", {}, de, de, {"de_DE.UTF-8", "de_DE.UTF-8"}},
        {"the categories' own variables", en, {{"LANG", "en_US.UTF-8"}, {"LC_TIME", "en_GB.UTF-8"}},
            {{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "fr_FR.UTF-8"}, {"LC_TIME", "de_DE.UTF-8"}},
            {"fr_FR.UTF-8", "de_DE.UTF-8"}},
    };
    for (const auto& [what, environment, atStart, now, expected] : cases) {
        const auto locales = effectiveLocales(environment, atStart, now);
        EXPECT_EQ(std::pair(locales.messages, locales.time), std::pair(expected.messages, expected.time)) << what;
    }
}

TEST(LocaleWatcher, SwitchesTheTextsWhenLocaledChangesTheLocaleUnlessLcAllIsSet)
{
    test::PrivateBus bus;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    test::DBusMock localed(bus, QStringLiteral(CORVANE_LOCALED_TEMPLATE), QStringLiteral("org.freedesktop.locale1"),
        QStringLiteral("/org/freedesktop/locale1"), QStringLiteral(R"({"locale": ["LANG=en_US.UTF-8"]})"));
    // On one connection, so that both have seen the change once one has.
    const QDBusConnection connection = bus.connect();
    QtTexts following {QLocale(QStringLiteral("en_US"))}, fixed {QLocale(QStringLiteral("fr_FR"))};
    LocaleWatcher watcher(connection, environment, following);
    auto fixedEnvironment = environment;
    fixedEnvironment.insert(QStringLiteral("LC_ALL"), QStringLiteral("fr_FR.UTF-8"));
    LocaleWatcher notFollowing(connection, fixedEnvironment, fixed);
    QSignalSpy told(&watcher, &LocaleWatcher::changed), notTold(&notFollowing, &LocaleWatcher::changed);
    QTest::qWait(300); // both have read the locale at start, which is no change
    EXPECT_TRUE(told.isEmpty());

    localed.run(QStringLiteral("self.Set('org.freedesktop.locale1', 'Locale', "
                               "dbus.Array(['LANG=de_DE.UTF-8', 'LC_TIME=de_DE.UTF-8'], signature='s'))"));
    ASSERT_TRUE(told.wait(15000));
    EXPECT_EQ(following.localized("Quit"), "Beenden");
    // 31.12.26, 21:00 rather than 12/31/26, 9:00 PM
    EXPECT_NE(following.dateTime(Date(std::chrono::sys_days(std::chrono::year(2026) / 12 / 31))).find(".12."),
        std::string::npos);
    EXPECT_TRUE(notTold.isEmpty());
    EXPECT_EQ(fixed.localized("Quit"), "Quitter");
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
        EXPECT_EQ(portal.calls(QStringLiteral("ReadOne")).size(), readOne ? 1 : 0);

        QSignalSpy told(&colorScheme, &ColorSchemePortal::changed);
        const auto change = [&](const char* group, const char* key, int value) {
            portal.run(QStringLiteral("self.EmitSignal('org.freedesktop.portal.Settings', 'SettingChanged', 'ssv', "
                                      "['%1', '%2', dbus.UInt32(%3, variant_level=1)])")
                           .arg(group, key)
                           .arg(value));
        };
        change("org.freedesktop.appearance", "color-scheme", 2);
        ASSERT_TRUE(told.wait(15000));
        EXPECT_EQ(told.takeFirst().at(0).value<ColorScheme>(), ColorScheme::Light);
        // Other settings pass by; back to no preference is a change too.
        change("org.freedesktop.appearance", "accent-color", 1);
        change("org.gnome.desktop.interface", "color-scheme", 1);
        change("org.freedesktop.appearance", "color-scheme", 0);
        ASSERT_TRUE(told.wait(15000));
        ASSERT_EQ(told.size(), 1);
        EXPECT_EQ(told.takeFirst().at(0).value<ColorScheme>(), ColorScheme::NoPreference);
    }
}

} // namespace
} // namespace corvane
