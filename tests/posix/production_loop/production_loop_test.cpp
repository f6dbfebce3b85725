// The console's production loop against tessalink-sim's line of modules on a pseudo-terminal,
// in real time: what each module received and the base station's commands while it was within
// reach, the report records field by field, the event lines against the documented schema,
// the exit status, and what a stop or a kill leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../common/sim_program.h"
#include "sha256.h"
#include "temp_directory.h"

namespace {
using namespace posixtest;
using namespace std::chrono_literals;
using Json = nlohmann::json;

class ProductionLoop : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"Korvane_Quorvanta_Mobile_Module.txt", "quorvanta_module_3_05.hex"})
      std::filesystem::copy_file(std::string(SAMPLE_FIRMWARE_DIR) + "/" + name, dir.File(name));
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    const pid_t check = Spawn({KQM_UPDATE_PROGRAM, "check", "--firmware-dir", dir.Path().string(),
                               "--image", dir.File("expected.bin")},
                              "/dev/null", dir.File("check.out"), dir.File("check.err"));
    ASSERT_EQ(WaitForExit(check, 10s), 0);
    image = ReadFile(dir.File("expected.bin"));
  }
  // A test that fails early still stops the programs it started.
  void TearDown() override {
    for (const pid_t pid : started_) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
      }
    }
  }
  pid_t Start(const SimProgram& sim, std::vector<std::string> options,
              std::vector<std::string> before = {}) {
    std::vector<std::string> arguments = std::move(before);
    arguments.insert(arguments.end(), {KQM_UPDATE_PROGRAM, "--port", sim.Terminal(),
                                       "--firmware-dir", dir.Path().string(), "--yes"});
    arguments.insert(arguments.end(), options.begin(), options.end());
    started_.push_back(Spawn(arguments, "/dev/null", dir.File("out.txt"), dir.File("err.txt")));
    return started_.back();
  }
  // Every line of `file` against the schema in docs/ (or one of its definitions).
  void ExpectConforms(const std::string& file, const std::string& definition = "") {
    const pid_t checker =
        Spawn({"/usr/bin/python3",
               PROJECT_SOURCE "/tests/posix/production_loop/"
                              "check_json_lines.py",
               PROJECT_SOURCE "/docs/console-events.schema.json", file, definition},
              "/dev/null", dir.File("schema.out"), dir.File("schema.err"));
    EXPECT_EQ(WaitForExit(checker, 30s), 0)
        << file << ":\n"
        << ReadFile(dir.File("schema.out")) << ReadFile(dir.File("schema.err"));
  }
  static std::vector<Json> Records(const std::string& text) {
    std::vector<Json> records;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) records.push_back(Json::parse(line));
    return records;
  }

  TempDirectory dir;
  std::string image;

 private:
  std::vector<pid_t> started_;
};

struct Expected {
  const char* id;
  const char* serial;
  const char* pan;
  const char* channel;
  const char* result;
  int exitCode;
  int accepted, frames, resends;
  int mostResentPage;  // -1: none
  const char* messageStart;
  const char* commandsEnd;  // the base station restored after the module
};

