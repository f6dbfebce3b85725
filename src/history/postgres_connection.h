#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history_sql.h"

struct pg_conn;
struct pg_result;

// One connection to a PostgreSQL server through libpq. Every text it throws is free of the
// target's passwords, libpq's and the server's own texts included.
namespace history {

using PgParameter = std::optional<std::string>;

// The rows of one statement.
class PgResult {
 public:
  explicit PgResult(pg_result* result) : result_(result) {}
  int Rows() const;
  int Changed() const;  // rows an INSERT, UPDATE or DELETE touched
  bool IsNull(int row, int column) const;
  std::string Text(int row, int column) const;
  std::optional<std::string> OptionalText(int row, int column) const;
  int64_t Int(int row, int column) const;
  std::optional<double> OptionalReal(int row, int column) const;

 private:
  // Throws HistoryError when the result has no such value.
  void Check(int row, int column) const;
  struct Clear {
    void operator()(pg_result* result) const;
  };
  std::unique_ptr<pg_result, Clear> result_;
};

// One row of a result, for row_reading.h.
struct PgRow {
  const PgResult& rows;
  int row;
  std::string Text(int column) const { return rows.Text(row, column); }
  std::optional<std::string> OptionalText(int column) const {
    return rows.OptionalText(row, column);
  }
  int64_t Int(int column) const { return rows.Int(row, column); }
  std::optional<double> OptionalReal(int column) const { return rows.OptionalReal(row, column); }
};

class PgConnection {
 public:
  // Connects; libpq applies the PG* environment variables and the password file.
  explicit PgConnection(const std::string& target);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // "PostgreSQL database line on /run/postgresql:5432 as kqm".
  const std::string& Describe() const { return description_; }
  // One statement with parameters ($1, ...), or several without.
  PgResult Exec(const std::string& sql, const std::vector<PgParameter>& parameters = {});
  PgResult Exec(const SqlQuery& query);
  // COPY ... FROM STDIN: `data` in COPY's text format.
  void CopyIn(const std::string& sql, const std::string& data);
  [[noreturn]] void Fail(const std::string& what) const;

 private:
  void Connect();
  PgResult Checked(pg_result* result, const std::string& what);

  std::string target_;
  std::vector<std::string> secrets_;
  pg_conn* conn_ = nullptr;
  std::string description_;
};

// BEGIN; rolled back unless committed.
class PgTransaction {
 public:
  explicit PgTransaction(PgConnection& connection);
  ~PgTransaction();
  PgTransaction(const PgTransaction&) = delete;
  PgTransaction& operator=(const PgTransaction&) = delete;
  void Commit();

 private:
  PgConnection& connection_;
  bool open_ = true;
};

}  // namespace history
