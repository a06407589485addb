// What follows the user's locale and time zone: the texts and their percents, the calendar, and which of the
// system's locales is followed while Corvane runs.

#include "linux/IcuCalendar.h"
#include "linux/LocaleWatcher.h"
#include "linux/PercentTable.h"
#include "linux/QtTexts.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QTranslator>

#include <unicode/measunit.h>
#include <unicode/numberformatter.h>

namespace corvane {
namespace {

using namespace std::chrono;

// Each embedded table holds every key itself, not by falling back to English, and keeps its placeholders. A text
// comes from the locale's embedded table, then English, then the key.
TEST(QtTexts, EmbeddedTablesAreCompleteAndTheLocaleTableThenEnglishThenTheKeyAnswer)
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
        const QLocale locale(QString::fromLatin1(name));
        const QtTexts texts {locale};
        // Each of these is in the table: the formatter is not what answers.
        EXPECT_NE(findPercentEntry(locale.name().toStdString()), nullptr) << name;
        const auto icuLocale = icu::Locale::createCanonical(locale.name().toUtf8().constData());
        const auto percent = icu::number::NumberFormatter::withLocale(icuLocale).unit(icu::MeasureUnit::getPercent());
        for (const std::int64_t value : {0, 5, 85, 100, 999, 1000, 123456, -5}) {
            UErrorCode status = U_ZERO_ERROR;
            std::string expected;
            percent.formatInt(value, status).toString(status).toUTF8String(expected);
            ASSERT_TRUE(U_SUCCESS(status));
            EXPECT_EQ(texts.percent(value), expected) << name << " " << value;
        }
    }
}

// The same wall-clock time a calendar day later; Berlin is UTC+1 in winter and UTC+2 in summer. Today ends at
// midnight of the calendar's zone.
TEST(IcuCalendarTest, TheNextDayKeepsTheWallClockTimeAcrossDaylightSavingChanges)
{
    const IcuCalendar utc("UTC");
    const Date midnight = floor<days>(utc.now());
    EXPECT_TRUE(utc.isDateInToday(midnight) && utc.isDateInToday(midnight + hours(24) - seconds(1)));
    EXPECT_FALSE(utc.isDateInToday(midnight - seconds(1)) || utc.isDateInToday(midnight + hours(24)));
    for (const auto& [zone, from, later] : std::vector<std::tuple<const char*, Date, hours>> {
             {"Europe/Berlin", sys_days(2026y / December / 31) + hours(21), hours(24)},
             {"Europe/Berlin", sys_days(2026y / March / 28) + hours(11), hours(23)},
             {"Europe/Berlin", sys_days(2026y / October / 24) + hours(10), hours(25)},
             {"Europe/Berlin", sys_days(2026y / June / 1) + microseconds(123'456), hours(24)}})
        EXPECT_EQ(IcuCalendar(zone).sameTimeNextDay(from), from + later) << zone << ", " << later.count() << " h";
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
    for (const auto& [what, environment, atStart, now, expected] : cases)
        EXPECT_TRUE(effectiveLocales(environment, atStart, now) == expected) << what;
}

} // namespace
} // namespace corvane
