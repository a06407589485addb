#pragma once

#include "core/HistoryStore.h"
#include "core/runtime/ThreadPoolExecutor.h"

#include <chrono>
#include <filesystem>
#include <memory>

namespace corvane {

// The battery history in an SQLite database (WAL mode), worked on by a serial
// worker (the program's one worker, or a thread of the store's own), so no
// caller ever waits for the disk. A committed
// reading survives a crash of the program (not always a power cut: the last
// moments may go). The folder is made 0700, the file 0600.
//
// At start, readings older than `keep` go. A file that is not a database or
// is damaged is kept aside as `<file>.corrupt-<UTC time>` (with its write-ahead
// log beside it) and a fresh one starts, with one message on stderr. When the
// folder or the disk cannot take the history (unwritable, full), the store
// says so once on stderr, completes with "nothing stored" and tries again at
// the next operation. Names and serial numbers are stored as data only.
class SqliteHistoryStore final : public HistoryStore {
public:
    static constexpr std::chrono::days kKeep {400};

    // On a worker thread of the store's own.
    explicit SqliteHistoryStore(std::filesystem::path file, std::chrono::days keep = kKeep);
    // On `worker`, shared with other jobs.
    SqliteHistoryStore(std::filesystem::path file, SerialExecutor& worker, std::chrono::days keep = kKeep);
    // Operations already made still run, completions included: on its own
    // thread before this returns, on a shared worker as it comes to them.
    ~SqliteHistoryStore() override;
    SqliteHistoryStore(const SqliteHistoryStore&) = delete;
    SqliteHistoryStore& operator=(const SqliteHistoryStore&) = delete;

    // $XDG_STATE_HOME/corvane/history.sqlite3, or ~/.local/state/corvane/history.sqlite3
    // when XDG_STATE_HOME is unset or empty.
    static std::filesystem::path defaultPath();

    void record(std::vector<BatteryReading> readings, std::function<void(bool stored)> done) override;
    void readingsSince(
        const std::string& serialNumber, Date since, std::function<void(std::vector<BatteryReading>)> done) override;
    void clear(std::function<void(bool cleared)> done) override;

private:
    class Worker;
    // Shared with every queued job, so that it lives as long as they do.
    std::shared_ptr<Worker> m_worker;
    std::unique_ptr<SerialExecutor> m_ownThread;
    SerialExecutor& m_thread;
};

} // namespace corvane
