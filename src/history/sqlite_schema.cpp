#include "sqlite_schema.h"

#include "history_sql.h"
#include "schema_version.h"

namespace history {

void MigrateSqlite(SqliteDatabase& db, std::size_t target) {
  const auto& migrations = SchemaMigrations(SqlDialect::kSqlite);
  if (target == 0) {
    target = migrations.size();
  }
  // Readers never wait for the writer, and the writer commits without rewriting the file.
  db.Exec("PRAGMA journal_mode=WAL");
  for (;;) {
    SqliteTransaction transaction(db);
    db.Exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    int64_t version = 0;
    {
      SqliteStatement select(db, "SELECT coalesce(max(version), 0) FROM schema_version");
      select.Step();
      version = select.Int(0);
    }
    RefuseNewerSchema(db.Describe(), version, migrations.size());
    if (version >= static_cast<int64_t>(target)) {
      return;
    }
    db.Exec(migrations[static_cast<std::size_t>(version)]);
    db.Exec("DELETE FROM schema_version");
    SqliteStatement(db, "INSERT INTO schema_version (version) VALUES ($1)")
        .Bind(version + 1)
        .Step();
    transaction.Commit();
  }
}

}  // namespace history
