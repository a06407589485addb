#include "linux/ColorSchemePortal.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace corvane {
namespace {

TEST(ColorSchemePortal, ReadsAndFollowsTheSchemeFromNewAndOlderPortalsAndHasNoPreferenceWithoutOne)
{
    // No portal on the bus: no preference, and nothing to tell.
    test::PrivateBus bus;
    {
        ColorSchemePortal none(bus.connect());
        QSignalSpy told(&none, &ColorSchemePortal::changed);
        QTest::qWait(300);
        EXPECT_EQ(none.colorScheme(), ColorScheme::NoPreference);
        EXPECT_TRUE(told.isEmpty());
    }
    // An older portal (Read only, a variant in a variant) and a newer one (ReadOne).
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
