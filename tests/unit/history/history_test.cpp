// The memory and SQLite histories against the shared behaviour, the SQLite file's schema
// versions, and what `kqm-update history` prints of untrusted texts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "history/connection_target.h"
#include "history/display_text.h"
#include "history/history_format.h"
#include "history/history_sql.h"
#include "history/sqlite_database.h"
#include "history/sqlite_schema.h"
#include "history_contract.h"

namespace history_test {
namespace {

INSTANTIATE_TEST_SUITE_P(
    Backends, HistoryContract,
    testing::Values(Backend{"memory", [](const std::string&) { return std::string(); }},
                    Backend{"sqlite",
                            [](const std::string& folder) { return folder + "/line.db"; }}),
    [](const testing::TestParamInfo<Backend>& info) { return info.param.name; });

std::vector<std::string> Column(history::SqliteDatabase& db, const char* sql) {
  history::SqliteStatement select(db, sql);
  std::vector<std::string> values;
  while (select.Step()) {
    values.push_back(select.Text(0));
  }
  return values;
}

// A file of version 1, as the first program wrote it, keeps its attempts and gains the
// shift index; a file newer than the program is refused and left as it is.
TEST(SqliteSchema, MigratesAVersionOneFileAndRefusesANewerOne) {
  TempDirectory folder;
  const std::string path = folder.File("line.db");
  {
    history::SqliteDatabase db(path, 1000);
    history::MigrateSqlite(db, 1);
    EXPECT_EQ(Column(db, "SELECT version FROM schema_version"), std::vector<std::string>{"1"});
    history::SqliteStatement insert(db, history::kInsertAttemptSql);
    for (const char* text : {"a:1", "a", "1"}) {
      insert.Bind(std::string(text));
    }
    insert.Bind(int64_t{1000}).Bind(int64_t{5}).Bind(std::optional<std::string>("777"));
    insert.Bind(std::string("success")).Bind(int64_t{0}).Bind(std::string(""));
    insert.Bind(std::optional<std::string>("sha")).Bind(std::string("3.05"));
    insert.Bind(int64_t{13}).Bind(int64_t{13}).Bind(int64_t{0});
    insert.Bind(std::optional<double>()).Bind(std::optional<double>());
    insert.Bind(std::string("{}")).Bind(int64_t{1000});
    insert.Step();
  }
  auto history = history::OpenHistory(path);
  EXPECT_EQ(history->Attempts(Query("777")).size(), 1u);
  EXPECT_EQ(history->Claim("777", "b:1", "sha", false, 1000).verdict,
            history::ClaimVerdict::kAlreadyUpdated);
  history.reset();
  {
    history::SqliteDatabase db(path, 1000);
    EXPECT_EQ(Column(db, "SELECT version FROM schema_version"), std::vector<std::string>{"2"});
    EXPECT_EQ(Column(db,
                     "SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE "
                     "'attempts%' ORDER BY name"),
              (std::vector<std::string>{"attempts_module", "attempts_shift", "attempts_station"}));
    db.Exec("UPDATE schema_version SET version = 3");
  }
  try {
    history::OpenHistory(path);
    FAIL() << "a newer file was opened";
  } catch (const history::HistoryError& error) {
    EXPECT_NE(std::string(error.what()).find("schema is version 3, newer than version 2"),
              std::string::npos)
        << error.what();
  }
  history::SqliteDatabase db(path, 1000);
  EXPECT_EQ(Column(db, "SELECT version FROM schema_version"), std::vector<std::string>{"3"});
}

TEST(HistoryTarget, PostgresUrlsAndKeywordStringsElseAnSqliteFile) {
  for (const char* target : {"postgresql://u@h/db", "postgres://h", "host=/run dbname=line",
                             "dbname = line", "service=line"}) {
    EXPECT_TRUE(history::IsPostgresTarget(target)) << target;
  }
  for (const char* target : {"/var/lib/line.db", "line.db", "./host=x.db", "Host=x", "=x",
                             "postgresql:/x", "C:\\line.db"}) {
    EXPECT_FALSE(history::IsPostgresTarget(target)) << target;
  }
}

// Texts that would break each format, or turn into formulas and numbers in a spreadsheet.
std::vector<history::Attempt> HostileAttempts() {
  Attempt hostile = MakeAttempt("line-3:COM9", "=HYPERLINK(\"x\")", "transfer_failed", 1000);
  hostile.message = "No answer,\r\n\"page 3\"\x1b[2J\xe2\x80\xae tail \xff";
  hostile.firmwareVersion = "3.05";
  hostile.recordJson = "{\"schema\":1,\"module_id\":\"x\"}";
  hostile.roundTripWorstMs.reset();
  Attempt plain = MakeAttempt("\xe6\xa5\xad:COM1", "0012", "success", 1'765'126'000'123);
  plain.moduleId.reset();
  plain.message = "'quoted";
  plain.recordJson = "not json \"";
  return {hostile, plain};
}

TEST(HistoryFormat, CsvQuotesEveryTextAndKeepsSpreadsheetsFromConvertingIt) {
  const std::string csv = history::FormatAttempts(HostileAttempts(), history::OutputFormat::kCsv);
  EXPECT_EQ(
      csv,
      "start_time,station,host,port,module_id,result,exit_code,duration_ms,message,"
      "image_sha256,firmware_version,pages_accepted,frames,resends,round_trip_median_ms,"
      "round_trip_worst_ms\r\n"
      "1970-01-01T00:00:01.000Z,\"line-3:COM9\",\"line-3\",\"COM9\",\"'=HYPERLINK(\"\"x\"\")\","
      "\"transfer_failed\",8,9500,\"No answer,\r\n\"\"page 3\"\"\x1b[2J\xe2\x80\xae tail "
      "\xc3\xbf\",\"sha-1\",\"'3.05\",13,15,2,54.5,\r\n"
      "2025-12-07T16:46:40.123Z,\"\xe6\xa5\xad:COM1\",\"\xe6\xa5\xad\",\"COM1\",,\"success\","
      "0,9500,\"''quoted\",\"sha-1\",\"'3.05\",13,15,2,54.5,61\r\n");
  EXPECT_EQ(history::FormatStationCounts({{"-1:x", 3, 1, 0}}, history::OutputFormat::kCsv),
            "station,updated,failed,skipped\r\n\"'-1:x\",3,1,0\r\n");
}

TEST(HistoryFormat, TableRowsAreOneLineEachWithAlignedColumns) {
  const std::string table =
      history::FormatAttempts(HostileAttempts(), history::OutputFormat::kTable);
  std::istringstream lines(table);
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) {
    rows.push_back(line);
  }
  ASSERT_EQ(rows.size(), 3u) << table;
  EXPECT_EQ(table.find('\x1b'), std::string::npos);
  EXPECT_EQ(table.find("\xe2\x80\xae"), std::string::npos);
  EXPECT_NE(rows[1].find("No answer,\\r\\n\"page 3\"\\x1b[2J\\u202e tail \\xff"), std::string::npos)
      << rows[1];
  // The result column starts at the same column of the screen in every row (the wide
  // character counts two).
  const auto column = [](const std::string& row, const std::string& word) {
    return history::DisplayWidth(row.substr(0, row.find(word)));
  };
  EXPECT_EQ(column(rows[1], "transfer_failed"), column(rows[0], "Result"));
  EXPECT_EQ(column(rows[2], "success"), column(rows[0], "Result")) << table;
}

TEST(HistoryFormat, JsonIsOneValidObjectPerLine) {
  const std::string json = history::FormatAttempts(HostileAttempts(), history::OutputFormat::kJson);
  std::istringstream lines(json);
  std::vector<nlohmann::json> objects;
  for (std::string line; std::getline(lines, line);) {
    objects.push_back(nlohmann::json::parse(line));
  }
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0]["message"], "No answer,\r\n\"page 3\"\x1b[2J\xe2\x80\xae tail \xc3\xbf");
  EXPECT_EQ(objects[0]["record"]["module_id"], "x");
  EXPECT_EQ(objects[0]["round_trip_worst_ms"], nullptr);
  EXPECT_EQ(objects[1]["record"], "not json \"");
  EXPECT_EQ(objects[1]["module_id"], nullptr);
  EXPECT_EQ(objects[1]["start_time"], "2025-12-07T16:46:40.123Z");
}

}  // namespace
}  // namespace history_test
