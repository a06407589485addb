#include "linux/SqliteHistoryStore.h"

#include "linux/Sqlite.h"
#include "linux/UserFiles.h"
#include "linux/XdgPaths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace corvane {

namespace fs = std::filesystem;
using std::chrono::seconds;

namespace {

constexpr std::int64_t kCharging = 1;
constexpr std::int64_t kCoarse = 2;

// SQLite's reports may run over several lines; a message stays on one.
std::string oneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::int64_t secondsOf(Date time) { return std::chrono::floor<seconds>(time).time_since_epoch().count(); }

// Runs the checks and makes the tables; a damaged file fails here.
bool setUp(SqliteDatabase& database)
{
    database.execute("PRAGMA busy_timeout = 2000");
    auto check = database.prepare("PRAGMA quick_check(1)");
    if (check.step() && check.text(0) != "ok")
        throw SqliteError::damage("integrity check: " + check.text(0));
    check.reset();
    database.execute("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;"
                     "CREATE TABLE IF NOT EXISTS devices (id INTEGER PRIMARY KEY, serial TEXT NOT NULL UNIQUE,"
                     " name TEXT NOT NULL);"
                     "CREATE TABLE IF NOT EXISTS readings (device INTEGER NOT NULL, time INTEGER NOT NULL,"
                     " percent INTEGER NOT NULL, flags INTEGER NOT NULL);"
                     "CREATE INDEX IF NOT EXISTS readings_by_device ON readings (device, time);");
    return true;
}

// Makes the folder (0700) and the file (0600) so that SQLite never makes them with wider modes.
void makeFile(const fs::path& file)
{
    const auto folder = file.parent_path();
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        fs::create_directories(folder.parent_path(), error);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            throw std::runtime_error("cannot create " + folder.string() + ": " + std::strerror(errno));
    }
    const int descriptor = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0)
        throw std::runtime_error("cannot open " + file.string() + ": " + std::strerror(errno));
    ::fchmod(descriptor, 0600);
    ::close(descriptor);
}

} // namespace

class SqliteHistoryStore::Worker {
public:
    Worker(fs::path file, std::chrono::days keep)
        : m_file(std::move(file))
        , m_keep(keep)
    {
    }

    void start()
    {
        attempt(false, [](Connection&) { return true; });
    }

    bool record(const std::vector<BatteryReading>& readings)
    {
        return attempt(false, [&](Connection& connection) { return write(connection, readings); });
    }

    std::vector<BatteryReading> readingsSince(const std::string& serialNumber, Date since)
    {
        return attempt(std::vector<BatteryReading> {}, [&](Connection& connection) {
            auto& select = connection.readSince;
            select.reset();
            select.bind(1, serialNumber).bind(2, secondsOf(since));
            std::vector<BatteryReading> readings;
            while (select.step()) {
                const auto flags = select.integer(2);
                readings.push_back({serialNumber, select.text(3), Date {seconds {select.integer(0)}}, select.integer(1),
                    (flags & kCoarse) != 0, (flags & kCharging) != 0});
            }
            select.reset();
            return readings;
        });
    }

    bool clear()
    {
        m_known.clear();
        return attempt(false, [](Connection& connection) {
            connection.database.execute("DELETE FROM readings; DELETE FROM devices;");
            return true;
        });
    }

private:
    struct Connection {
        explicit Connection(const fs::path& file)
            : database(file)
            , ready(setUp(database))
            , findDevice(database.prepare("SELECT id, name FROM devices WHERE serial = ?1"))
            , addDevice(database.prepare("INSERT INTO devices (serial, name) VALUES (?1, ?2) RETURNING id"))
            , renameDevice(database.prepare("UPDATE devices SET name = ?2 WHERE id = ?1"))
            , lastReading(database.prepare(
                  "SELECT time, percent, flags FROM readings WHERE device = ?1 ORDER BY rowid DESC LIMIT 1"))
            , addReading(
                  database.prepare("INSERT INTO readings (device, time, percent, flags) VALUES (?1, ?2, ?3, ?4)"))
            , readSince(database.prepare("SELECT r.time, r.percent, r.flags, d.name FROM readings AS r"
                                         " JOIN devices AS d ON d.id = r.device WHERE d.serial = ?1 AND r.time >= ?2"
                                         " ORDER BY r.time, r.rowid"))
        {
        }

        SqliteDatabase database;
        bool ready;
        SqliteStatement findDevice;
        SqliteStatement addDevice;
        SqliteStatement renameDevice;
        SqliteStatement lastReading;
        SqliteStatement addReading;
        SqliteStatement readSince;
    };

    // A device as stored, with its last stored reading.
    struct Known {
        std::int64_t id = 0;
        std::string name;
        std::optional<BatteryReading> last;
    };

    // Runs `operation` on an open database. A damaged file is kept aside and
    // the operation runs once more on a fresh one; any other failure gives
    // `fallback`, with one message per spell of failures.
    template <typename Result, typename Operation> Result attempt(Result fallback, Operation&& operation)
    {
        for (int round = 0; round < 2; ++round) {
            try {
                if (!m_connection)
                    connect();
                Result result = operation(*m_connection);
                m_failing = false;
                return result;
            } catch (const SqliteError& error) {
                m_connection.reset();
                m_known.clear();
                if (!error.damaged() || round > 0 || !keepAside(error.what())) {
                    unavailable(error.what());
                    return fallback;
                }
            } catch (const std::runtime_error& error) {
                m_connection.reset();
                m_known.clear();
                unavailable(error.what());
                return fallback;
            }
        }
        return fallback;
    }

