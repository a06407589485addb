// Writes, for every locale Qt knows, how ICU's number formatter writes a
// whole percent from 0 to 999 (percent unit, not scaled): the text before the
// number, the ten digits and the text after. Each entry is checked against
// the formatter for all thousand values and left out if any differs; for a
// locale left out the program asks the formatter itself. Run at build time:
// in the program the formatter, once used, keeps a megabyte or more of ICU's
// code and data resident.
// Usage: percent_table <out.cpp>

#include "linux/PercentTable.h"

#include <QLocale>

#include <unicode/locid.h>
#include <unicode/measunit.h>
#include <unicode/numberformatter.h>
#include <unicode/uversion.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <string>

namespace {

using corvane::PercentEntry;

icu::UnicodeString formatted(const icu::number::LocalizedNumberFormatter& formatter, std::int64_t value)
{
    UErrorCode status = U_ZERO_ERROR;
    auto text = formatter.formatInt(value, status).toString(status);
    return U_SUCCESS(status) ? text : icu::UnicodeString();
}

std::string utf8(const icu::UnicodeString& text)
{
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool copy(const std::string& text, char* to, std::size_t size)
{
    if (text.size() >= size)
        return false;
    text.copy(to, text.size());
    return true;
}

// The formatter's texts for 0 to 9 differ only in the digit: what they share
// before and after it is the prefix and the suffix.
std::optional<PercentEntry> entry(const std::string& name)
{
    // As the program asks it: the percent unit, so that 85 is "85%", not "8,500%".
    const auto locale = icu::Locale::createCanonical(name.c_str());
    const auto formatter = icu::number::NumberFormatter::withLocale(locale).unit(icu::MeasureUnit::getPercent());
    std::array<icu::UnicodeString, 10> single;
    for (std::size_t digit = 0; digit < single.size(); ++digit)
        single[digit] = formatted(formatter, static_cast<std::int64_t>(digit));
    int32_t before = 0;
    int32_t after = 0;
    const auto shared = [&](int32_t at, bool fromEnd) {
        for (const auto& text : single) {
            const int32_t index = fromEnd ? text.length() - 1 - at : at;
            const int32_t first = fromEnd ? single[0].length() - 1 - at : at;
            if (index < 0 || first < 0 || text.charAt(index) != single[0].charAt(first))
                return false;
        }
        return true;
    };
    while (before < single[0].length() && shared(before, false))
        ++before;
    while (after < single[0].length() - before && shared(after, true))
        ++after;
    PercentEntry out {};
    bool fits = copy(name, out.name, sizeof out.name)
        && copy(utf8(single[0].tempSubString(0, before)), out.prefix, sizeof out.prefix)
        && copy(utf8(single[0].tempSubString(single[0].length() - after)), out.suffix, sizeof out.suffix);
    for (std::size_t digit = 0; digit < single.size(); ++digit) {
        const auto& text = single[digit];
        fits = fits && copy(utf8(text.tempSubString(before, text.length() - before - after)), out.digits[digit], 5);
    }
    if (!fits)
        return std::nullopt;
    for (std::int64_t value = 0; value < 1000; ++value)
        if (corvane::percentFromEntry(out, value) != utf8(formatted(formatter, value)))
            return std::nullopt;
    return out;
}

// A C++ string literal of `text`: bytes outside printable ASCII as octal escapes.
std::string literal(const char* text)
{
    std::string out = "\"";
    for (const char* at = text; *at != '\0'; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte < 0x20 || byte >= 0x7F || byte == '"' || byte == '\\' || byte == '?') {
            std::array<char, 5> escaped {};
            std::snprintf(escaped.data(), escaped.size(), "\\%03o", byte);
            out += escaped.data();
        } else
            out += static_cast<char>(byte);
    }
    return out + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: percent_table <out.cpp>\n";
        return 2;
    }
    std::set<std::string> names {"C"};
    for (const QLocale& locale :
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
        names.insert(locale.name().toStdString());
    std::ofstream out(argv[1]);
    out << "// Written by percent_table at build time from ICU " << U_ICU_VERSION << ".\n"
        << "#include \"linux/PercentTable.h\"\n\nnamespace corvane {\n\n"
        << "const char* const kPercentTableIcuVersion = \"" << U_ICU_VERSION << "\";\n\n"
        << "const PercentEntry kPercentTable[] = {\n";
    std::size_t count = 0;
    for (const auto& name : names) {
        const auto found = entry(name);
        if (!found)
            continue;
        out << "    {" << literal(found->name) << ", " << literal(found->prefix) << ", " << literal(found->suffix)
            << ", {";
        for (const auto& digit : found->digits)
            out << literal(digit) << (&digit == &found->digits[9] ? "}},\n" : ", ");
        ++count;
    }
    out << "};\n\nconst std::size_t kPercentTableSize = " << count << ";\n\n} // namespace corvane\n";
    std::cout << "percent_table: " << count << " of " << names.size() << " locales\n";
    return out ? 0 : 1;
}
