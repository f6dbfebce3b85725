#include "sqlite_history.h"

#include "claim_rule.h"
#include "history_mutex.h"
#include "history_sql.h"
#include "query_rules.h"
#include "row_reading.h"
#include "sqlite_rows.h"
#include "sqlite_schema.h"
#include "utf8_text.h"

namespace history {

namespace {

// How long a statement waits for another program's transaction before it fails.
constexpr int kBusyTimeoutMs = 10000;

// Each program has its connection and the file's locks keep the programs apart; a mutex keeps
// the threads of one program apart on it. Times are the system clock's.
class SqliteHistory : public History {
 public:
  explicit SqliteHistory(const std::string& path) : db_(path, kBusyTimeoutMs) {
    MigrateSqlite(db_);
  }

  std::string Describe() const override { return db_.Describe(); }

  ClaimResult Claim(const std::string& moduleId, const std::string& station,
                    const std::string& imageSha256, bool allowRepeat, int64_t leaseMs) override {
    const std::string module = StorableText(moduleId);
    HistoryLock lock(mutex_);
    SqliteTransaction transaction(db_);
    std::optional<SuccessfulAttempt> updated;
    if (!allowRepeat) {
      updated = LatestSuccess(module, StorableText(imageSha256));
    }
    const ClaimDecision decision =
        DecideClaim(CurrentClaim(module), StorableText(station), updated, SystemNowMs(), leaseMs);
    if (decision.store) {
      SqliteStatement(db_,
                      "INSERT OR REPLACE INTO claims (module_id, station, claimed_ms, expires_ms) "
                      "VALUES ($1, $2, $3, $4)")
          .Bind(module)
          .Bind(decision.store->station)
          .Bind(decision.store->claimedMs)
          .Bind(decision.store->expiresMs)
          .Step();
    }
    transaction.Commit();
    return decision.result;
  }

  // A lapsed claim that no other station took is renewed too: it was never anyone else's.
  bool Renew(const std::string& moduleId, const std::string& station, int64_t leaseMs) override {
    HistoryLock lock(mutex_);
    SqliteStatement(db_, "UPDATE claims SET expires_ms = $1 WHERE module_id = $2 AND station = $3")
        .Bind(SystemNowMs() + leaseMs)
        .Bind(StorableText(moduleId))
        .Bind(StorableText(station))
        .Step();
    return db_.Changes() > 0;
  }

  void Release(const std::string& moduleId, const std::string& station) override {
    HistoryLock lock(mutex_);
    SqliteStatement(db_, "DELETE FROM claims WHERE module_id = $1 AND station = $2")
        .Bind(StorableText(moduleId))
        .Bind(StorableText(station))
        .Step();
  }

  void Record(const Attempt& attempt) override { RecordAll({attempt}); }

  void RecordAll(const std::vector<Attempt>& attempts) override {
    HistoryLock lock(mutex_);
    SqliteTransaction transaction(db_);
    SqliteStatement insert(db_, kInsertAttemptSql);
    const EpochMs now = SystemNowMs();
    for (const Attempt& attempt : attempts) {
      BindAttempt(insert, StorableAttempt(attempt), now);
      insert.Step();
      insert.Reset();
    }
    transaction.Commit();
  }

  void Publish(const StationState& state) override {
    StationState stored = StorableState(state);
    stored.publishedMs = SystemNowMs();
    HistoryLock lock(mutex_);
    SqliteStatement insert(db_,
                           (std::string("INSERT OR REPLACE INTO stations (") + kStationColumns +
                            ") VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, "
                            "$13, $14, $15, $16)")
                               .c_str());
    BindStation(insert, stored);
    insert.Step();
  }

  std::vector<Attempt> Attempts(const AttemptQuery& query) override {
    const SqlQuery select = AttemptSelect(query);
    HistoryLock lock(mutex_);
    SqliteStatement statement(db_, select.sql.c_str());
    for (const SqlValue& value : select.parameters) {
      std::visit([&statement](const auto& v) { statement.Bind(v); }, value);
    }
    std::vector<Attempt> attempts;
    while (statement.Step()) {
      attempts.push_back(ReadAttemptRow(statement));
    }
    return attempts;
  }

  std::vector<StationState> Stations() override {
    HistoryLock lock(mutex_);
    SqliteStatement select(
        db_,
        (std::string("SELECT ") + kStationColumns + " FROM stations ORDER BY station").c_str());
    const EpochMs now = SystemNowMs();
    std::vector<StationState> states;
    while (select.Step()) {
      states.push_back(ReadStationRow(select));
      states.back().ageMs = now - states.back().publishedMs;
    }
    return states;
  }

  std::vector<StationCount> CountsByStation(EpochMs sinceMs) override {
    return SinceRows<StationCount>(kCountsByStationSql, sinceMs,
                                   ReadStationCountRow<SqliteStatement>);
  }

  std::vector<HourCount> ModulesPerHour(EpochMs sinceMs) override {
    return SinceRows<HourCount>(kModulesPerHourSql, sinceMs, ReadHourCountRow<SqliteStatement>);
  }

  std::vector<LinkPoint> LinkSeries(EpochMs sinceMs) override {
    return SinceRows<LinkPoint>(kLinkSeriesSql, sinceMs, ReadLinkPointRow<SqliteStatement>);
  }

 private:
  // The rows of a question of the attempts since a time.
  template <class T, class Reader>
  std::vector<T> SinceRows(const char* sql, EpochMs sinceMs, Reader read) {
    HistoryLock lock(mutex_);
    SqliteStatement select(db_, sql);
    select.Bind(sinceMs);
    std::vector<T> rows;
    while (select.Step()) {
      rows.push_back(read(select));
    }
    return rows;
  }

  std::optional<StoredClaim> CurrentClaim(const std::string& module) {
    SqliteStatement select(
        db_, "SELECT station, claimed_ms, expires_ms FROM claims WHERE module_id = $1");
    select.Bind(module);
    if (!select.Step()) {
      return std::nullopt;
    }
    return StoredClaim{select.Text(0), select.Int(1), select.Int(2)};
  }

  std::optional<SuccessfulAttempt> LatestSuccess(const std::string& module,
                                                 const std::string& sha) {
    SqliteStatement select(db_, kLatestSuccessSql);
    select.Bind(module).Bind(sha);
    if (!select.Step()) {
      return std::nullopt;
    }
    return SuccessfulAttempt{select.Text(0), select.Int(1)};
  }

  HistoryMutex mutex_;
  SqliteDatabase db_;
};

}  // namespace

std::unique_ptr<History> OpenSqliteHistory(const std::string& path) {
  return std::make_unique<SqliteHistory>(path);
}

}  // namespace history