    void connect()
    {
        makeFile(m_file);
        auto connection = std::make_unique<Connection>(m_file);
        if (!m_pruned) {
            const auto oldest = secondsOf(std::chrono::floor<seconds>(std::chrono::system_clock::now()) - m_keep);
            connection->database.prepare("DELETE FROM readings WHERE time < ?1").bind(1, oldest).step();
            connection->database.execute("DELETE FROM devices WHERE id NOT IN (SELECT device FROM readings)");
            m_pruned = true;
        }
        m_connection = std::move(connection);
    }

    bool write(Connection& connection, const std::vector<BatteryReading>& readings)
    {
        SqliteTransaction transaction(connection.database);
        for (const auto& reading : readings) {
            auto& device = known(connection, reading);
            if (device.last && device.last->sameChargeAs(reading))
                continue;
            auto& add = connection.addReading;
            add.reset();
            add.bind(1, device.id).bind(2, secondsOf(reading.time)).bind(3, reading.percent);
            add.bind(4, (reading.charging ? kCharging : 0) | (reading.coarse ? kCoarse : 0)).step();
            device.last = reading;
        }
        transaction.commit();
        return true;
    }

    // The device of `reading`, looked up once and then kept; made or renamed as needed.
    Known& known(Connection& connection, const BatteryReading& reading)
    {
        auto found = m_known.find(reading.serialNumber);
        if (found == m_known.end()) {
            Known device;
            auto& find = connection.findDevice;
            find.reset();
            if (find.bind(1, reading.serialNumber).step()) {
                device.id = find.integer(0);
                device.name = find.text(1);
                device.last = lastReading(connection, device.id);
            } else {
                auto& add = connection.addDevice;
                add.reset();
                add.bind(1, reading.serialNumber).bind(2, reading.name).step();
                device.id = add.integer(0);
                device.name = reading.name;
                add.reset();
            }
            find.reset();
            found = m_known.emplace(reading.serialNumber, std::move(device)).first;
        }
        if (found->second.name != reading.name) {
            connection.renameDevice.reset();
            connection.renameDevice.bind(1, found->second.id).bind(2, reading.name).step();
            found->second.name = reading.name;
        }
        return found->second;
    }

    static std::optional<BatteryReading> lastReading(Connection& connection, std::int64_t device)
    {
        auto& select = connection.lastReading;
        select.reset();
        std::optional<BatteryReading> last;
        if (select.bind(1, device).step()) {
            const auto flags = select.integer(2);
            last = BatteryReading {{}, {}, Date {seconds {select.integer(0)}}, select.integer(1),
                (flags & kCoarse) != 0, (flags & kCharging) != 0};
        }
        select.reset();
        return last;
    }

    // The damaged file and its write-ahead log move aside together; never deleted.
    bool keepAside(const std::string& report)
    {
        const auto problem = oneLine(report);
        const auto aside = corruptCopyName(m_file);
        std::error_code error;
        fs::rename(m_file, aside, error);
        if (error) {
            std::cerr << "corvane: the battery history " << m_file << " is damaged (" << problem
                      << ") and could not be moved aside (" << error.message() << ")\n";
            return false;
        }
        fs::rename(fs::path(m_file) += "-wal", fs::path(aside) += "-wal", error);
        fs::remove(fs::path(m_file) += "-shm", error);
        std::cerr << "corvane: the battery history " << m_file << " is damaged (" << problem << "); kept it as "
                  << aside << " and starting a fresh one\n";
        return true;
    }

    void unavailable(const std::string& problem)
    {
        if (!m_failing)
            std::cerr << "corvane: cannot keep the battery history in " << m_file << " (" << oneLine(problem)
                      << "); going on without it and trying again at the next reading\n";
        m_failing = true;
    }

    const fs::path m_file;
    const std::chrono::days m_keep;
    std::unique_ptr<Connection> m_connection;
    std::unordered_map<std::string, Known> m_known;
    bool m_failing = false;
    bool m_pruned = false;
};

SqliteHistoryStore::SqliteHistoryStore(fs::path file, std::chrono::days keep)
    : m_worker(std::make_shared<Worker>(std::move(file), keep))
    , m_ownThread(std::make_unique<SerialExecutor>())
    , m_thread(*m_ownThread)
{
    m_thread.post([worker = m_worker] { worker->start(); });
}

SqliteHistoryStore::SqliteHistoryStore(fs::path file, SerialExecutor& worker, std::chrono::days keep)
    : m_worker(std::make_shared<Worker>(std::move(file), keep))
    , m_thread(worker)
{
    m_thread.post([store = m_worker] { store->start(); });
}

SqliteHistoryStore::~SqliteHistoryStore() = default;

fs::path SqliteHistoryStore::defaultPath() { return xdg::stateHome() / "corvane" / "history.sqlite3"; }

void SqliteHistoryStore::record(std::vector<BatteryReading> readings, std::function<void(bool)> done)
{
    m_thread.post([worker = m_worker, readings = std::move(readings), done = std::move(done)] {
        const bool stored = worker->record(readings);
        if (done)
            done(stored);
    });
}

void SqliteHistoryStore::readingsSince(
    const std::string& serialNumber, Date since, std::function<void(std::vector<BatteryReading>)> done)
{
    m_thread.post([worker = m_worker, serialNumber, since, done = std::move(done)] {
        auto readings = worker->readingsSince(serialNumber, since);
        if (done)
            done(std::move(readings));
    });
}

void SqliteHistoryStore::clear(std::function<void(bool)> done)
{
    m_thread.post([worker = m_worker, done = std::move(done)] {
        const bool cleared = worker->clear();
        if (done)
            done(cleared);
    });
}

} // namespace corvane
