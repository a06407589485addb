#include "linux/QtTexts.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <QTranslator>

#include <unicode/locid.h>
#include <unicode/measunit.h>
#include <unicode/numberformatter.h>
#include <unicode/resbund.h>
#include <unicode/unistr.h>
#include <unicode/ures.h>
#include <unicode/ustring.h>

#include <array>
#include <optional>

namespace corvane {

namespace {

constexpr const char* kTablePrefix = ":/i18n/corvane_";

icu::Locale icuLocale(const QLocale& locale)
{
    return icu::Locale::createCanonical(locale.name().toUtf8().constData());
}

std::string utf8(const icu::UnicodeString& text)
{
    std::string out;
    text.toUTF8String(out);
    return out;
}

// One string from the locale's data, through its parents to root, as ICU's
// own formatters look their data up; nothing if no locale has it.
std::optional<icu::UnicodeString> localeString(const icu::Locale& locale, std::initializer_list<const char*> path)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::ResourceBundle bundle(nullptr, locale, status);
    for (const char* key : path)
        bundle = bundle.getWithFallback(key, status);
    const icu::UnicodeString text = bundle.getString(status);
    return U_SUCCESS(status) ? std::optional(text) : std::nullopt;
}

// The ten digits of a decimal numbering system; nothing for an algorithmic one.
std::optional<std::array<std::string, 10>> decimalDigits(const std::string& system)
{
    UErrorCode status = U_ZERO_ERROR;
    UResourceBundle* all = ures_openDirect(nullptr, "numberingSystems", &status);
    UResourceBundle* systems = ures_getByKey(all, "numberingSystems", nullptr, &status);
    UResourceBundle* entry = ures_getByKey(systems, system.c_str(), nullptr, &status);
    const icu::UnicodeString digits = icu::ures_getUnicodeStringByKey(entry, "desc", &status);
    UResourceBundle* algorithmic = ures_getByKey(entry, "algorithmic", nullptr, &status);
    const bool decimal = U_SUCCESS(status) && ures_getInt(algorithmic, &status) == 0 && U_SUCCESS(status)
        && digits.countChar32() == 10;
    for (UResourceBundle* bundle : {algorithmic, entry, systems, all})
        ures_close(bundle);
    if (!decimal)
        return std::nullopt;
    std::array<std::string, 10> out;
    int32_t at = 0;
    for (auto& digit : out) {
        digit = utf8(digits.tempSubString(at, digits.moveIndex32(at, 1) - at));
        at = digits.moveIndex32(at, 1);
    }
    return out;
}

} // namespace

// A whole percent as ICU's number formatter writes it (percent unit, default
// width), put together from the locale's pattern and symbols, which are read
// once per locale: the number formatter itself, once used, keeps a megabyte
// or more of code and data in memory, and a tray tooltip needs only this. Values from 0 to 999 never group
// digits or take a sign; others, and patterns this does not read, go to the
// number formatter.
struct QtTexts::PercentForm {
    std::string prefix;
    std::string suffix;
    std::array<std::string, 10> digits;
    bool complete = false;

    static PercentForm read(const icu::Locale& locale);
    // The pattern's affix from `at`, its symbols substituted; false at what it cannot write.
    static bool appendAffix(
        const icu::UnicodeString& pattern, int32_t& at, std::string& out, const std::string& percentSign);
};

