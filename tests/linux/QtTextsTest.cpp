#include "linux/QtTexts.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QTranslator>

#include <string>
#include <vector>

namespace corvane {
namespace {

class QtTextsTables : public ::testing::TestWithParam<const char*> { };

INSTANTIATE_TEST_SUITE_P(Languages, QtTextsTables, ::testing::Values("en", "de", "fr"),
    [](const auto& test) { return std::string(test.param); });

// Each embedded table holds every key itself, not by falling back to English, and keeps its placeholder.
TEST_P(QtTextsTables, AreCompleteAndKeepThePlaceholders)
{
    QTranslator table;
    ASSERT_TRUE(table.load(QStringLiteral(":/i18n/corvane_") + QString::fromLatin1(GetParam())));
    for (const char* key : {"LOW_BATTERY_MSG", "REMIND_ME", "REMIND_NEVER", "Notification access denied", "Quit",
             "Connected Bluetooth Devices", "No Bluetooth devices connected", "Notify when battery level lower than",
             "Name", "Status", "About Corvane", "Hide Menu Bar Item", "Quit Corvane", "Corvane", "Version %1",
             "Watches the batteries of your Bluetooth keyboards, mice and other input devices and warns before "
             "they run flat.",
             "Licence: MIT", "More"})
        EXPECT_FALSE(table.translate(QtTexts::kContext, key).isEmpty()) << GetParam() << ": " << key;
    for (const char* key : {"LOW_BATTERY_MSG", "Version %1"})
        EXPECT_EQ(table.translate(QtTexts::kContext, key).count(QStringLiteral("%1")), 1) << key;
}

// The locale's table, else English, else the key itself.
TEST(QtTexts, LookUpFallsBackToEnglishThenToTheKey)
{
    const QtTexts french {QLocale(QLocale::French, QLocale::France)};
    const QtTexts japanese {QLocale(QLocale::Japanese, QLocale::Japan)};
    EXPECT_EQ(french.localized("Notification access denied"), "Accès aux notifications refusé");
    EXPECT_EQ(QtTexts(QLocale(QLocale::German, QLocale::Germany)).localized("Quit"), "Beenden");
    EXPECT_EQ(japanese.localized("REMIND_ME"), "Remind Me Tomorrow");
    EXPECT_EQ(japanese.localized("LOW_BATTERY_MSG"), "Battery level is %1. Charge it soon.");
    EXPECT_EQ(japanese.localized("NO_SUCH_KEY"), "NO_SUCH_KEY");
}

TEST(QtTexts, PercentFollowsTheLocaleWithoutScaling)
{
    EXPECT_EQ(QtTexts(QLocale(QLocale::English, QLocale::UnitedStates)).percent(85), "85%");
    // French puts a no-break space before the sign (narrow in newer CLDR data).
    const auto french = QtTexts(QLocale(QLocale::French, QLocale::France)).percent(85);
    EXPECT_TRUE(french == "85\u00A0%" || french == "85\u202F%") << french;
    EXPECT_EQ(QtTexts(QLocale(QLocale::German, QLocale::Germany)).percent(100), "100\u00A0%");
}

} // namespace
} // namespace corvane
