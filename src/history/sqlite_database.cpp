#include "sqlite_database.h"

#include <sqlite3.h>

#include "history.h"

namespace history {

SqliteDatabase::SqliteDatabase(const std::string& path, int busyTimeoutMs)
    : description_("SQLite database " + path) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw HistoryError(description_ + ": cannot open it: " + reason);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, busyTimeoutMs);
}

SqliteDatabase::~SqliteDatabase() {
  sqlite3_close(db_);
}

void SqliteDatabase::Exec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string reason = error ? error : sqlite3_errmsg(db_);
    sqlite3_free(error);
    throw HistoryError(description_ + ": " + reason);
  }
}

int SqliteDatabase::Changes() const {
  return sqlite3_changes(db_);
}

void SqliteDatabase::Fail(const std::string& what) const {
  throw HistoryError(description_ + ": " + what + ": " + sqlite3_errmsg(db_));
}

SqliteTransaction::SqliteTransaction(SqliteDatabase& db) : db_(db) {
  db_.Exec("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction() {
  if (open_) {
    sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
}

void SqliteTransaction::Commit() {
  db_.Exec("COMMIT");
  open_ = false;
}

SqliteStatement::SqliteStatement(SqliteDatabase& db, const char* sql) : db_(db) {
  if (sqlite3_prepare_v2(db_.Handle(), sql, -1, &statement_, nullptr) != SQLITE_OK) {
    db_.Fail("cannot prepare a statement");
  }
}

SqliteStatement::~SqliteStatement() {
  sqlite3_finalize(statement_);
}

SqliteStatement& SqliteStatement::Bind(const std::string& text) {
  sqlite3_bind_text(statement_, next_++, text.data(), static_cast<int>(text.size()),
                    SQLITE_TRANSIENT);
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int64_t value) {
  sqlite3_bind_int64(statement_, next_++, value);
  return *this;
}

SqliteStatement& SqliteStatement::Bind(const std::optional<std::string>& text) {
  if (text) {
    return Bind(*text);
  }
  sqlite3_bind_null(statement_, next_++);
  return *this;
}

SqliteStatement& SqliteStatement::Bind(const std::optional<double>& value) {
  if (value) {
    sqlite3_bind_double(statement_, next_++, *value);
  } else {
    sqlite3_bind_null(statement_, next_++);
  }
  return *this;
}

bool SqliteStatement::Step() {
  const int status = sqlite3_step(statement_);
  if (status == SQLITE_ROW) {
    return true;
  }
  if (status != SQLITE_DONE) {
    db_.Fail("a statement failed");
  }
  return false;
}

void SqliteStatement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  next_ = 1;
}

std::string SqliteStatement::Text(int column) const {
  const auto* text = sqlite3_column_text(statement_, column);
  return text ? std::string(reinterpret_cast<const char*>(text),
                            static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
              : std::string();
}

std::optional<std::string> SqliteStatement::OptionalText(int column) const {
  if (sqlite3_column_type(statement_, column) == SQLITE_NULL) {
    return std::nullopt;
  }
  return Text(column);
}

int64_t SqliteStatement::Int(int column) const {
  return sqlite3_column_int64(statement_, column);
}

std::optional<double> SqliteStatement::OptionalReal(int column) const {
  if (sqlite3_column_type(statement_, column) == SQLITE_NULL) {
    return std::nullopt;
  }
  return sqlite3_column_double(statement_, column);
}

}  // namespace history
