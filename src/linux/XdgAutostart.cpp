#include "linux/XdgAutostart.h"

#include "linux/XdgPaths.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>
#include <utility>

namespace corvane {

namespace {

namespace fs = std::filesystem;

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Whether the [Desktop Entry] group of `text` switches the entry off.
bool switchedOff(std::istream& text)
{
    bool inEntry = false;
    for (std::string line; std::getline(text, line);) {
        line = trimmed(line);
        if (line.starts_with('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inEntry || equals == std::string::npos)
            continue;
        const auto key = trimmed(line.substr(0, equals));
        const auto value = trimmed(line.substr(equals + 1));
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return true;
    }
    return false;
}

// One argument of an Exec key: quoted, with the characters the quoting
// reserves escaped, then escaped again as a desktop entry string value.
std::string execArgument(const std::string& argument)
{
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

} // namespace

XdgAutostart::XdgAutostart(fs::path entry, std::string executable)
    : m_entry(std::move(entry))
    , m_executable(std::move(executable))
{
}

fs::path XdgAutostart::defaultEntry() { return xdg::configHome() / "autostart" / "corvane.desktop"; }

std::string XdgAutostart::entryText(const std::string& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Corvane\n"
           "Comment=Warns before the batteries of Bluetooth keyboards and mice run flat\n"
           "Exec="
        + execArgument(executable)
        + "\n"
          "Icon=corvane\n"
          "Terminal=false\n"
          "NoDisplay=true\n"
          "X-GNOME-Autostart-enabled=true\n";
}

bool XdgAutostart::isEnabled() const
{
    std::ifstream file(m_entry);
    return file.is_open() && !switchedOff(file);
}

bool XdgAutostart::setEnabled(bool enabled)
{
    std::error_code error;
    if (!enabled) {
        fs::remove(m_entry, error);
        if (error)
            std::cerr << "corvane: cannot remove " << m_entry << ": " << error.message() << '\n';
        return !error;
    }

    // Written aside and renamed into place, so the session never reads half an entry.
    fs::create_directories(m_entry.parent_path(), error);
    const fs::path partial = m_entry.string() + ".partial";
    if (!error) {
        std::ofstream file(partial, std::ios::trunc);
        file << entryText(m_executable);
        file.close();
        if (!file)
            error = std::make_error_code(std::errc::io_error);
    }
    if (!error)
        fs::rename(partial, m_entry, error);
    if (error) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        std::cerr << "corvane: cannot write " << m_entry << ": " << error.message() << '\n';
    }
    return !error;
}

} // namespace corvane
