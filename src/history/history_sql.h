#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "history.h"

// The SQL that SQLite and PostgreSQL share: the schema's migrations and the questions. Both
// take parameters as $1, $2, ... (SQLite reads them as numbered names).
namespace history {

enum class SqlDialect { kSqlite, kPostgres };

// Migration n (from 1) takes a database from version n - 1 to n; a program knows
// `SchemaMigrations(...).size()` versions. The version itself is kept in schema_version by the
// caller, in the same transaction.
const std::vector<std::string>& SchemaMigrations(SqlDialect dialect);

// The columns of an attempt, in the order InsertAttemptSql takes them and AttemptSelect gives
// them back.
extern const char* const kInsertAttemptSql;    // 19 parameters, the last the time recorded
extern const char* const kCopyAttemptsSql;     // the same columns, from COPY's text format
extern const char* const kLatestSuccessSql;    // $1 module, $2 image: station, start_ms
extern const char* const kCountsByStationSql;  // $1 since: station, updated, failed, skipped
extern const char* const kModulesPerHourSql;   // $1 since: hour_ms, updated, failed
extern const char* const
    kLinkSeriesSql;  // $1 since: station, start_ms, median, worst, frames, resends
extern const char* const kStationColumns;  // a station's state, in StationState's order

using SqlValue = std::variant<std::string, int64_t>;

struct SqlQuery {
  std::string sql;
  std::vector<SqlValue> parameters;
};

// The attempts the query asks for, newest first, every column of kInsertAttemptSql but the
// time recorded.
SqlQuery AttemptSelect(const AttemptQuery& query);

}  // namespace history
