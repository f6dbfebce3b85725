// A production line of several base stations in one kqm-update, against tessalink-sim's
// stations on real pseudo-terminals: every module updated exactly once, in test boxes and in
// open air, over an SQLite file and a PostgreSQL server that the test starts; what a kill -9
// leaves; two programs (two PCs) on one server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../common/child_process.h"
#include "history/history.h"
#include "postgres_server.h"
#include "temp_directory.h"

namespace {
using namespace posixtest;
using namespace std::chrono_literals;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A module's file of the simulator (--images): "key: value" lines.
std::map<std::string, std::string> ModuleFile(const std::filesystem::path& path) {
  std::map<std::string, std::string> fields;
  for (const std::string& line : Lines(ReadFile(path.string()))) {
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos && fields.count(line.substr(0, colon)) == 0)
      fields[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return fields;
}

// Where the line keeps its history: an SQLite file, or a PostgreSQL server of the test's own.
enum class Store { kSqlite, kPostgres };

class ProductionLine : public testing::TestWithParam<Store> {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(firmware);
    for (const char* name : {"Korvane_Quorvanta_Mobile_Module.txt", "quorvanta_module_3_05.hex"})
      std::filesystem::copy_file(std::string(SAMPLE_FIRMWARE_DIR) + "/" + name, firmware + name);
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    const pid_t check = Spawn({KQM_UPDATE_PROGRAM, "check", "--firmware-dir", firmware, "--image",
                               dir.File("expected.bin")},
                              "/dev/null", dir.File("check.out"), dir.File("check.err"));
    ASSERT_EQ(WaitForExit(check, 10s), 0);
    image = ReadFile(dir.File("expected.bin"));
    if (GetParam() == Store::kPostgres) {
      server = std::make_unique<PostgresServer>();
      target = server->Url(server->CreateDatabase());
    } else {
      target = dir.File("line.db");
    }
  }
  void TearDown() override {
    for (const pid_t pid : started) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
      }
    }
    if (HasFailure())
      KeepFolder();
  }
  // A failed case's folder, kept for a look: the simulator's log, the traces and the records.
  void KeepFolder() const {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->name());
    std::replace(name.begin(), name.end(), '/', '-');
    const std::filesystem::path kept = std::filesystem::path(LINE_RESULTS_DIR) / name;
    std::error_code ignored;
    std::filesystem::remove_all(kept, ignored);
    std::filesystem::create_directories(kept, ignored);
    std::filesystem::copy(
        dir.Path(), kept,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::skip_symlinks,
        ignored);
    std::cerr << "The case's files are kept in " << kept.string() << "\n";
  }

  // tessalink-sim with `stations` stations linked at DIR/<name>-K; the images in DIR/<name>.
  void StartSimulator(const std::string& name, int stations, std::vector<std::string> options) {
    std::vector<std::string> arguments{TESSALINK_SIM_PROGRAM,
                                       "--stations",
                                       std::to_string(stations),
                                       "--link",
                                       dir.File(name),
                                       "--images",
                                       dir.File(name + "-images"),
                                       "--baud",
                                       "115200",
                                       "--setup-after",
                                       "300",
                                       "--exit-after-update",
                                       "--log",
                                       dir.File(name + ".log")};
    arguments.insert(arguments.end(), options.begin(), options.end());
    started.push_back(
        Spawn(arguments, "/dev/null", dir.File(name + ".out"), dir.File(name + ".err")));
    for (int k = 1; k <= stations; ++k) {
      const std::string link =
          stations == 1 ? dir.File(name) : dir.File(name) + "-" + std::to_string(k);
      ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(link); }, 10s)) << link;
    }
  }
  // kqm-update on the stations' links, with the line's history and a report of `name`.
  pid_t StartLine(const std::string& name, const std::vector<std::string>& links,
                  std::vector<std::string> options) {
    std::vector<std::string> arguments{KQM_UPDATE_PROGRAM, "--firmware-dir",
                                       firmware,           "--yes",
                                       "--baud",           "115200",
                                       "--history",        target,
                                       "--report",         dir.File(name + ".jsonl"),
                                       "--trace",          dir.File(name + ".trace")};
    for (const std::string& link : links) arguments.insert(arguments.end(), {"--port", link});
    arguments.insert(arguments.end(), options.begin(), options.end());
    started.push_back(
        Spawn(arguments, "/dev/null", dir.File(name + "-out.txt"), dir.File(name + "-err.txt")));
    return started.back();
  }
  std::vector<std::string> Links(const std::string& name, int stations) const {
    std::vector<std::string> links;
    for (int k = 1; k <= stations; ++k) links.push_back(dir.File(name) + "-" + std::to_string(k));
    return links;
  }
  // The records of a report: module ID (or "-") and result.
  std::vector<std::pair<std::string, std::string>> Results(const std::string& name) const {
    std::vector<std::pair<std::string, std::string>> results;
    for (const std::string& line : Lines(ReadFile(dir.File(name + ".jsonl")))) {
      const auto field = [&line](const std::string& key) {
        const std::size_t at = line.find("\"" + key + "\":\"");
        if (at == std::string::npos)
          return std::string("-");
        const std::size_t from = at + key.size() + 4;
        return line.substr(from, line.find('"', from) - from);
      };
      results.push_back({field("module_id"), field("result")});
    }
    return results;
  }
  // Every output of the program: a password of the history must be in none.
  void ExpectNoPassword(const std::string& name) const {
    for (const std::string& file : {name + "-out.txt", name + "-err.txt", name + ".jsonl"}) {
      const std::string text = ReadFile(dir.File(file));
      EXPECT_EQ(text.find(PostgresServer::kPassword), std::string::npos) << file;
      EXPECT_EQ(text.find(PostgresServer::kUrlPassword), std::string::npos) << file;
    }
  }

  TempDirectory dir;
  const std::string firmware = dir.File("firmware") + "/";
  std::string image;
  std::unique_ptr<PostgresServer> server;
  std::string target;
  std::vector<pid_t> started;
};

