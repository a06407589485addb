#include "linux/QtTexts.h"

#include <QString>
#include <QTranslator>

#include <unicode/locid.h>
#include <unicode/measunit.h>
#include <unicode/numberformatter.h>
#include <unicode/unistr.h>

namespace corvane {

namespace {

constexpr const char* kTablePrefix = ":/i18n/corvane_";

} // namespace

QtTexts::QtTexts()
    : QtTexts(QLocale::system())
{
}

QtTexts::QtTexts(const QLocale& locale)
    : m_locale(locale)
    , m_translator(std::make_unique<QTranslator>())
    , m_english(std::make_unique<QTranslator>())
{
    // Loading picks the best table for the locale's languages; a locale
    // without one keeps an empty translator and reads English.
    if (!m_translator->load(m_locale, QStringLiteral("corvane"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        m_translator.reset();
    (void)m_english->load(QString::fromLatin1(kTablePrefix) + QStringLiteral("en"));
}

QtTexts::~QtTexts() = default;

std::string QtTexts::localized(const std::string& key) const
{
    for (const auto* table : {m_translator.get(), m_english.get()}) {
        if (table == nullptr)
            continue;
        const QString text = table->translate(kContext, key.c_str());
        if (!text.isEmpty())
            return text.toStdString();
    }
    return key;
}

std::string QtTexts::percent(std::int64_t value) const
{
    UErrorCode status = U_ZERO_ERROR;
    const auto locale = icu::Locale::createCanonical(m_locale.name().toUtf8().constData());
    // The percent unit without scaling: 85 is "85%", not "8,500%".
    const auto formatted = icu::number::NumberFormatter::withLocale(locale)
                               .unit(icu::MeasureUnit::getPercent())
                               .formatInt(value, status)
                               .toString(status);
    if (U_FAILURE(status))
        return std::to_string(value) + "%";
    std::string text;
    formatted.toUTF8String(text);
    return text;
}

} // namespace corvane
