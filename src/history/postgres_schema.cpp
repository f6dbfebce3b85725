#include "postgres_schema.h"

#include "schema_version.h"

namespace history {

namespace {

// The advisory lock that one program at a time migrates under ("kqmhist").
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(7020504107530603636)";

}  // namespace

void MigratePostgres(PgConnection& connection, std::size_t target) {
  const auto& migrations = SchemaMigrations(SqlDialect::kPostgres);
  if (target == 0) {
    target = migrations.size();
  }
  for (;;) {
    PgTransaction transaction(connection);
    connection.Exec(kMigrationLock);
    connection.Exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    const int64_t version =
        connection.Exec("SELECT coalesce(max(version), 0) FROM schema_version").Int(0, 0);
    RefuseNewerSchema(connection.Describe(), version, migrations.size());
    if (version >= static_cast<int64_t>(target)) {
      transaction.Commit();
      return;
    }
    connection.Exec(migrations[static_cast<std::size_t>(version)]);
    connection.Exec("DELETE FROM schema_version");
    connection.Exec("INSERT INTO schema_version (version) VALUES ($1)",
                    {std::to_string(version + 1)});
    transaction.Commit();
  }
}

}  // namespace history
