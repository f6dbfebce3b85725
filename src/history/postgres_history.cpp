#include "postgres_history.h"

#include "claim_rule.h"
#include "history_mutex.h"
#include "history_sql.h"
#include "postgres_connection.h"
#include "postgres_rows.h"
#include "postgres_schema.h"
#include "row_reading.h"
#include "utf8_text.h"

namespace history {

namespace {

#define HISTORY_SERVER_NOW_MS "(extract(epoch FROM now()) * 1000)::bigint"

// Takes the module for the station when no other station's claim on it is live, renewing the
// station's own (which keeps the time it was claimed); no row when another station's is. The
// conflicting row stays locked to the end of the transaction.
const char* const kClaimSql =
    "INSERT INTO claims AS c (module_id, station, claimed_ms, expires_ms) "
    "SELECT $1, $2, t.now_ms, t.now_ms + $3::bigint FROM (SELECT " HISTORY_SERVER_NOW_MS
    " AS now_ms) t ON CONFLICT (module_id) DO UPDATE SET station = excluded.station, "
    "claimed_ms = CASE WHEN c.station = excluded.station AND c.expires_ms > excluded.claimed_ms "
    "THEN c.claimed_ms ELSE excluded.claimed_ms END, expires_ms = excluded.expires_ms "
    "WHERE c.station = excluded.station OR c.expires_ms <= excluded.claimed_ms "
    "RETURNING claimed_ms";

// A lapsed claim that no other station took is renewed too: it was never anyone else's.
const char* const kRenewSql = "UPDATE claims SET expires_ms = " HISTORY_SERVER_NOW_MS
                              " + $3::bigint WHERE module_id = $1 AND station = $2";

const char* const kPublishSql =
    "INSERT INTO stations (station, host, port, state, module_id, page, pages, last_result, "
    "last_message, updated, failed, skipped, frames, resends, started_ms, published_ms) VALUES "
    "($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, " HISTORY_SERVER_NOW_MS
    ") ON CONFLICT (station) DO UPDATE SET host = excluded.host, port = excluded.port, "
    "state = excluded.state, module_id = excluded.module_id, page = excluded.page, "
    "pages = excluded.pages, last_result = excluded.last_result, last_message = "
    "excluded.last_message, updated = excluded.updated, failed = excluded.failed, skipped = "
    "excluded.skipped, frames = excluded.frames, resends = excluded.resends, started_ms = "
    "excluded.started_ms, published_ms = excluded.published_ms";

// Attempts recorded at once from which the planner's statistics are made again.
constexpr std::size_t kAnalyzeAfter = 10000;

// The stations of several PCs: one connection per program, the server keeps the programs
// apart and a mutex the threads of one program.
class PostgresHistory : public History {
 public:
  explicit PostgresHistory(const std::string& target) : db_(target) { MigratePostgres(db_); }

  std::string Describe() const override { return db_.Describe(); }

  ClaimResult Claim(const std::string& moduleId, const std::string& station,
                    const std::string& imageSha256, bool allowRepeat, int64_t leaseMs) override {
    const std::string module = StorableText(moduleId);
    HistoryLock lock(mutex_);
    PgTransaction transaction(db_);
    const PgResult claimed =
        db_.Exec(kClaimSql, {module, StorableText(station), std::to_string(leaseMs)});
    if (claimed.Rows() == 0) {
      const PgResult holder =
          db_.Exec("SELECT station, claimed_ms FROM claims WHERE module_id = $1", {module});
      return {ClaimVerdict::kHeldElsewhere, holder.Text(0, 0), holder.Int(0, 1)};
    }
    if (!allowRepeat) {
      // Read after the claim: an attempt recorded before the claim it took was released is
      // seen here.
      const PgResult updated = db_.Exec(kLatestSuccessSql, {module, StorableText(imageSha256)});
      if (updated.Rows() > 0) {
        return {ClaimVerdict::kAlreadyUpdated, updated.Text(0, 0), updated.Int(0, 1)};
      }
    }
    transaction.Commit();
    return {ClaimVerdict::kGranted, StorableText(station), claimed.Int(0, 0)};
  }

