#pragma once
#include <cstdint>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// One connection to an SQLite file, shared by the programs of one PC: WAL, a busy time-out,
// write transactions that take the write lock at their start. Errors are HistoryError naming
// the file.
namespace history {

class SqliteDatabase {
 public:
  // Opens (creating) the file; `busyTimeoutMs`: how long a statement waits for another
  // program's transaction.
  SqliteDatabase(const std::string& path, int busyTimeoutMs);
  ~SqliteDatabase();
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  const std::string& Describe() const { return description_; }
  void Exec(const std::string& sql);
  // Rows the last statement changed.
  int Changes() const;
  [[noreturn]] void Fail(const std::string& what) const;
  sqlite3* Handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
  std::string description_;
};

// A write transaction: BEGIN IMMEDIATE, so that two programs never both read and then both
// write; rolled back unless committed.
class SqliteTransaction {
 public:
  explicit SqliteTransaction(SqliteDatabase& db);
  ~SqliteTransaction();
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;
  void Commit();

 private:
  SqliteDatabase& db_;
  bool open_ = true;
};

// One prepared statement; parameters are bound from 1 in the order given.
class SqliteStatement {
 public:
  SqliteStatement(SqliteDatabase& db, const char* sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  SqliteStatement& Bind(const std::string& text);
  SqliteStatement& Bind(int64_t value);
  SqliteStatement& Bind(const std::optional<std::string>& text);
  SqliteStatement& Bind(const std::optional<double>& value);
  // True while a row is there to read.
  bool Step();
  // Ready to run again with new parameters.
  void Reset();

  std::string Text(int column) const;
  std::optional<std::string> OptionalText(int column) const;
  int64_t Int(int column) const;
  std::optional<double> OptionalReal(int column) const;

 private:
  SqliteDatabase& db_;
  sqlite3_stmt* statement_ = nullptr;
  int next_ = 1;
};

}  // namespace history
