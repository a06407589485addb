#include "linux/QtTexts.h"

#include "linux/PercentTable.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QTranslator>

#include <unicode/measunit.h>
#include <unicode/numberformatter.h>

namespace corvane {
namespace {

// Each embedded table holds every key itself, not by falling back to English, and keeps its placeholders.
TEST(QtTexts, EmbeddedTablesAreCompleteAndKeepThePlaceholders)
{
    for (const char* language : {"en", "de", "fr"}) {
        QTranslator table;
        ASSERT_TRUE(table.load(QStringLiteral(":/i18n/corvane_") + language));
        for (const char* key : {"LOW_BATTERY_MSG", "REMIND_ME", "Notification access denied", "Hide Menu Bar Item",
                 "Version %1", "HIDDEN_ITEM_HINT", "HISTORY_UNAVAILABLE"})
            EXPECT_FALSE(table.translate(QtTexts::kContext, key).isEmpty()) << language << ": " << key;
        for (const char* key : {"LOW_BATTERY_MSG", "Version %1"})
            EXPECT_EQ(table.translate(QtTexts::kContext, key).count(QStringLiteral("%1")), 1)
                << language << ": " << key;
    }
}

// The locale's embedded table, then English, then the key.
TEST(QtTexts, TheLocaleTableThenEnglishThenTheKey)
{
    const QtTexts french {QLocale(QLocale::French, QLocale::France), QStringLiteral("/nonexistent")};
    const QtTexts japanese {QLocale(QLocale::Japanese, QLocale::Japan)};
    EXPECT_EQ(french.localized("Notification access denied"), "Accès aux notifications refusé");
    EXPECT_EQ(japanese.localized("LOW_BATTERY_MSG"), "Battery level is %1. Charge it soon.");
    EXPECT_EQ(japanese.localized("NO_SUCH_KEY"), "NO_SUCH_KEY");
}

// Percents come from the table read at build time, or the formatter beyond
// it; ICU's number formatter is the judge: sign before or after, spaces,
// native digits, bidirectional marks.
TEST(QtTexts, WritesPercentsAsIcusNumberFormatterDoes)
{
    for (const char* name : {"en_US", "de_DE", "fr_FR", "tr_TR", "ar_EG", "fa_IR", "he_IL", "bn_BD", "eu_ES", "C"}) {
        const QtTexts texts {QLocale(QString::fromLatin1(name))};
        // Each of these is in the table: the formatter is not what answers.
        EXPECT_NE(findPercentEntry(QLocale(QString::fromLatin1(name)).name().toStdString()), nullptr) << name;
        const auto locale
            = icu::Locale::createCanonical(QLocale(QString::fromLatin1(name)).name().toUtf8().constData());
        for (const std::int64_t value : {0, 5, 85, 100, 999, 1000, 123456, -5}) {
            UErrorCode status = U_ZERO_ERROR;
            std::string expected;
            icu::number::NumberFormatter::withLocale(locale)
                .unit(icu::MeasureUnit::getPercent())
                .formatInt(value, status)
                .toString(status)
                .toUTF8String(expected);
            ASSERT_TRUE(U_SUCCESS(status));
            EXPECT_EQ(texts.percent(value), expected) << name << " " << value;
        }
    }
}

} // namespace
} // namespace corvane
