#include "linux/FileSettingsStore.h"

#include "linux/UserFiles.h"

#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <map>
#include <mutex>
#include <poll.h>
#include <set>
#include <sstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace corvane {

namespace fs = std::filesystem;

namespace {

// Larger files are not settings that Corvane wrote or a person typed.
constexpr std::uintmax_t kMaximumFileSize = 1024 * 1024;
constexpr std::chrono::milliseconds kSettleTime {1000};

// What a file looked like when it was read; a different identity means that
// someone replaced or edited it since.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::int64_t sinceEpoch(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

FileIdentity identityOf(const fs::path& file)
{
    struct stat info { };
    if (::stat(file.c_str(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino, info.st_size, sinceEpoch(info.st_mtim), sinceEpoch(info.st_ctim)};
}

std::optional<toml::date_time> toToml(Date date)
{
    using namespace std::chrono;
    const auto day = floor<days>(date);
    const year_month_day ymd {day};
    const int year = static_cast<int>(ymd.year());
    if (!ymd.ok() || year < 0 || year > 9999)
        return std::nullopt;
    const hh_mm_ss time {date - day};
    const auto nanos = duration_cast<std::chrono::nanoseconds>(time.subseconds()).count();
    const toml::date tomlDate(year, static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    const toml::time tomlTime(static_cast<unsigned>(time.hours().count()),
        static_cast<unsigned>(time.minutes().count()), static_cast<unsigned>(time.seconds().count()),
        static_cast<unsigned>(nanos));
    return toml::date_time(tomlDate, tomlTime, toml::time_offset {});
}

SettingValue fromToml(const toml::node* node)
{
    if (node == nullptr)
        return std::monostate {};
    if (const auto* integer = node->as_integer())
        return integer->get();
    if (const auto* boolean = node->as_boolean())
        return boolean->get();
    if (const auto* dateTime = node->as_date_time()) {
        const auto& value = dateTime->get();
        // A date-time without an offset names no moment: another type.
        if (!value.offset)
            return OtherSetting {};
        using namespace std::chrono;
        const sys_days day {year {value.date.year} / month {value.date.month} / value.date.day};
        const auto moment = day + hours {value.time.hour} + minutes {value.time.minute} + seconds {value.time.second}
            + duration_cast<microseconds>(std::chrono::nanoseconds {value.time.nanosecond})
            - minutes {value.offset->minutes};
        return Date {moment};
    }
    return OtherSetting {};
}

// A key's value as text, so that any two values of any type can be compared.
std::string nodeText(const toml::node* node)
{
    if (node == nullptr)
        return {};
    toml::table single;
    single.insert("k", *node);
    std::ostringstream text;
    text << single;
    return text.str();
}

// A key as TOML writes it: bare when it can be, else a basic string. (The
// TOML library leaves a key with an apostrophe bare, which does not parse.)
std::string tomlKey(std::string_view key)
{
    const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
    if (bare)
        return std::string(key);
    std::string quoted = "\"";
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            constexpr std::string_view kDigits = "0123456789ABCDEF";
            quoted += "\\u00";
            quoted += kDigits[byte >> 4];
            quoted += kDigits[byte & 0x0F];
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// A value on one line, tables and arrays inline, with every key quoted by us.
std::string inlineText(const toml::node& node)
{
    std::string text;
    if (const auto* table = node.as_table()) {
        for (auto&& [key, value] : *table)
            text += (text.empty() ? "{ " : ", ") + tomlKey(key.str()) + " = " + inlineText(value);
        return text.empty() ? "{}" : text + " }";
    }
    if (const auto* array = node.as_array()) {
        for (const auto& value : *array)
            text += (text.empty() ? "[ " : ", ") + inlineText(value);
        return text.empty() ? "[]" : text + " ]";
    }
    // A scalar as the library writes it, after "k = ".
    toml::table single;
    single.insert("k", node);
    std::ostringstream written;
    written << single;
    text = written.str().substr(4);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string fileText(const toml::table& table)
{
    std::string text;
    for (auto&& [key, value] : table)
        text += tomlKey(key.str()) + " = " + inlineText(value) + "\n";
    return text;
}

bool writeAll(int descriptor, const std::string& content)
{
    std::size_t written = 0;
    while (written < content.size()) {
        const auto result = ::write(descriptor, content.data() + written, content.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return false;
        written += static_cast<std::size_t>(result);
    }
    return true;
}

} // namespace

struct FileSettingsStore::State {
    using Observer = std::shared_ptr<std::function<void()>>;

    fs::path file;
    mutable std::mutex mutex;
    toml::table table;
    FileIdentity loaded;
    bool writeFailing = false;
    std::map<std::string, std::map<std::uint64_t, Observer>> observers;
    std::uint64_t nextObserverId = 1;

    int inotify = -1;
    std::atomic<bool> watching {false};
    std::array<int, 2> wakePipe {-1, -1};
    std::thread watcher;

    // Brings `table` up to date with the file; returns the keys whose value
    // changed. Before a write (`forWrite`), a file that does not parse is kept
    // aside at once, however new, so the write never replaces what a person
    // typed. Caller holds `mutex`.
    std::vector<std::string> reloadIfChanged(bool forWrite = false)
    {
        const auto identity = identityOf(file);
        if (identity == loaded)
            return {};
        toml::table fresh;
        if (identity.exists) {
            auto read = readFile(identity, forWrite);
            // Caught in the middle of an edit: keep what we have and look again later.
            if (!read)
                return {};
            fresh = std::move(*read);
        }
        loaded = identity;
        auto changed = changedKeys(table, fresh);
        table = std::move(fresh);
        return changed;
    }

    std::optional<toml::table> readFile(const FileIdentity& identity, bool forWrite)
    {
        std::string content;
        std::error_code error;
        const auto size = fs::file_size(file, error);
        std::string problem;
        if (!error && size <= kMaximumFileSize) {
            std::FILE* stream = std::fopen(file.c_str(), "rb");
            if (stream != nullptr) {
                content.resize(static_cast<std::size_t>(size));
                content.resize(std::fread(content.data(), 1, content.size(), stream));
                std::fclose(stream);
                try {
                    return toml::parse(content, file.string());
                } catch (const toml::parse_error& parseError) {
                    std::ostringstream text;
                    text << parseError.description() << " (line " << parseError.source().begin.line << ")";
                    problem = text.str();
                }
            } else {
                // Unreadable now (removed between stat and open): read as empty.
                return {};
            }
        } else {
            problem = "larger than " + std::to_string(kMaximumFileSize) + " bytes";
        }
        // An editor that writes in place may be caught half-way: a file that
        // changed a moment ago gets time to be finished before it counts as broken.
        const auto age
            = std::chrono::system_clock::now().time_since_epoch() - std::chrono::nanoseconds(identity.modified);
        if (age < kSettleTime && !forWrite)
            return std::nullopt;
        keepAside(problem);
        return toml::table {};
    }

    // The file that does not parse is never deleted: it moves aside, and the
    // store goes on from defaults.
    void keepAside(const std::string& problem)
    {
        const auto aside = corruptCopyName(file);
        std::error_code error;
        fs::rename(file, aside, error);
        if (error) {
            std::cerr << "corvane: the settings file " << file << " does not parse (" << problem
                      << ") and could not be moved aside to " << aside << " (" << error.message()
                      << "); starting from defaults\n";
            return;
        }
        std::cerr << "corvane: the settings file " << file << " does not parse (" << problem << "); kept it as "
                  << aside << " and starting from defaults\n";
    }

    static std::vector<std::string> changedKeys(const toml::table& before, const toml::table& after)
    {
        std::set<std::string> keys;
        for (const auto& [key, node] : before)
            keys.insert(std::string(key.str()));
        for (const auto& [key, node] : after)
            keys.insert(std::string(key.str()));
        std::vector<std::string> changed;
        for (const auto& key : keys) {
            if (nodeText(before.get(key)) != nodeText(after.get(key)))
                changed.push_back(key);
        }
        return changed;
    }

    // Replaces the file with `table`; on failure the values stay in memory.
    void write()
    {
        std::string problem;
        if (!writeFile(fileText(table), problem)) {
            if (!writeFailing)
                std::cerr << "corvane: cannot write the settings file " << file << " (" << problem
                          << "); keeping the settings in memory and trying again at the next change\n";
            writeFailing = true;
            return;
        }
        if (writeFailing)
            std::cerr << "corvane: the settings file " << file << " is written again\n";
        writeFailing = false;
        loaded = identityOf(file);
        watchFolder();
    }

    bool writeFile(const std::string& content, std::string& problem)
    {
        const auto folder = file.parent_path();
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            fs::create_directories(folder.parent_path(), error);
            if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
                problem = "cannot create " + folder.string() + ": " + std::strerror(errno);
                return false;
            }
        }
        std::string temporary = (folder / (file.filename().string() + ".tmp-XXXXXX")).string();
        const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (descriptor < 0) {
            problem = std::strerror(errno);
            return false;
        }
        bool ok = ::fchmod(descriptor, 0600) == 0 && writeAll(descriptor, content) && ::fsync(descriptor) == 0;
        if (!ok)
            problem = std::strerror(errno);
        if (::close(descriptor) != 0 && ok) {
            problem = std::strerror(errno);
            ok = false;
        }
        if (ok && ::rename(temporary.c_str(), file.c_str()) != 0) {
            problem = std::strerror(errno);
            ok = false;
        }
        if (!ok) {
            ::unlink(temporary.c_str());
            return false;
        }
        // The rename itself must reach the disk too.
        const int folderDescriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderDescriptor >= 0) {
            ::fsync(folderDescriptor);
            ::close(folderDescriptor);
        }
        return true;
    }

    void watchFolder()
    {
        if (inotify < 0 || watching)
            return;
        const auto mask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE;
        if (::inotify_add_watch(inotify, file.parent_path().c_str(), mask) >= 0)
            watching = true;
    }

    std::vector<Observer> observersOf(const std::vector<std::string>& keys) const
    {
        std::vector<Observer> result;
        for (const auto& key : keys) {
            auto found = observers.find(key);
            if (found == observers.end())
                continue;
            for (const auto& [id, observer] : found->second)
                result.push_back(observer);
        }
        return result;
    }

    // Runs on the watcher thread until the wake pipe is written.
    void watch()
    {
        std::array<pollfd, 2> descriptors {{{inotify, POLLIN, 0}, {wakePipe[0], POLLIN, 0}}};
        std::array<char, 4096> events {};
        while (true) {
            if (::poll(descriptors.data(), descriptors.size(), -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if ((descriptors[1].revents & POLLIN) != 0)
                return;
            if ((descriptors[0].revents & POLLIN) == 0)
                continue;
            bool folderGone = false;
            ssize_t length = 0;
            while ((length = ::read(inotify, events.data(), events.size())) > 0) {
                for (ssize_t at = 0; at < length;) {
                    inotify_event event {};
                    std::memcpy(&event, events.data() + at, sizeof event);
                    folderGone = folderGone || (event.mask & IN_IGNORED) != 0;
                    at += static_cast<ssize_t>(sizeof event + event.len);
                }
            }
            std::vector<Observer> toNotify;
            {
                std::lock_guard lock(mutex);
                // The folder was removed: watch it anew now if it is back, else
                // once a write has made it again.
                if (folderGone) {
                    watching = false;
                    watchFolder();
                }
                toNotify = observersOf(reloadIfChanged());
            }
            for (const auto& observer : toNotify)
                (*observer)();
        }
    }
};

FileSettingsStore::FileSettingsStore(fs::path file)
    : m_state(std::make_shared<State>())
{
    m_state->file = std::move(file);
    {
        std::lock_guard lock(m_state->mutex);
        m_state->reloadIfChanged();
    }
    m_state->inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_state->inotify >= 0 && ::pipe2(m_state->wakePipe.data(), O_CLOEXEC) == 0) {
        m_state->watchFolder();
        m_state->watcher = std::thread([state = m_state.get()] { state->watch(); });
    }
}

FileSettingsStore::~FileSettingsStore()
{
    if (m_state->watcher.joinable()) {
        const char stop = 0;
        (void)!::write(m_state->wakePipe[1], &stop, 1);
        m_state->watcher.join();
    }
    for (int descriptor : {m_state->inotify, m_state->wakePipe[0], m_state->wakePipe[1]}) {
        if (descriptor >= 0)
            ::close(descriptor);
    }
}

fs::path FileSettingsStore::defaultPath() { return userFile("XDG_CONFIG_HOME", ".config", "settings.toml"); }

const fs::path& FileSettingsStore::file() const { return m_state->file; }

SettingValue FileSettingsStore::value(const std::string& key) const
{
    std::vector<State::Observer> toNotify;
    SettingValue result;
    {
        std::lock_guard lock(m_state->mutex);
        toNotify = m_state->observersOf(m_state->reloadIfChanged());
        result = fromToml(m_state->table.get(key));
    }
    for (const auto& observer : toNotify)
        (*observer)();
    return result;
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
    std::vector<State::Observer> toNotify;
    {
        std::lock_guard lock(m_state->mutex);
        auto changed = m_state->reloadIfChanged(true);
        auto& table = m_state->table;
        if (const auto* integer = std::get_if<std::int64_t>(&value)) {
            table.insert_or_assign(key, *integer);
        } else if (const auto* boolean = std::get_if<bool>(&value)) {
            table.insert_or_assign(key, *boolean);
        } else if (const auto* date = std::get_if<Date>(&value)) {
            const auto dateTime = toToml(*date);
            if (!dateTime) {
                std::cerr << "corvane: a date beyond the years 0 to 9999 cannot be stored under \"" << key << "\"\n";
                return;
            }
            table.insert_or_assign(key, *dateTime);
        }
        m_state->write();
        if (std::find(changed.begin(), changed.end(), key) == changed.end())
            changed.push_back(key);
        toNotify = m_state->observersOf(changed);
    }
    for (const auto& observer : toNotify)
        (*observer)();
}

void FileSettingsStore::remove(const std::string& key)
{
    std::vector<State::Observer> toNotify;
    {
        std::lock_guard lock(m_state->mutex);
        auto changed = m_state->reloadIfChanged(true);
        if (m_state->table.erase(key) > 0) {
            m_state->write();
            changed.push_back(key);
        }
        toNotify = m_state->observersOf(changed);
    }
    for (const auto& observer : toNotify)
        (*observer)();
}

Subscription FileSettingsStore::observe(const std::string& key, std::function<void()> changed)
{
    std::lock_guard lock(m_state->mutex);
    const auto id = m_state->nextObserverId++;
    m_state->observers[key][id] = std::make_shared<std::function<void()>>(std::move(changed));
    return Subscription([weak = std::weak_ptr<State>(m_state), key, id] {
        if (auto state = weak.lock()) {
            std::lock_guard cancelLock(state->mutex);
            auto found = state->observers.find(key);
            if (found != state->observers.end()) {
                found->second.erase(id);
                if (found->second.empty())
                    state->observers.erase(found);
            }
        }
    });
}

} // namespace corvane
