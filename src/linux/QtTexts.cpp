#include "linux/QtTexts.h"

#include "linux/PercentTable.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <QTranslator>

#include <unicode/locid.h>
#include <unicode/measunit.h>
#include <unicode/numberformatter.h>
#include <unicode/unistr.h>

namespace corvane {

namespace {

constexpr const char* kTablePrefix = ":/i18n/corvane_";

icu::Locale icuLocale(const QLocale& locale)
{
    return icu::Locale::createCanonical(locale.name().toUtf8().constData());
}

} // namespace

// What one locale needs; made whole before it is published, never changed after.
struct QtTexts::Tables {
    QLocale messages;
    QLocale time;
    std::unique_ptr<QTranslator> translator; // null: no table for the locale's languages
    // How the number formatter writes the locale's percents, read at build
    // time; null: the locale is not in the table, the formatter is asked.
    const PercentEntry* percent;
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
        Tables {messages, time, std::make_unique<QTranslator>(), findPercentEntry(messages.name().toStdString())});
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
    // The number formatter itself, once used, keeps a megabyte or more of
    // ICU's code and data in memory; a tray tooltip needs only the table.
    if (current->percent != nullptr && value >= 0 && value < 1000)
        return percentFromEntry(*current->percent, value);
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
