#pragma once

#include "core/Date.h"

#include <cstdint>
#include <string>

namespace corvane {

// The user-visible texts. Safe from any thread.
class Texts {
public:
    virtual ~Texts() = default;
    // The text under `key` for the user's language, or the key itself.
    virtual std::string localized(const std::string& key) const = 0;
    // An integer percentage in the user's locale: 85 reads "85%" in English.
    virtual std::string percent(std::int64_t value) const = 0;
    // A moment as the user's locale writes a short date and time, in the host's time zone.
    virtual std::string dateTime(Date when) const = 0;
};

} // namespace corvane
