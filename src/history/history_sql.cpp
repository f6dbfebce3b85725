#include "history_sql.h"

#include "utf8_text.h"

namespace history {

namespace {

// Version 1: the attempts, the claims and the stations' states. Module IDs and stations are
// searched through their own indexes; the time index serves the shift summary.
std::string VersionOne(SqlDialect dialect) {
  const bool sqlite = dialect == SqlDialect::kSqlite;
  const std::string id = sqlite ? "id INTEGER PRIMARY KEY" : "id BIGSERIAL PRIMARY KEY";
  const std::string real = sqlite ? "REAL" : "DOUBLE PRECISION";
  return "CREATE TABLE attempts (" + id +
         ", station TEXT NOT NULL, host TEXT NOT NULL, port TEXT NOT NULL,"
         " start_ms BIGINT NOT NULL, duration_ms BIGINT NOT NULL, module_id TEXT,"
         " result TEXT NOT NULL, exit_code INTEGER NOT NULL, message TEXT NOT NULL,"
         " image_sha256 TEXT, firmware_version TEXT NOT NULL, pages_accepted INTEGER NOT NULL,"
         " frames INTEGER NOT NULL, resends INTEGER NOT NULL, round_trip_median_ms " +
         real + ", round_trip_worst_ms " + real +
         ", record_json TEXT NOT NULL, recorded_ms BIGINT NOT NULL);"
         "CREATE INDEX attempts_module ON attempts (module_id, start_ms);"
         "CREATE INDEX attempts_station ON attempts (station, start_ms);"
         "CREATE INDEX attempts_start ON attempts (start_ms);"
         "CREATE TABLE claims (module_id TEXT PRIMARY KEY, station TEXT NOT NULL,"
         " claimed_ms BIGINT NOT NULL, expires_ms BIGINT NOT NULL);"
         "CREATE TABLE stations (station TEXT PRIMARY KEY, host TEXT NOT NULL,"
         " port TEXT NOT NULL, state TEXT NOT NULL, module_id TEXT, page INTEGER NOT NULL,"
         " pages INTEGER NOT NULL, last_result TEXT NOT NULL, last_message TEXT NOT NULL,"
         " updated INTEGER NOT NULL, failed INTEGER NOT NULL, skipped INTEGER NOT NULL,"
         " frames INTEGER NOT NULL, resends INTEGER NOT NULL, started_ms BIGINT NOT NULL,"
         " published_ms BIGINT NOT NULL);";
}

// Version 2: the shift summary reads its counts from one index (time, station, result)
// instead of the rows of twelve hours.
const char* const kVersionTwo =
    "CREATE INDEX attempts_shift ON attempts (start_ms, station, result);"
    "DROP INDEX attempts_start;";

}  // namespace

const std::vector<std::string>& SchemaMigrations(SqlDialect dialect) {
  static const std::vector<std::string> sqlite = {VersionOne(SqlDialect::kSqlite), kVersionTwo};
  static const std::vector<std::string> postgres = {VersionOne(SqlDialect::kPostgres), kVersionTwo};
  return dialect == SqlDialect::kSqlite ? sqlite : postgres;
}

#define HISTORY_ATTEMPT_COLUMNS                                                             \
  "station, host, port, start_ms, duration_ms, module_id, result, exit_code, message, "     \
  "image_sha256, firmware_version, pages_accepted, frames, resends, round_trip_median_ms, " \
  "round_trip_worst_ms, record_json"

const char* const kInsertAttemptSql =
    "INSERT INTO attempts (" HISTORY_ATTEMPT_COLUMNS
    ", recorded_ms) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, "
    "$16, $17, $18)";

const char* const kCopyAttemptsSql =
    "COPY attempts (" HISTORY_ATTEMPT_COLUMNS ", recorded_ms) FROM STDIN";

const char* const kLatestSuccessSql =
    "SELECT station, start_ms FROM attempts WHERE module_id = $1 AND image_sha256 = $2 AND "
    "result = 'success' ORDER BY start_ms DESC, id DESC LIMIT 1";

#define HISTORY_FAILED "result NOT IN ('success', 'skipped')"

// The rows of the shift first (the time index), then their stations: grouped straight away,
// SQLite walks the station index through every row of the year instead.
const char* const kCountsByStationSql =
    "WITH shift AS MATERIALIZED (SELECT station, result FROM attempts WHERE start_ms >= $1) "
    "SELECT station, count(CASE WHEN result = 'success' THEN 1 END), count(CASE "
    "WHEN " HISTORY_FAILED
    " THEN 1 END), count(CASE WHEN result = 'skipped' THEN 1 END) FROM shift GROUP BY station "
    "ORDER BY station";

const char* const kModulesPerHourSql =
    "SELECT start_ms / 3600000 * 3600000 AS hour_ms, count(CASE WHEN result = 'success' THEN 1 "
    "END), count(CASE WHEN " HISTORY_FAILED
    " THEN 1 END) FROM attempts WHERE start_ms >= $1 AND result <> 'skipped' GROUP BY hour_ms "
    "ORDER BY hour_ms";

const char* const kLinkSeriesSql =
    "SELECT station, start_ms, round_trip_median_ms, round_trip_worst_ms, frames, resends FROM "
    "attempts WHERE start_ms >= $1 AND frames > 0 ORDER BY start_ms, id";

const char* const kStationColumns =
    "station, host, port, state, module_id, page, pages, last_result, last_message, updated, "
    "failed, skipped, frames, resends, started_ms, published_ms";

SqlQuery AttemptSelect(const AttemptQuery& query) {
  SqlQuery select{"SELECT " HISTORY_ATTEMPT_COLUMNS " FROM attempts", {}};
  bool first = true;
  const auto where = [&select, &first](const std::string& sql) {
    select.sql += (first ? " WHERE " : " AND ") + sql;
    first = false;
  };
  const auto parameter = [&select, &where](const std::string& sql, SqlValue value) {
    select.parameters.push_back(std::move(value));
    where(sql + std::to_string(select.parameters.size()));
  };
  if (query.moduleId) {
    parameter("module_id = $", StorableText(*query.moduleId));
  }
  if (query.station) {
    parameter("station = $", StorableText(*query.station));
  }
  if (query.sinceMs) {
    parameter("start_ms >= $", *query.sinceMs);
  }
  if (query.result && *query.result == "failed") {
    where(HISTORY_FAILED);
  } else if (query.result) {
    parameter("result = $", StorableText(*query.result));
  }
  select.sql += " ORDER BY start_ms DESC, id DESC";
  if (query.limit != 0) {
    select.sql += " LIMIT " + std::to_string(query.limit);
  }
  return select;
}

}  // namespace history
