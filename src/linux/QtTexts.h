#pragma once

#include "core/Texts.h"

#include <QLocale>

#include <memory>
#include <mutex>

class QTranslator;

namespace corvane {

// The user-visible texts from the translation tables, installed or embedded
// in the library (keys as source texts): the locale's table first, then the
// English one, then the key itself. Percent texts are written as ICU's number
// formatter writes them for the same locale, dates as the time locale writes
// them. The locales can be changed while in use: each call reads one
// immutable set of tables, swapped whole, so it is safe from any thread.
class QtTexts final : public Texts {
public:
    // In `locale` (by default the environment's: LANG, LC_ALL, LC_MESSAGES,
    // LC_TIME). Tables in `folder` (the installed ones) are preferred to the
    // embedded ones.
    explicit QtTexts(const QLocale& locale = QLocale::system(), QString folder = {});
    ~QtTexts() override;
    QtTexts(const QtTexts&) = delete;
    QtTexts& operator=(const QtTexts&) = delete;

    // Texts in `messages` from now on, dates as `time` writes them.
    void setLocales(const QLocale& messages, const QLocale& time);

    std::string localized(const std::string& key) const override;
    std::string percent(std::int64_t value) const override;
    std::string dateTime(Date when) const override;

    // The context under which every key is filed in the tables.
    static constexpr const char* kContext = "Corvane";

private:
    struct Tables;
    std::shared_ptr<const Tables> tables() const;

    const QString m_folder;
    std::unique_ptr<QTranslator> m_english;
    mutable std::mutex m_mutex; // guards the pointer only; the tables never change
    std::shared_ptr<const Tables> m_tables;
};

} // namespace corvane