// Four stations, each in its own test box with three modules; one module ID comes up at two of
// them. Every module is updated once, the second of the pair is turned down and recorded as
// skipped (where and when it was updated), and every base station is restored.
TEST_P(ProductionLine, ShieldedStationsUpdateEachModuleOnce) {
  std::vector<std::string> modules;
  for (int k = 1; k <= 4; ++k) {
    for (int j = 1; j <= 3; ++j) {
      const std::string id = k == 3 && j == 3 ? "100001" : std::to_string(k * 100000 + j);
      modules.insert(modules.end(),
                     {"--module", "id=" + id + ",serial=00A2B3C4-000000" + std::to_string(k) +
                                      std::to_string(j) + ",station=" + std::to_string(k)});
    }
  }
  StartSimulator("box", 4, modules);
  const pid_t line = StartLine("box", Links("box", 4), {"--count", "11"});
  ASSERT_EQ(WaitForExit(line, 120s), 0) << ReadFile(dir.File("box-err.txt"));

  std::map<std::string, int> updated;
  int skipped = 0;
  for (const auto& [id, result] : Results("box")) {
    updated[id] += result == "success";
    skipped += result == "skipped";
  }
  EXPECT_EQ(updated.size(), 11u);
  for (const auto& [id, count] : updated) EXPECT_EQ(count, 1) << id;
  EXPECT_EQ(skipped, 1);
  EXPECT_NE(ReadFile(dir.File("box.jsonl")).find("Module 100001 was already updated with this "),
            std::string::npos)
      << ReadFile(dir.File("box.jsonl"));
  int complete = 0;
  for (const auto& file : std::filesystem::directory_iterator(dir.File("box-images"))) {
    if (file.path().extension() != ".txt" || file.path().filename().string()[0] != 'm')
      continue;
    const auto fields = ModuleFile(file.path());
    if (fields.at("update-complete") != "yes")
      continue;
    ++complete;
    std::filesystem::path bin = file.path();
    EXPECT_EQ(ReadFile(bin.replace_extension(".bin").string()), image) << file.path();
  }
  EXPECT_EQ(complete, 11);
  for (int k = 1; k <= 4; ++k) {
    const std::vector<std::string> log =
        Lines(ReadFile(dir.File("box-images/station-" + std::to_string(k) + ".log")));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "<W") << "station " << k << " restored";
  }
  const auto history = history::OpenHistory(target);
  EXPECT_EQ(history->Attempts({}).size(), 12u);
  ExpectNoPassword("box");
}

