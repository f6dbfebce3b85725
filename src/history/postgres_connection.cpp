#include "postgres_connection.h"

#include <libpq-fe.h>

#include <cstdlib>

#include "connection_target.h"
#include "history.h"

namespace history {

void PgResult::Clear::operator()(pg_result* result) const {
  PQclear(result);
}

int PgResult::Rows() const {
  return PQntuples(result_.get());
}

int PgResult::Changed() const {
  return std::atoi(PQcmdTuples(result_.get()));
}

bool PgResult::IsNull(int row, int column) const {
  return PQgetisnull(result_.get(), row, column) != 0;
}

void PgResult::Check(int row, int column) const {
  if (row >= Rows() || column >= PQnfields(result_.get())) {
    throw HistoryError("PostgreSQL database: the server's answer lacks a value it should have");
  }
}

std::string PgResult::Text(int row, int column) const {
  Check(row, column);
  return std::string(PQgetvalue(result_.get(), row, column),
                     static_cast<std::size_t>(PQgetlength(result_.get(), row, column)));
}

std::optional<std::string> PgResult::OptionalText(int row, int column) const {
  if (IsNull(row, column)) {
    return std::nullopt;
  }
  return Text(row, column);
}

int64_t PgResult::Int(int row, int column) const {
  Check(row, column);
  return std::strtoll(PQgetvalue(result_.get(), row, column), nullptr, 10);
}

std::optional<double> PgResult::OptionalReal(int row, int column) const {
  if (IsNull(row, column)) {
    return std::nullopt;
  }
  return std::strtod(PQgetvalue(result_.get(), row, column), nullptr);
}

namespace {

// libpq's texts end in a line end.
std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

std::string Option(const PQconninfoOption* options, const char* key) {
  for (const PQconninfoOption* option = options; option && option->keyword; ++option) {
    if (std::string(option->keyword) == key && option->val) {
      return option->val;
    }
  }
  return {};
}

}  // namespace

PgConnection::PgConnection(const std::string& target)
    : target_(target), secrets_(PasswordsOf(target)), description_("PostgreSQL database") {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(target.c_str(), &error);
  if (!options) {
    const std::string reason = error ? Trimmed(error) : "out of memory";
    PQfreemem(error);
    throw HistoryError(Redact("PostgreSQL connection text cannot be read: " + reason, secrets_));
  }
  const std::string database = Option(options, "dbname");
  PQconninfoFree(options);
  if (!database.empty()) {
    description_ += " " + database;
  }
  Connect();
}

PgConnection::~PgConnection() {
  PQfinish(conn_);
}

void PgConnection::Connect() {
  PQfinish(conn_);
  conn_ = PQconnectdb(target_.c_str());
  if (PQstatus(conn_) != CONNECTION_OK) {
    Fail("cannot connect");
  }
  const std::string host = PQhost(conn_);
  std::string where = "PostgreSQL database " + std::string(PQdb(conn_)) + " on " + host;
  if (!host.empty() && host[0] != '/') {
    where += ':';
    where += PQport(conn_);
  }
  description_ = Redact(where + " as " + PQuser(conn_), secrets_);
  PQsetNoticeProcessor(
      conn_, [](void*, const char*) {}, nullptr);
}

void PgConnection::Fail(const std::string& what) const {
  throw HistoryError(
      Redact(description_ + ": " + what + ": " + Trimmed(PQerrorMessage(conn_)), secrets_));
}

PgResult PgConnection::Checked(pg_result* result, const std::string& what) {
  const ExecStatusType status = PQresultStatus(result);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_COPY_IN) {
    return PgResult(result);
  }
  const std::string reason = result ? Trimmed(PQresultErrorMessage(result)) : "";
  PQclear(result);
  if (reason.empty()) {
    Fail(what);
  }
  throw HistoryError(Redact(description_ + ": " + what + ": " + reason, secrets_));
}

PgResult PgConnection::Exec(const std::string& sql, const std::vector<PgParameter>& parameters) {
  // A connection the server or the network dropped is made again once, between statements.
  if (PQstatus(conn_) != CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_INTRANS) {
    PQreset(conn_);
  }
  std::vector<const char*> values;
  for (const PgParameter& parameter : parameters) {
    values.push_back(parameter ? parameter->c_str() : nullptr);
  }
  if (parameters.empty()) {
    return Checked(PQexec(conn_, sql.c_str()), "a statement failed");
  }
  return Checked(PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                              values.data(), nullptr, nullptr, 0),
                 "a statement failed");
}

PgResult PgConnection::Exec(const SqlQuery& query) {
  std::vector<PgParameter> parameters;
  for (const SqlValue& value : query.parameters) {
    parameters.push_back(std::holds_alternative<int64_t>(value)
                             ? std::to_string(std::get<int64_t>(value))
                             : std::get<std::string>(value));
  }
  return Exec(query.sql, parameters);
}

void PgConnection::CopyIn(const std::string& sql, const std::string& data) {
  Exec(sql);
  constexpr std::size_t kChunk = 1 << 20;
  for (std::size_t at = 0; at < data.size(); at += kChunk) {
    const std::size_t size = std::min(kChunk, data.size() - at);
    if (PQputCopyData(conn_, data.data() + at, static_cast<int>(size)) != 1) {
      Fail("the copy failed");
    }
  }
  if (PQputCopyEnd(conn_, nullptr) != 1) {
    Fail("the copy failed");
  }
  Checked(PQgetResult(conn_), "the copy failed");
  while (pg_result* rest = PQgetResult(conn_)) {
    PQclear(rest);
  }
}

PgTransaction::PgTransaction(PgConnection& connection) : connection_(connection) {
  connection_.Exec("BEGIN");
}

PgTransaction::~PgTransaction() {
  if (open_) {
    try {
      connection_.Exec("ROLLBACK");
    } catch (const HistoryError&) {
      // The connection is gone, and the server rolled the transaction back with it.
    }
  }
}

void PgTransaction::Commit() {
  open_ = false;
  connection_.Exec("COMMIT");
}

}  // namespace history
