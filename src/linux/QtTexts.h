#pragma once

#include "core/Texts.h"

#include <QLocale>

#include <memory>

class QTranslator;

namespace corvane {

// The user-visible texts from the translation tables embedded in the library
// (keys as source texts): the locale's table first, then the English one,
// then the key itself. Percent texts come from ICU's number formatter for the
// same locale. Immutable after construction, so safe from any thread.
class QtTexts final : public Texts {
public:
    // The locale of the environment (LANG, LC_ALL, LC_MESSAGES).
    QtTexts();
    explicit QtTexts(const QLocale& locale);
    ~QtTexts() override;
    QtTexts(const QtTexts&) = delete;
    QtTexts& operator=(const QtTexts&) = delete;

    std::string localized(const std::string& key) const override;
    std::string percent(std::int64_t value) const override;

    // The context under which every key is filed in the tables.
    static constexpr const char* kContext = "Corvane";

private:
    QLocale m_locale;
    std::unique_ptr<QTranslator> m_translator;
    std::unique_ptr<QTranslator> m_english;
};

} // namespace corvane