// Three stations in one room, five modules: each module's report is heard by every waiting
// station, and yet each is configured by one station only and updated once.
TEST_P(ProductionLine, OpenAirStationsConfigureOnlyModulesTheyClaimed) {
  std::vector<std::string> modules;
  for (int j = 1; j <= 5; ++j) {
    modules.insert(modules.end(), {"--module", "id=50000" + std::to_string(j) +
                                                   ",serial=00A2B3C4-0000005" + std::to_string(j)});
  }
  modules.push_back("--open-air");
  StartSimulator("room", 3, modules);
  const pid_t line = StartLine("room", Links("room", 3), {"--count", "5"});
  ASSERT_EQ(WaitForExit(line, 120s), 0) << ReadFile(dir.File("room-err.txt"));

  std::map<std::string, int> updated;
  for (const auto& [id, result] : Results("room")) updated[id] += result == "success";
  EXPECT_EQ(updated.size(), 5u);
  for (const auto& [id, count] : updated) EXPECT_EQ(count, 1) << id;
  for (const auto& file : std::filesystem::directory_iterator(dir.File("room-images"))) {
    if (file.path().extension() != ".txt" || file.path().filename().string()[0] != 'm')
      continue;
    const auto fields = ModuleFile(file.path());
    EXPECT_EQ(fields.at("update-complete"), "yes") << file.path();
    EXPECT_EQ(fields.at("configured-by").find(' '), std::string::npos)
        << file.path() << ": configured by " << fields.at("configured-by");
  }
  ExpectNoPassword("room");
}

// kill -9 in the middle of a transfer: the history stays readable, the module's claim runs out
// after its lease, and the next run updates the module.
TEST_P(ProductionLine, AKilledStationsClaimRunsOutAndTheNextRunUpdatesItsModule) {
  StartSimulator("first", 2, {"--wire-time", "--module", "id=700001,station=1"});
  const pid_t line = StartLine("first", Links("first", 2), {"--claim-lease", "2", "--json"});
  ASSERT_TRUE(WaitForText(dir.File("first-out.txt"), "\"type\":\"page_frame_sent\"", 60s))
      << ReadFile(dir.File("first-err.txt"));
  kill(line, SIGKILL);
  EXPECT_EQ(WaitForExit(line, 10s), -1);

  const auto history = history::OpenHistory(target);
  history->Attempts({});
  const auto probe = [&history] {
    return history->Claim("700001", "probe", "", true, 1000).verdict;
  };
  EXPECT_EQ(probe(), history::ClaimVerdict::kHeldElsewhere) << "the killed station's claim";
  ASSERT_TRUE(WaitUntil([&] { return probe() == history::ClaimVerdict::kGranted; }, 10s))
      << "the lease runs out";
  history->Release("700001", "probe");

  StartSimulator("second", 1, {"--module", "id=700001"});
  const pid_t next = StartLine("second", {dir.File("second")}, {"--count", "1"});
  ASSERT_EQ(WaitForExit(next, 60s), 0) << ReadFile(dir.File("second-err.txt"));
  EXPECT_EQ(Results("second"),
            (std::vector<std::pair<std::string, std::string>>{{"700001", "success"}}));
}

INSTANTIATE_TEST_SUITE_P(Stores, ProductionLine, testing::Values(Store::kSqlite, Store::kPostgres),
                         [](const testing::TestParamInfo<Store>& info) {
                           return info.param == Store::kSqlite ? "sqlite" : "postgresql";
                         });

