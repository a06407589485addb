#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace corvane {

// A failed SQLite call: its result code and SQLite's own words.
class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const std::string& message);
    // A damage that SQLite did not report itself (a failed integrity check).
    static SqliteError damage(const std::string& message);
    int code() const { return m_code; }
    // The file is not a database, or a damaged one.
    bool damaged() const;

private:
    int m_code;
};

// One prepared statement. Values are bound as parameters, never spliced into
// the text. Belongs to the database that made it and must go before it.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* database, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&&) = delete;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters count from 1. Text is copied.
    SqliteStatement& bind(int parameter, std::int64_t value);
    SqliteStatement& bind(int parameter, std::string_view value);
    // True while a row is ready; throws SqliteError on failure.
    bool step();
    // Makes the statement ready to run again, with no parameters bound.
    void reset();
    std::int64_t integer(int column) const;
    std::string text(int column) const;

private:
    sqlite3* m_database;
    sqlite3_stmt* m_statement = nullptr;
};

// An open database connection; closes on destruction.
class SqliteDatabase {
public:
    // Opens `file` for reading and writing, creating it if needed; throws SqliteError.
    explicit SqliteDatabase(const std::filesystem::path& file);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Runs statements that bind nothing and whose rows, if any, are dropped.
    void execute(const std::string& sql);
    SqliteStatement prepare(std::string_view sql);
    std::int64_t changes() const;

private:
    sqlite3* m_database = nullptr;
};

// A write transaction that rolls back unless committed.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase& database);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;
    void commit();

private:
    SqliteDatabase& m_database;
    bool m_open = true;
};

} // namespace corvane
