#pragma once

#include "core/SettingsStore.h"
#include "core/runtime/ObserverRegistry.h"
#include "linux/AtomicFile.h"
#include "linux/FolderWatcher.h"
#include "linux/SettingsFileCodec.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace corvane {

// The settings as a TOML file (see SettingsFileCodec), replaced atomically on
// every write (see AtomicFile). Hand edits are read, on `clock`'s thread, when
// the folder watcher sees the file change, and observers hear of them like of
// any write; the watcher waits in the event loop of the thread that makes the
// store (see FolderWatcher). A file that does not parse is kept aside as `settings.toml.corrupt-<UTC time>` and
// the store starts empty; one that changed less than a second ago may be an
// edit in progress and is judged once it has settled, unless a write comes
// first. When the folder cannot be written, values live on in memory, one
// message goes to stderr, and the next write tries again. Safe from any
// thread; reads never touch the file.
class FileSettingsStore final : public SettingsStore {
public:
    FileSettingsStore(std::filesystem::path file, Clock& clock);
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

    const std::filesystem::path& file() const { return m_file.path(); }

private:
    enum class Purpose { read, write };

    std::vector<std::string> reload(Purpose purpose);
    std::optional<SettingsTable> readTable(const FileIdentity& identity, Purpose purpose);
    void write();
    void onFolderChanged();
    void notify(const std::vector<std::string>& keys);

    mutable std::mutex m_mutex;
    AtomicFile m_file;
    SettingsTable m_table;
    FileIdentity m_loaded;
    bool m_writeFailing = false;
    ObserverRegistry<std::string> m_observers;
    // Last, so that it stops before anything it calls into goes.
    FolderWatcher m_watcher;
};

} // namespace corvane