TEST_F(ProductionLoop, FourModulesEachRecordedAndTheBaseStationRestoredAfterEach) {
  SimProgram sim(dir,
                 {"--images", dir.File("images"), "--setup-after", "300", "--module",
                  "id=111111,serial=00A2B3C4-00000001", "--module",
                  "id=222222,serial=00A2B3C4-00000002,pan=2222,channel=20,faults=nak-page=1:2",
                  "--module", "id=333333,serial=00A2B3C4-00000003,faults=nak-page=1:5", "--module",
                  "id=111111,serial=00A2B3C4-00000004", "--module", "id=555555,setup-after=off"});
  const pid_t loop = Start(sim, {"--repeat", "--json", "--report", dir.File("report.jsonl")});
  // The fifth module never sends its report: the loop waits for it, and SIGTERM ends it there.
  ASSERT_TRUE(WaitForText(dir.File("err.txt"), "So far: 2 updated, 1 failed, 1 skipped.", 80s))
      << ReadFile(dir.File("err.txt"));
  const std::size_t waiting = sim.Log().size();
  ASSERT_TRUE(sim.WaitForLog("base station: <RS", waiting, 20s));
  kill(loop, SIGTERM);
  EXPECT_EQ(WaitForExit(loop, 20s), 8) << "the first failure class: the transfer";
  ASSERT_TRUE(sim.WaitForLog("PC closes the port", waiting, 10s));
  const std::string stop = sim.Log().substr(waiting);
  EXPECT_LT(stop.find("base station: <RN"), stop.find("base station: <W")) << stop;
  const std::string err = ReadFile(dir.File("err.txt"));
  EXPECT_NE(err.find("The loop ends while it waits for the next module.\nLoop finished: 2 "
                     "updated, 1 failed, 1 skipped; "),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("Module 2 (222222): updated after "), std::string::npos);
  EXPECT_NE(err.find("13 of 13 pages, 15 frames, 2 resent (most: page 1, 2 times); round trip "
                     "median "),
            std::string::npos);

  const Expected expected[] = {
      {"111111", "00A2B3C4 00000001", "3332", "15", "success", 0, 13, 13, 0, -1, "", "\nESC\n<W\n"},
      {"222222", "00A2B3C4 00000002", "2222", "20", "success", 0, 13, 15, 2, 1, "", "\nESC\n<W\n"},
      {"333333", "00A2B3C4 00000003", "3332", "15", "transfer_failed", 8, 1, 6, 4, 1,
       "Invalid ready response from the Korvane Quorvanta Module.     \n\n", "\nESC\n<W\n"},
      {"111111", "00A2B3C4 00000004", "3332", "15", "skipped", 0, 0, 0, 0, -1,
       "Module 111111 was already updated with this firmware at ", "\n<RS\n<RN\n<W\n"},
  };
  const std::vector<Json> records = Records(ReadFile(dir.File("report.jsonl")));
  ASSERT_EQ(records.size(), 4u);
  const auto digest = Sha256({reinterpret_cast<const uint8_t*>(image.data()), image.size()});
  for (int i = 0; i < 4; ++i) {
    const Expected& e = expected[i];
    const Json& r = records[i];
    SCOPED_TRACE(r.dump());
    const std::string name = dir.File("images/module-" + std::to_string(i + 1) + "-" + e.id);
    const std::string received = ReadFile(name + ".bin");
    EXPECT_EQ(received, image.substr(0, e.accepted * 256u));
    const std::string commands = ReadFile(name + ".txt");
    EXPECT_EQ(commands.substr(commands.size() - std::string(e.commandsEnd).size()), e.commandsEnd);

    EXPECT_EQ(r["attempt"], i + 1);
    EXPECT_FALSE(r["host"].get<std::string>().empty());
    EXPECT_EQ(r["device"], sim.Terminal());
    EXPECT_EQ(r["baud"], 9600);
    EXPECT_EQ(r["base_station_id"].get<std::string>().substr(0, 11), "KV-TSLK-00,");
    EXPECT_EQ(r["module_id"], e.id);
    EXPECT_EQ(r["network_serial"], e.serial);
    EXPECT_EQ(r["pan_id"], e.pan);
    EXPECT_EQ(r["rf_channel"], e.channel);
    EXPECT_EQ(r["boot_loader"], e.frames != 0 ? Json("QMM-2.11-644") : Json(nullptr));
    EXPECT_EQ(r["firmware_version"], "3.05");
    EXPECT_EQ(r["hex_file"], "quorvanta_module_3_05.hex");
    EXPECT_EQ(r["image_sha256"], Sha256Hex(*digest));
    EXPECT_EQ(r["image_pages"], 13);
    EXPECT_EQ(r["pages_accepted"], e.accepted);
    EXPECT_EQ(r["frames"], e.frames);
    EXPECT_EQ(r["resends"], e.resends);
    EXPECT_EQ(r["most_resent_page"], e.mostResentPage >= 0 ? Json(e.mostResentPage) : Json());
    EXPECT_EQ(r["round_trip_worst_ms"].is_null(), e.frames == 0);
    if (e.frames != 0) {
      EXPECT_LE(r["round_trip_median_ms"].get<double>(), r["round_trip_worst_ms"].get<double>());
    }
    EXPECT_EQ(r["result"], e.result);
    EXPECT_EQ(r["exit_code"], e.exitCode);
    EXPECT_EQ(r["message"].get<std::string>().rfind(e.messageStart, 0), 0u);
    // The phases share out the whole update; each one that ran took its time.
    int phases = 0;
    for (const char* phase :
         {"search_ms", "setup_wait_ms", "radio_setup_ms", "transfer_ms", "restore_ms"}) {
      phases += r[phase].get<int>();
      EXPECT_TRUE(r[phase] > 0 || (phase == std::string("transfer_ms") && e.frames == 0)) << phase;
    }
    EXPECT_GE(r["restore_ms"], 1000);
    EXPECT_NEAR(phases, r["duration_ms"].get<int>(), 50);
  }
  // The same records among the event lines, and every line as documented.
  ExpectConforms(dir.File("out.txt"));
  ExpectConforms(dir.File("report.jsonl"), "record");
  const std::vector<Json> events = Records(ReadFile(dir.File("out.txt")));
  EXPECT_EQ(events.back(), (Json{{"schema", 1},
                                 {"type", "run_finished"},
                                 {"time", events.back()["time"]},
                                 {"attempt", 5},
                                 {"exit_code", 8},
                                 {"updated", 2},
                                 {"failed", 1},
                                 {"skipped", 1}}));
}

