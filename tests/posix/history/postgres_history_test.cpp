// The PostgreSQL history against the shared behaviour, on a server of its own (one for the
// whole program), its schema versions, and passwords that never show.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../../unit/history/history_contract.h"
#include "history/postgres_connection.h"
#include "history/postgres_schema.h"
#include "postgres_server.h"

namespace history_test {
namespace {

PostgresServer* server = nullptr;

class ServerEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    try {
      server = new PostgresServer;
    } catch (const std::exception& error) {
      FAIL() << error.what();
    }
  }
  void TearDown() override {
    delete server;
    server = nullptr;
  }
};

[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new ServerEnvironment);

std::string NewDatabaseUrl() {
  return server->Url(server->CreateDatabase());
}

INSTANTIATE_TEST_SUITE_P(
    Backends, HistoryContract,
    testing::Values(Backend{"postgres", [](const std::string&) { return NewDatabaseUrl(); }}),
    [](const testing::TestParamInfo<Backend>& info) { return info.param.name; });

std::string ErrorOf(const std::string& target) {
  try {
    history::OpenHistory(target);
  } catch (const history::HistoryError& error) {
    return error.what();
  }
  return "(opened)";
}

TEST(PostgresSchema, MigratesAVersionOneDatabaseAndRefusesANewerOne) {
  const std::string url = NewDatabaseUrl();
  {
    history::PgConnection db(url);
    history::MigratePostgres(db, 1);
    db.Exec(
        "INSERT INTO attempts (station, host, port, start_ms, duration_ms, module_id, "
        "result, exit_code, message, image_sha256, firmware_version, pages_accepted, frames, "
        "resends, record_json, recorded_ms) VALUES ('a:1', 'a', '1', 1000, 5, '777', "
        "'success', 0, '', 'sha', '3.05', 13, 13, 0, '{}', 1000)");
  }
  auto history = history::OpenHistory(url);
  EXPECT_EQ(history->Claim("777", "b:1", "sha", false, 1000).verdict,
            history::ClaimVerdict::kAlreadyUpdated);
  history.reset();
  history::PgConnection db(url);
  EXPECT_EQ(db.Exec("SELECT version FROM schema_version").Text(0, 0), "2");
  EXPECT_EQ(db.Exec("SELECT string_agg(indexname, ' ' ORDER BY indexname) FROM pg_indexes "
                    "WHERE tablename = 'attempts'")
                .Text(0, 0),
            "attempts_module attempts_pkey attempts_shift attempts_station");
  db.Exec("UPDATE schema_version SET version = 3");
  EXPECT_NE(ErrorOf(url).find("schema is version 3, newer than version 2"), std::string::npos)
      << ErrorOf(url);
}

// libpq echoes parts of a connection text it cannot use; none of them may carry the password.
TEST(PostgresPassword, NeverShowsInDescriptionsOrErrors) {
  const std::string folder = server->SocketDirectory();
  const std::string password = PostgresServer::kPassword;
  const std::string encoded = PostgresServer::kUrlPassword;
  const auto history = history::OpenHistory(server->Url("postgres"));
  EXPECT_EQ(history->Describe(), "PostgreSQL database postgres on " + folder + " as kqmtest");
  const std::vector<std::string> targets = {
      "postgresql://kqmtest:wrong" + encoded + "@/postgres?host=" + folder,
      "postgresql://kqmtest:" + encoded + "%zz@/postgres?host=" + folder,
      "postgresql://kqmtest:" + encoded + "@/postgres?host=" + folder + "/" + encoded,
      "postgresql://kqmtest@/postgres?host=" + folder + "&password=" + encoded + "&port=x",
      "postgresql://kqmtest:" + encoded + "@[" + encoded,
      "host=" + folder + " user=kqmtest password='" + password + "' dbname=nothere",
      "host=" + folder + " password='" + password + "x' passwort=" + password,
      "host=" + folder + " password=" + encoded + " " + encoded,
  };
  for (const std::string& target : targets) {
    const std::string error = ErrorOf(target);
    EXPECT_NE(error, "(opened)") << target;
    for (const std::string& secret : {password, encoded, std::string("s3cr3t")}) {
      EXPECT_EQ(error.find(secret), std::string::npos) << error;
    }
  }
}

// libpq's own ways to the password: the password file (and PGPASSWORD, the same way).
TEST(PostgresPassword, ThePasswordFileApplies) {
  TempDirectory folder;
  folder.Write("pgpass", std::string("*:*:*:kqmtest:") + PostgresServer::kPassword + "\n");
  std::filesystem::permissions(folder.File("pgpass"), std::filesystem::perms::owner_read);
  const std::string target = "host=" + server->SocketDirectory() + " user=kqmtest dbname=postgres";
  EXPECT_NE(ErrorOf(target).find("password"), std::string::npos);
  setenv("PGPASSFILE", folder.File("pgpass").c_str(), 1);
  EXPECT_EQ(ErrorOf(target), "(opened)");
  unsetenv("PGPASSFILE");
}

}  // namespace
}  // namespace history_test