QtTexts::PercentForm QtTexts::PercentForm::read(const icu::Locale& locale)
{
    PercentForm form;
    UErrorCode status = U_ZERO_ERROR;
    std::array<char, ULOC_KEYWORDS_CAPACITY> chosen {};
    if (locale.getKeywordValue("numbers", chosen.data(), chosen.size(), status) != 0)
        return form; // a numbering system named in the locale: left to the number formatter
    // The locale's numbering system; an algorithmic one writes Latin digits.
    std::string system = "latn";
    if (const auto name = localeString(locale, {"NumberElements", "default"}); name && !name->isEmpty())
        system = utf8(*name);
    const auto digits = decimalDigits(system);
    if (!digits)
        system = "latn";
    form.digits = digits.value_or(std::array<std::string, 10> {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
    const auto lookUp = [&](const char* group, const char* key) {
        auto text = localeString(locale, {"NumberElements", system.c_str(), group, key});
        return text ? text : localeString(locale, {"NumberElements", "latn", group, key});
    };
    const auto pattern = lookUp("patterns", "percentFormat");
    const auto sign = lookUp("symbols", "percentSign");
    if (!pattern || !sign)
        return form;
    const std::string percentSign = utf8(*sign);
    int32_t at = 0;
    if (!form.appendAffix(*pattern, at, form.prefix, percentSign))
        return form;
    // The number itself: only its affixes matter for whole numbers below 1000.
    while (at < pattern->length() && u_strchr(u"#0123456789,.@", pattern->charAt(at)) != nullptr)
        ++at;
    form.complete = form.appendAffix(*pattern, at, form.suffix, percentSign)
        && (at == pattern->length() || pattern->charAt(at) == u';');
    return form;
}

bool QtTexts::PercentForm::appendAffix(
    const icu::UnicodeString& pattern, int32_t& at, std::string& out, const std::string& percentSign)
{
    icu::UnicodeString literal;
    bool quoted = false;
    for (; at < pattern.length(); ++at) {
        const char16_t c = pattern.charAt(at);
        if (c == u'\'' && at + 1 < pattern.length() && pattern.charAt(at + 1) == u'\'')
            literal.append(pattern.charAt(++at)); // '' is a quote, in quotes or not
        else if (c == u'\'')
            quoted = !quoted;
        else if (quoted)
            literal.append(c);
        else if (u_strchr(u"#0123456789,.@;*", c) != nullptr)
            break;
        else if (u_strchr(u"-+\u2030\u00A4", c) != nullptr)
            return false; // signs, per mille and currencies: the number formatter writes them
        else if (c == u'%') {
            out += utf8(literal) + percentSign;
            literal.remove();
        } else
            literal.append(c);
    }
    out += utf8(literal);
    return !quoted;
}

// What one locale needs; made whole before it is published, never changed after.
struct QtTexts::Tables {
    QLocale messages;
    QLocale time;
    std::unique_ptr<QTranslator> translator; // null: no table for the locale's languages
    PercentForm percent;
};

QtTexts::QtTexts(const QLocale& locale, QString folder)
    : m_folder(std::move(folder))
    , m_english(std::make_unique<QTranslator>())
{
    if (m_folder.isEmpty() || !m_english->load(QStringLiteral("corvane_en"), m_folder))
        (void)m_english->load(QString::fromLatin1(kTablePrefix) + QStringLiteral("en"));
    setLocales(locale, locale);
}

QtTexts::~QtTexts() = default;

void QtTexts::setLocales(const QLocale& messages, const QLocale& time)
{
    auto tables = std::make_shared<Tables>(
        Tables {messages, time, std::make_unique<QTranslator>(), PercentForm::read(icuLocale(messages))});
    // Loading picks the best table for the locale's languages; a locale
    // without one reads English.
    const auto load = [&](const QString& folder) {
        return !folder.isEmpty()
            && tables->translator->load(messages, QStringLiteral("corvane"), QStringLiteral("_"), folder);
    };
    if (!load(m_folder) && !load(QStringLiteral(":/i18n")))
        tables->translator.reset();
    std::lock_guard lock(m_mutex);
    m_tables = std::move(tables);
}

std::shared_ptr<const QtTexts::Tables> QtTexts::tables() const
{
    std::lock_guard lock(m_mutex);
    return m_tables;
}

std::string QtTexts::localized(const std::string& key) const
{
    const auto current = tables();
    for (const auto* table : {current->translator.get(), m_english.get()}) {
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
    const auto current = tables();
    if (const auto& form = current->percent; form.complete && value >= 0 && value < 1000) {
        std::string text = form.prefix;
        for (const int64_t unit : {100, 10, 1})
            if (value >= unit || unit == 1)
                text += form.digits[static_cast<std::size_t>(value / unit % 10)];
        return text + form.suffix;
    }
    UErrorCode status = U_ZERO_ERROR;
    // The percent unit without scaling: 85 is "85%", not "8,500%".
    const auto formatted = icu::number::NumberFormatter::withLocale(icuLocale(current->messages))
                               .unit(icu::MeasureUnit::getPercent())
                               .formatInt(value, status)
                               .toString(status);
    if (U_FAILURE(status))
        return std::to_string(value) + "%";
    std::string text;
    formatted.toUTF8String(text);
    return text;
}

std::string QtTexts::dateTime(Date when) const
{
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch());
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(since.count(), QTimeZone::utc()).toLocalTime();
    return tables()->time.toString(moment, QLocale::ShortFormat).toStdString();
}

} // namespace corvane