// The count is reached while a station that finished first waits: the last place in it was
// another station's module under way, so it starts no search, relay and radio setup of a module
// there is no place for, which the end of the line would have to wait for (some 6 s).
class LineEnd : public ProductionLine {};

TEST_P(LineEnd, AStationDoneFirstPreparesNoModuleTheCountHasNoPlaceFor) {
  StartSimulator("end", 2,
                 {"--module", "id=800001,serial=00A2B3C4-00000081,station=1", "--module",
                  "id=800002,serial=00A2B3C4-00000082,station=2,setup-after=2500"});
  const pid_t line = StartLine("end", Links("end", 2), {"--count", "2"});
  ASSERT_EQ(WaitForExit(line, 60s), 0) << ReadFile(dir.File("end-err.txt"));
  ASSERT_EQ(WaitForExit(started.front(), 20s), 0) << "the simulator, once every port is closed";
  EXPECT_EQ(Results("end"), (std::vector<std::pair<std::string, std::string>>{
                                {"800001", "success"}, {"800002", "success"}}));
  for (int k = 1; k <= 2; ++k) {
    const std::vector<std::string> log =
        Lines(ReadFile(dir.File("end-images/station-" + std::to_string(k) + ".log")));
    EXPECT_EQ(std::count(log.begin(), log.end(), "<V"), 1) << "station " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Store, LineEnd, testing::Values(Store::kSqlite),
                         [](const testing::TestParamInfo<Store>&) { return "sqlite"; });

// Two programs, as on two PCs, each with a station that hears the same module, on one
// PostgreSQL server: exactly one of them updates it; the other turns it down.
TEST(TwoProgramsOnOneServer, OnlyOneWinsTheClaim) {
  PostgresServer server;
  const std::string url = server.Url(server.CreateDatabase());
  TempDirectory dir;
  const std::string firmware = dir.File("firmware") + "/";
  std::filesystem::create_directory(firmware);
  for (const char* name : {"Korvane_Quorvanta_Mobile_Module.txt", "quorvanta_module_3_05.hex"})
    std::filesystem::copy_file(std::string(SAMPLE_FIRMWARE_DIR) + "/" + name, firmware + name);
  std::vector<pid_t> programs;
  for (const char* pc : {"pc1", "pc2"}) {
    const std::string name = pc;
    programs.push_back(Spawn({TESSALINK_SIM_PROGRAM, "--link", dir.File(name), "--baud", "115200",
                              "--setup-after", "300", "--module", "id=800001"},
                             "/dev/null", dir.File(name + "-sim.out"),
                             dir.File(name + "-sim.err")));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(dir.File(name)); }, 10s));
  }
  for (const char* pc : {"pc1", "pc2"}) {
    const std::string name = pc;
    programs.push_back(
        Spawn({KQM_UPDATE_PROGRAM, "--firmware-dir", firmware, "--yes", "--baud", "115200",
               "--history", url, "--port", dir.File(name), "--report", dir.File(name + ".jsonl")},
              "/dev/null", dir.File(name + "-out.txt"), dir.File(name + "-err.txt")));
  }
  EXPECT_EQ(WaitForExit(programs[2], 60s), 0);
  EXPECT_EQ(WaitForExit(programs[3], 60s), 0);
  for (const pid_t simulator : {programs[0], programs[1]}) {
    kill(simulator, SIGTERM);
    WaitForExit(simulator, 10s);
  }
  const std::string records = ReadFile(dir.File("pc1.jsonl")) + ReadFile(dir.File("pc2.jsonl"));
  std::size_t successes = 0, skips = 0;
  for (const std::string& line : Lines(records)) {
    successes += line.find("\"result\":\"success\"") != std::string::npos;
    skips += line.find("\"result\":\"skipped\"") != std::string::npos;
  }
  EXPECT_EQ(successes, 1u) << records;
  EXPECT_EQ(skips, 1u) << records;
}
}  // namespace
