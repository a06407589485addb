#pragma once

#include "core/LoginItem.h"

#include <filesystem>
#include <string>

namespace corvane {

// Starting at login through the user's own XDG autostart entry,
// `<config home>/autostart/corvane.desktop`; the system-wide entries are
// never touched, nor any other file in the folder. The entry counts as on
// while it exists and neither hides itself (`Hidden=true`) nor is switched
// off by the desktop's session settings (`X-GNOME-Autostart-enabled=false`).
// Turning it on writes a fresh entry that starts `executable`; turning it off
// removes the entry.
class XdgAutostart final : public LoginItem {
public:
    XdgAutostart(std::filesystem::path entry, std::string executable);

    // <config home>/autostart/corvane.desktop
    static std::filesystem::path defaultEntry();

    bool isEnabled() const override;
    bool setEnabled(bool enabled) override;

    // The entry's text for `executable`, quoted as a desktop entry's Exec key needs.
    static std::string entryText(const std::string& executable);

private:
    std::filesystem::path m_entry;
    std::string m_executable;
};

} // namespace corvane