TEST_F(ProductionLoop, AKillInTheSecondModuleLeavesTheFirstRecordWhole) {
  SimProgram sim(dir, {"--setup-after", "300", "--module", "id=111111", "--module", "id=222222"});
  const pid_t loop = Start(sim, {"--count", "2", "--report", dir.File("report.jsonl")});
  ASSERT_TRUE(sim.WaitForLog("module 2 of 2 (ID 222222) comes within reach", 0, 60s));
  ASSERT_TRUE(sim.WaitForLog("Setup button: sends its Setup report", sim.Log().size(), 30s));
  kill(loop, SIGKILL);
  EXPECT_EQ(WaitForExit(loop, 10s), -1);
  const std::string report = ReadFile(dir.File("report.jsonl"));
  ASSERT_EQ(report.back(), '\n');
  const std::vector<Json> records = Records(report);
  ASSERT_EQ(records.size(), 1u) << report;
  EXPECT_EQ(records[0]["module_id"], "111111");
  EXPECT_EQ(records[0]["result"], "success");
  ExpectConforms(dir.File("report.jsonl"), "record");
}

// Before the next module starts, the record is on the disk (fsync of the report file, seen by
// strace before the port is opened again) and its event line is in the pipe (read while the
// program waits for the next module).
TEST_F(ProductionLoop, EachRecordIsOnTheDiskAndInThePipeBeforeTheNextModule) {
  SimProgram sim(dir, {"--setup-after", "300", "--module", "id=111111", "--module",
                       "id=222222,setup-after=off"});
  const pid_t loop = Start(sim, {"--repeat", "--json", "--report", dir.File("report.jsonl")},
                           {"/usr/bin/strace", "-f", "-qq", "-e", "trace=openat,fsync,fdatasync",
                            "-o", dir.File("strace.txt")});
  ASSERT_TRUE(sim.WaitForLog("module 2 of 2 (ID 222222) comes within reach", 0, 60s));
  ASSERT_TRUE(sim.WaitForLog("base station: <RS", sim.Log().size(), 30s));
  const std::string events = ReadFile(dir.File("out.txt"));
  EXPECT_NE(events.find("\"type\":\"module_record\""), std::string::npos)
      << "the first module's record, read while the program waits for the second";
  // The signal to the program strace runs; strace ends with it.
  const std::string children =
      ReadFile("/proc/" + std::to_string(loop) + "/task/" + std::to_string(loop) + "/children");
  ASSERT_FALSE(children.empty());
  kill(std::stoi(children), SIGTERM);
  EXPECT_EQ(WaitForExit(loop, 20s), 0);
  // openat(AT_FDCWD, ".../report.jsonl", ...) = 3, then fsync(3) before the port is opened again.
  const std::string trace = ReadFile(dir.File("strace.txt"));
  std::smatch opened;
  ASSERT_TRUE(std::regex_search(trace, opened, std::regex("report\\.jsonl\"[^\n]*= ([0-9]+)")))
      << trace;
  const std::size_t sync = trace.find("fsync(" + opened[1].str() + ")");
  ASSERT_NE(sync, std::string::npos) << trace;
  const std::size_t firstOpen = trace.find(sim.Terminal());
  EXPECT_LT(firstOpen, sync);
  EXPECT_NE(trace.find(sim.Terminal(), sync), std::string::npos)
      << "the port is opened again for the second module, after the record's fsync";
}

// The Setup report that never comes, ended by the time-out or by SIGTERM: Cancel Update's
// bytes on the wire, then the port closed; the record says which it was.
TEST_F(ProductionLoop, SetupTimeOutAndSigtermTakeTheCleanCancel) {
  struct Case {
    std::vector<std::string> options;
    bool terminate;
    int exitCode;
    const char* record;
  };
  const Case cases[] = {
      {{"--setup-timeout", "1.5"}, false, 10, ",setup_timeout,10,No Setup report within 1.5 s"},
      {{}, true, 9, ",cancelled,9,,0,false,"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exitCode);
    const TempDirectory simDir;
    SimProgram sim(simDir, {"--setup-after", "off"});
    std::vector<std::string> options{"--json", "--report", dir.File("report.csv"), "--trace",
                                     dir.File("trace.txt")};
    options.insert(options.end(), c.options.begin(), c.options.end());
    std::filesystem::remove(dir.File("report.csv"));
    const pid_t update = Start(sim, options);
    ASSERT_TRUE(sim.WaitForLog("base station: <RS", 0, 30s));
    if (c.terminate)
      kill(update, SIGTERM);
    EXPECT_EQ(WaitForExit(update, 20s), c.exitCode) << ReadFile(dir.File("err.txt"));
    const std::string trace = ReadFile(dir.File("trace.txt"));
    const std::size_t cancel = trace.find("-> 1B 1B 1B 1B 1B 1B 3C 52 4E 3C 57 ");
    EXPECT_NE(cancel, std::string::npos) << trace;
    EXPECT_NE(trace.find("close", cancel), std::string::npos) << trace;
    const std::string report = ReadFile(dir.File("report.csv"));
    EXPECT_EQ(report.rfind("schema,attempt,start_time,", 0), 0u) << report;
    EXPECT_NE(report.find(c.record), std::string::npos) << report;
    ExpectConforms(dir.File("out.txt"));
  }
}
}  // namespace
