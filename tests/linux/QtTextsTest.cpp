#include "linux/QtTexts.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QTranslator>

#include <string>
#include <vector>

namespace corvane {
namespace {

const std::vector<std::string> kKeys {"LOW_BATTERY_MSG", "REMIND_ME", "REMIND_NEVER", "Notification access denied",
    "Quit", "Connected Bluetooth Devices", "No Bluetooth devices connected", "Notify when battery level lower than",
    "Name", "Status", "About Corvane", "Hide Menu Bar Item", "Quit Corvane", "Corvane", "Version %1",
    "Watches the batteries of your Bluetooth keyboards, mice and other input devices and warns before they run flat.",
    "Licence: MIT", "More"};

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++found;
    return found;
}

class QtTextsTables : public ::testing::TestWithParam<const char*> { };

INSTANTIATE_TEST_SUITE_P(Languages, QtTextsTables, ::testing::Values("en", "de", "fr"),
    [](const auto& test) { return std::string(test.param); });

// Each embedded table holds every key itself, not by falling back to English.
TEST_P(QtTextsTables, AreCompleteAndKeepThePlaceholders)
{
    QTranslator table;
    ASSERT_TRUE(table.load(QStringLiteral(":/i18n/corvane_") + QString::fromLatin1(GetParam())));
    for (const auto& key : kKeys)
        EXPECT_FALSE(table.translate(QtTexts::kContext, key.c_str()).isEmpty()) << GetParam() << ": " << key;

    QtTexts texts {QLocale(QString::fromLatin1(GetParam()))};
    EXPECT_EQ(count(texts.localized("LOW_BATTERY_MSG"), "%1"), 1U);
    EXPECT_EQ(count(texts.localized("Version %1"), "%1"), 1U);
    EXPECT_NE(texts.localized("REMIND_ME"), "REMIND_ME");
    EXPECT_NE(texts.localized("REMIND_NEVER"), "REMIND_NEVER");
    EXPECT_NE(texts.localized("REMIND_ME"), texts.localized("REMIND_NEVER"));
}

TEST(QtTexts, EnglishPhrasesAreTheirOwnKeys)
{
    QtTexts texts {QLocale(QLocale::English, QLocale::UnitedStates)};
    EXPECT_EQ(texts.localized("LOW_BATTERY_MSG"), "Battery level is %1. Charge it soon.");
    EXPECT_EQ(texts.localized("Notification access denied"), "Notification access denied");
    EXPECT_EQ(texts.localized("Quit"), "Quit");
}

TEST(QtTexts, GermanAndFrenchDifferFromEnglish)
{
    QtTexts german {QLocale(QLocale::German, QLocale::Germany)};
    QtTexts french {QLocale(QLocale::French, QLocale::France)};
    EXPECT_EQ(german.localized("Quit"), "Beenden");
    EXPECT_EQ(french.localized("Quit"), "Quitter");
    EXPECT_EQ(french.localized("Notification access denied"), "Accès aux notifications refusé");
}

TEST(QtTexts, UnknownLanguageReadsEnglishAndUnknownKeyReadsItself)
{
    QtTexts texts {QLocale(QLocale::Japanese, QLocale::Japan)};
    EXPECT_EQ(texts.localized("REMIND_ME"), "Remind Me Tomorrow");
    EXPECT_EQ(texts.localized("NO_SUCH_KEY"), "NO_SUCH_KEY");
}

TEST(QtTexts, PercentFollowsTheLocaleWithoutScaling)
{
    EXPECT_EQ(QtTexts(QLocale(QLocale::English, QLocale::UnitedStates)).percent(85), "85%");
    EXPECT_EQ(QtTexts(QLocale(QLocale::English, QLocale::UnitedStates)).percent(0), "0%");
    // French puts a no-break space before the sign (narrow in newer CLDR data).
    const auto french = QtTexts(QLocale(QLocale::French, QLocale::France)).percent(85);
    EXPECT_TRUE(french == "85\u00A0%" || french == "85\u202F%") << french;
    EXPECT_EQ(QtTexts(QLocale(QLocale::German, QLocale::Germany)).percent(100), "100\u00A0%");
}

} // namespace
} // namespace corvane
