#include "linux/LocaleWatcher.h"

#include "linux/PrivateBus.h"
#include "linux/QtTexts.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace corvane {
namespace {

struct LocaleCase {
    const char* what;
    LocaleVariables environment, atStart, now;
    EffectiveLocales expected;
};

TEST(LocaleWatcher, FollowsTheSystemLocaleUnlessTheEnvironmentChoseItsOwn)
{
    const LocaleVariables en {{"LANG", "en_US.UTF-8"}}, de {{"LANG", "de_DE.UTF-8"}};
    const LocaleCase cases[] = {
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
    for (const auto& c : cases) {
        const auto locales = effectiveLocales(c.environment, c.atStart, c.now);
        EXPECT_EQ(locales.messages, c.expected.messages) << c.what;
        EXPECT_EQ(locales.time, c.expected.time) << c.what;
    }
}

TEST(LocaleWatcher, SwitchesTheTextsWhenLocaledChangesTheLocaleUnlessLcAllIsSet)
{
    test::PrivateBus bus;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    {
        // No localed on the bus: nothing changes.
        QtTexts texts {QLocale(QStringLiteral("en_US"))};
        LocaleWatcher none(bus.connect(), environment, texts);
        QSignalSpy told(&none, &LocaleWatcher::changed);
        QTest::qWait(300);
        EXPECT_TRUE(told.isEmpty());
    }
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

} // namespace
} // namespace corvane