  bool Renew(const std::string& moduleId, const std::string& station, int64_t leaseMs) override {
    HistoryLock lock(mutex_);
    return db_.Exec(kRenewSql,
                    {StorableText(moduleId), StorableText(station), std::to_string(leaseMs)})
               .Changed() > 0;
  }

  void Release(const std::string& moduleId, const std::string& station) override {
    HistoryLock lock(mutex_);
    db_.Exec("DELETE FROM claims WHERE module_id = $1 AND station = $2",
             {StorableText(moduleId), StorableText(station)});
  }

  void Record(const Attempt& attempt) override {
    HistoryLock lock(mutex_);
    db_.Exec(kInsertAttemptSql, AttemptParameters(attempt, SystemNowMs()));
  }

  void RecordAll(const std::vector<Attempt>& attempts) override;
  void Publish(const StationState& state) override {
    HistoryLock lock(mutex_);
    db_.Exec(kPublishSql, StationParameters(state));
  }

  std::vector<Attempt> Attempts(const AttemptQuery& query) override {
    HistoryLock lock(mutex_);
    return ReadRows<Attempt>(db_.Exec(AttemptSelect(query)), ReadAttemptRow<PgRow>);
  }

  std::vector<StationState> Stations() override;
  std::vector<StationCount> CountsByStation(EpochMs sinceMs) override {
    return SinceRows<StationCount>(kCountsByStationSql, sinceMs, ReadStationCountRow<PgRow>);
  }

  std::vector<HourCount> ModulesPerHour(EpochMs sinceMs) override {
    return SinceRows<HourCount>(kModulesPerHourSql, sinceMs, ReadHourCountRow<PgRow>);
  }

  std::vector<LinkPoint> LinkSeries(EpochMs sinceMs) override {
    return SinceRows<LinkPoint>(kLinkSeriesSql, sinceMs, ReadLinkPointRow<PgRow>);
  }

 private:
  template <class T, class Reader>
  static std::vector<T> ReadRows(const PgResult& rows, Reader read) {
    std::vector<T> list;
    for (int row = 0; row < rows.Rows(); ++row) {
      list.push_back(read(PgRow{rows, row}));
    }
    return list;
  }

  template <class T, class Reader>
  std::vector<T> SinceRows(const char* sql, EpochMs sinceMs, Reader read) {
    HistoryLock lock(mutex_);
    return ReadRows<T>(db_.Exec(sql, {std::to_string(sinceMs)}), read);
  }

  HistoryMutex mutex_;
  PgConnection db_;
};

void PostgresHistory::RecordAll(const std::vector<Attempt>& attempts) {
  const std::string data = AttemptCopyData(attempts, SystemNowMs());
  HistoryLock lock(mutex_);
  PgTransaction transaction(db_);
  db_.CopyIn(kCopyAttemptsSql, data);
  transaction.Commit();
  // The planner's picture of the times, which the server's own analysis would bring only
  // later: without it the shift summary reads the whole table after an import.
  if (attempts.size() >= kAnalyzeAfter) {
    db_.Exec("ANALYZE attempts");
  }
}

std::vector<StationState> PostgresHistory::Stations() {
  HistoryLock lock(mutex_);
  const PgResult rows =
      db_.Exec(std::string("SELECT ") + kStationColumns + ", " + HISTORY_SERVER_NOW_MS +
               " - published_ms FROM stations ORDER BY station");
  return ReadRows<StationState>(rows, [](const PgRow& row) {
    StationState state = ReadStationRow(row);
    state.ageMs = row.Int(16);
    return state;
  });
}

}  // namespace

std::unique_ptr<History> OpenPostgresHistory(const std::string& target) {
  return std::make_unique<PostgresHistory>(target);
}

}  // namespace history
