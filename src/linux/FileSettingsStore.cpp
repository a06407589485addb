#include "linux/FileSettingsStore.h"

#include "linux/XdgPaths.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <set>

namespace corvane {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// An editor that writes in place may be caught half-way: a file that changed
// this recently gets time to be finished before it counts as broken.
constexpr std::chrono::milliseconds kSettleTime {1000};

std::vector<std::string> changedKeys(const SettingsTable& before, const SettingsTable& after)
{
    std::set<std::string> keys;
    for (const auto& [key, setting] : before)
        keys.insert(key);
    for (const auto& [key, setting] : after)
        keys.insert(key);
    std::vector<std::string> changed;
    for (const auto& key : keys) {
        const auto was = before.find(key);
        const auto is = after.find(key);
        if ((was == before.end()) != (is == after.end()) || (was != before.end() && !(was->second == is->second)))
            changed.push_back(key);
    }
    return changed;
}

} // namespace

FileSettingsStore::FileSettingsStore(fs::path file, Clock& clock)
    : m_file(std::move(file))
    , m_watcher(m_file.path().parent_path(), clock, [this] { onFolderChanged(); })
{
    std::lock_guard lock(m_mutex);
    reload(Purpose::read);
}

FileSettingsStore::~FileSettingsStore() = default;

fs::path FileSettingsStore::defaultPath() { return xdg::configHome() / "corvane" / "settings.toml"; }

// Brings the table up to date with the file; returns the keys whose value
// changed. Before a write, a file that does not parse is kept aside at once,
// however new, so that the write never replaces what a person typed. Caller
// holds the mutex.
std::vector<std::string> FileSettingsStore::reload(Purpose purpose)
{
    const auto identity = m_file.identity();
    if (identity == m_loaded)
        return {};
    SettingsTable fresh;
    if (identity.exists) {
        auto read = readTable(identity, purpose);
        // Caught in the middle of an edit: keep what we have and look again once it settled.
        if (!read)
            return {};
        fresh = std::move(*read);
    }
    m_loaded = identity;
    auto changed = changedKeys(m_table, fresh);
    m_table = std::move(fresh);
    return changed;
}

std::optional<SettingsTable> FileSettingsStore::readTable(const FileIdentity& identity, Purpose purpose)
{
    const auto age = std::chrono::system_clock::now().time_since_epoch() - identity.modified;
    const bool settling = purpose == Purpose::read && age >= 0ns && age < kSettleTime;
    auto lookAgainLater = [&] {
        m_watcher.recheckAfter(std::chrono::ceil<std::chrono::milliseconds>(kSettleTime - age));
        return std::nullopt;
    };
    std::string problem;
    if (const auto content = m_file.read(problem)) {
        // A save in place truncates first: an empty file this fresh is most
        // likely one whose new text is still on its way.
        if (content->empty() && settling)
            return lookAgainLater();
        if (auto table = SettingsFileCodec::decode(*content, problem))
            return table;
    }
    if (settling)
        return lookAgainLater();
    m_file.keepAside(problem);
    return SettingsTable {};
}

// Replaces the file with the table; on failure the values stay in memory.
// Caller holds the mutex.
void FileSettingsStore::write()
{
    std::string problem;
    std::error_code error;
    const bool hadFolder = fs::is_directory(m_file.path().parent_path(), error);
    if (!m_file.replace(SettingsFileCodec::encode(m_table), problem)) {
        if (!m_writeFailing)
            std::cerr << "corvane: cannot write the settings file " << m_file.path() << " (" << problem
                      << "); keeping the settings in memory and trying again at the next change\n";
        m_writeFailing = true;
        return;
    }
    if (m_writeFailing)
        std::cerr << "corvane: the settings file " << m_file.path() << " is written again\n";
    m_writeFailing = false;
    m_loaded = m_file.identity();
    // Made by this write, maybe with its parent, where no watch could see it come.
    if (!hadFolder)
        m_watcher.recheckAfter(0ms);
}

void FileSettingsStore::onFolderChanged()
{
    std::vector<std::string> changed;
    {
        std::lock_guard lock(m_mutex);
        changed = reload(Purpose::read);
    }
    notify(changed);
}

void FileSettingsStore::notify(const std::vector<std::string>& keys)
{
    for (const auto& key : keys)
        m_observers.notify(key);
}

SettingValue FileSettingsStore::value(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_table.find(key);
    return found == m_table.end() ? SettingValue {} : found->second.value;
}

void FileSettingsStore::setValue(const std::string& key, SettingValue value)
{
    if (std::holds_alternative<std::monostate>(value)) {
        remove(key);
        return;
    }
    // A value of another type is only ever read, never made by the system.
    if (std::holds_alternative<OtherSetting>(value))
        return;
    const auto entry = SettingsFileCodec::entryFor(value);
    if (!entry) {
        std::cerr << "corvane: a date beyond the years 0 to 9999 cannot be stored under \"" << key << "\"\n";
        return;
    }
    std::vector<std::string> changed;
    {
        std::lock_guard lock(m_mutex);
        changed = reload(Purpose::write);
        m_table.insert_or_assign(key, *entry);
        write();
        if (std::find(changed.begin(), changed.end(), key) == changed.end())
            changed.push_back(key);
    }
    notify(changed);
}

void FileSettingsStore::remove(const std::string& key)
{
    std::vector<std::string> changed;
    {
        std::lock_guard lock(m_mutex);
        changed = reload(Purpose::write);
        if (m_table.erase(key) > 0) {
            write();
            changed.push_back(key);
        }
    }
    notify(changed);
}

Subscription FileSettingsStore::observe(const std::string& key, std::function<void()> changed)
{
    return m_observers.subscribe(key, std::move(changed));
}

} // namespace corvane
