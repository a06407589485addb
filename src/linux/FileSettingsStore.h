#pragma once

#include "core/SettingsStore.h"

#include <filesystem>
#include <memory>
#include <string>

namespace corvane {

// The settings as a TOML file: `interval`, `threshold` (integers),
// `showMenuBar` (boolean) and one offset date-time per warned device under its
// serial number. Any other TOML value under a key reads as `OtherSetting` and
// is written back unchanged.
//
// Every write replaces the file atomically (a temporary file in the same
// folder, synced, then renamed), so a crash leaves the old or the new file;
// the folder is made 0700, the file 0600. Hand edits are picked up at the
// next read and by a watcher thread, and observers hear of them like of any
// write. A file that does not parse is kept aside as
// `settings.toml.corrupt-<UTC time>` and the store starts empty. When the
// folder cannot be written, values live on in memory, one message goes to
// stderr, and the next write tries again. Safe from any thread.
class FileSettingsStore final : public SettingsStore {
public:
    explicit FileSettingsStore(std::filesystem::path file);
    ~FileSettingsStore() override;
    FileSettingsStore(const FileSettingsStore&) = delete;
    FileSettingsStore& operator=(const FileSettingsStore&) = delete;

    // $XDG_CONFIG_HOME/corvane/settings.toml, or ~/.config/corvane/settings.toml
    // when XDG_CONFIG_HOME is unset or empty.
    static std::filesystem::path defaultPath();

    SettingValue value(const std::string& key) const override;
    void setValue(const std::string& key, SettingValue value) override;
    void remove(const std::string& key) override;
    Subscription observe(const std::string& key, std::function<void()> changed) override;

    const std::filesystem::path& file() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace corvane
