#include "linux/Sqlite.h"

#include <sqlite3.h>

#include <utility>

namespace corvane {

namespace {

[[noreturn]] void fail(sqlite3* database, int code)
{
    throw SqliteError(code, database != nullptr ? sqlite3_errmsg(database) : sqlite3_errstr(code));
}

} // namespace

SqliteError::SqliteError(int code, const std::string& message)
    : std::runtime_error(message)
    , m_code(code)
{
}

SqliteError SqliteError::damage(const std::string& message) { return {SQLITE_CORRUPT, message}; }

bool SqliteError::damaged() const
{
    const int primary = m_code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

SqliteStatement::SqliteStatement(sqlite3* database, std::string_view sql)
    : m_database(database)
{
    const int code = sqlite3_prepare_v2(database, sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr);
    if (code != SQLITE_OK)
        fail(database, code);
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(m_statement); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_database(other.m_database)
    , m_statement(std::exchange(other.m_statement, nullptr))
{
}

SqliteStatement& SqliteStatement::bind(int parameter, std::int64_t value)
{
    const int code = sqlite3_bind_int64(m_statement, parameter, value);
    if (code != SQLITE_OK)
        fail(m_database, code);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int parameter, std::string_view value)
{
    const int code
        = sqlite3_bind_text64(m_statement, parameter, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    if (code != SQLITE_OK)
        fail(m_database, code);
    return *this;
}

bool SqliteStatement::step()
{
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    sqlite3_reset(m_statement);
    fail(m_database, code);
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

std::int64_t SqliteStatement::integer(int column) const { return sqlite3_column_int64(m_statement, column); }

std::string SqliteStatement::text(int column) const
{
    const auto* characters = sqlite3_column_text(m_statement, column);
    const int length = sqlite3_column_bytes(m_statement, column);
    if (characters == nullptr)
        return {};
    return {reinterpret_cast<const char*>(characters), static_cast<std::size_t>(length)};
}

SqliteDatabase::SqliteDatabase(const std::filesystem::path& file)
{
    const int code = sqlite3_open_v2(
        file.c_str(), &m_database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        SqliteError error(code, m_database != nullptr ? sqlite3_errmsg(m_database) : sqlite3_errstr(code));
        sqlite3_close(m_database);
        throw error;
    }
    sqlite3_extended_result_codes(m_database, 1);
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close(m_database); }

void SqliteDatabase::execute(const std::string& sql)
{
    const int code = sqlite3_exec(m_database, sql.c_str(), nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        fail(m_database, code);
}

SqliteStatement SqliteDatabase::prepare(std::string_view sql) { return SqliteStatement(m_database, sql); }

std::int64_t SqliteDatabase::changes() const { return sqlite3_changes64(m_database); }

SqliteTransaction::SqliteTransaction(SqliteDatabase& database)
    : m_database(database)
{
    m_database.execute("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction()
{
    if (!m_open)
        return;
    try {
        m_database.execute("ROLLBACK");
    } catch (const SqliteError&) {
        // After some errors SQLite has rolled back already.
    }
}

void SqliteTransaction::commit()
{
    m_database.execute("COMMIT");
    m_open = false;
}

} // namespace corvane
