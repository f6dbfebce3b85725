#include "console_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "console_fakes.h"
#include "fake_platform.h"
#include "memory_profile.h"
#include "sim/devices.h"
#include "sim/in_process_serial.h"
#include "temp_directory.h"

namespace {
constexpr const char kDescription[] = "Korvane_Quorvanta_Mobile_Module.txt";
constexpr const char kHexName[] = "quorvanta_module_3_05.hex";

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// COM3 is a simulated device; the others are only numbers.
class SimulatedPortNames : public PortNames {
 public:
  std::string Device(int port) const override { return port == 3 ? "/dev/simulated" : ""; }
  std::string StableName(int port) const override { return Device(port); }
};

sim::Options PressSetupSoon() {
  sim::Options options;
  options.pressSetupAfterReportModeMs = 700;
  return options;
}

// The console commands over the in-process simulator on the virtual clock, with the sample
// firmware bundle in a directory of their own. The simulated port is COM3.
struct Session {
  explicit Session(const std::string& scenarioText = "") {
    std::string error;
    EXPECT_TRUE(sim::ParseScenario(scenarioText, scenario, error)) << error;
    Connect(std::make_unique<sim::Devices>(sim::ModuleParams{}, scenario, PressSetupSoon()));
  }
  // A production line of modules, each in the text form of the simulator's --module.
  explicit Session(const std::vector<std::string>& line) {
    std::vector<sim::LineModule> modules(line.size());
    std::string error;
    for (std::size_t i = 0; i < line.size(); ++i)
      EXPECT_TRUE(sim::ParseLineModule(line[i], modules[i], error)) << error;
    Connect(std::make_unique<sim::Devices>(modules, PressSetupSoon()));
  }
  void Connect(std::unique_ptr<sim::Devices> simulated) {
    devices = std::move(simulated);
    serial = std::make_unique<sim::InProcessSerial>(
        *devices, [this] { return clock.Now(); }, 3);
    for (const char* name : {kDescription, kHexName}) {
      std::filesystem::copy_file(std::string(SAMPLE_FIRMWARE_DIR) + "/" + name,
                                 firmware.Path() / name);
    }
    ports.SetPorts({"COM1", "COM3"});
    environment = std::make_unique<ConsoleEnvironment>(
        ConsoleEnvironment{clock, *serial, profile, ports, input, interrupts, captured.output,
                           "kqm-update", firmware.WithSeparator(), portNames});
  }

  ExitCode Update(int port = 3, bool yes = true) {
    options.yes = yes;
    return RunUpdateCommand(*environment, options, port);
  }
  bool Commanded(const std::string& command) const {
    const auto& log = devices->CommandLog();
    return std::find(log.begin(), log.end(), command) != log.end();
  }
  std::string Out() const { return captured.out.str(); }
  std::string Err() const { return captured.err.str(); }

  VirtualClock clock;
  sim::Scenario scenario;
  std::unique_ptr<sim::Devices> devices;
  std::unique_ptr<sim::InProcessSerial> serial;
  MemoryProfile profile;
  ScriptedPortList ports;
  SimulatedPortNames portNames;
  ScriptedInput input{clock};
  ScriptedInterrupts interrupts;
  CapturedOutput captured;
  TempDirectory firmware;
  ConsoleOptions options;
  std::unique_ptr<ConsoleEnvironment> environment;
};

TEST(ConsoleSession, CompleteUpdateLeavesTheModuleHoldingThePageImage) {
  Session s;
  ConsoleOptions check;
  check.imageFile = s.firmware.File("expected.bin");
  ASSERT_EQ(RunCheckCommand(*s.environment, check), ExitCode::kSuccess) << s.Err();
  s.options.traceFile = s.firmware.File("trace.txt");

  EXPECT_EQ(s.Update(), ExitCode::kSuccess) << s.Err();
  EXPECT_TRUE(s.devices->UpdateComplete());
  EXPECT_EQ(s.devices->FirmwareImage(), ReadBytes(check.imageFile));
  EXPECT_EQ(ReadBytes(check.imageFile).size(), 13u * 256);
  EXPECT_EQ(s.profile.GetInt("Settings", "ComPort", -1), 3);
  EXPECT_FALSE(s.serial->IsOpen());
  EXPECT_FALSE(s.firmware.Exists("Hex.tmp"));

  const std::string out = s.Out();
  EXPECT_NE(out.find("Serial port  =  COM3 (/dev/simulated)\n"), std::string::npos);
  EXPECT_NE(out.find("Firmware version  =  3.05\n"), std::string::npos);
  EXPECT_NE(out.find("Boot loader version  =  QMM-2.11-644\n"), std::string::npos);
  EXPECT_NE(out.find("Sending hex file page  13  of  13\n"), std::string::npos);
  EXPECT_NE(out.find("[Firmware Update Complete]\nThe Korvane Quorvanta Module firmware has been "
                     "successfully updated.     \n\n"),
            std::string::npos)
      << out;
  // The summary, from the update's events.
  EXPECT_NE(out.find("Summary: base station at 9600 baud; 13 of 13 pages accepted in 13 frames "
                     "(0 resent), "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Exit status 0: success.\n"), std::string::npos);
  EXPECT_EQ(s.Err(), "");

  // The trace holds both directions, the identification among them.
  const std::vector<uint8_t> trace = ReadBytes(s.options.traceFile);
  const std::string traceText(trace.begin(), trace.end());
  EXPECT_NE(traceText.find("open COM3 at 9600 baud, 8N1: opened"), std::string::npos);
  EXPECT_NE(traceText.find("<- 0D 4B 56 2D 54 53 4C 4B 2D 30 30 2C"), std::string::npos);
  EXPECT_NE(traceText.find("-> 23 24 25 2D 51 4D 4D 2D 32 2E 31 31 2D 36 34 34"),
            std::string::npos);
}

TEST(ConsoleSession, WithoutPortTheSavedPortOrTheLowestIsUsed) {
  struct Case {
    std::vector<std::string> listed;
    int saved;
    ExitCode expected;
    const char* said;
  };
  const Case cases[] = {
      {{"COM1", "COM3"}, 3, ExitCode::kSuccess, "Serial port  =  COM3"},
      // No saved port: the lowest, COM1, which this machine cannot open.
      {{"COM1", "COM3"}, -1, ExitCode::kPortOpen, "Unable to open serial port COM1     "},
      // The saved port has gone: the lowest again.
      {{"COM1"}, 3, ExitCode::kPortOpen, "Unable to open serial port COM1     "},
      {{},
       3,
       ExitCode::kPortOpen,
       "No serial port found. Give the base station's port with --port."},
  };
  for (const Case& c : cases) {
    Session s;
    s.ports.SetPorts(c.listed);
    if (c.saved > 0)
      s.profile.WriteInt("Settings", "ComPort", c.saved);
    EXPECT_EQ(s.Update(0), c.expected) << s.Err();
    EXPECT_NE((s.Out() + s.Err()).find(c.said), std::string::npos) << s.Out() << s.Err();
  }
}

TEST(ConsoleSession, EndOfInputCancelsAndRestoresTheBaseStation) {
  Session s;
  s.input.script = [](uint32_t) { return ConsoleInput::Event::kEnd; };
  EXPECT_EQ(s.Update(3, false), ExitCode::kCancelled);
  EXPECT_TRUE(s.Commanded("<RN"));
  EXPECT_TRUE(s.Commanded("<W"));
  EXPECT_FALSE(s.serial->IsOpen());
  EXPECT_FALSE(s.devices->UpdateComplete());
  EXPECT_FALSE(s.firmware.Exists("Hex.tmp"));
  // A cancel is no failure: no message box, only the exit summary.
  EXPECT_EQ(s.Err(), "Exit status 9: cancelled.\n");
}

TEST(ConsoleSession, EveryFailureHasItsExitStatusAndItsMessageOnStandardError) {
  struct Case {
    const char* scenario;
    ExitCode expected;
    const char* message;
  };
  const Case cases[] = {
      {"silent-base", ExitCode::kNoBaseStation, "Cannot find a Korvane Tessalink."},
      {"module-answers-id=654321", ExitCode::kConfiguration, "Target Mobile Module ID = 123456"},
      {"silent-bootloader", ExitCode::kBootLoaderSilent,
       "No response from the Korvane Quorvanta Module boot loader."},
      {"no-page-reply=2", ExitCode::kTransfer, "No response from the Korvane Quorvanta Module."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    Session s(c.scenario);
    EXPECT_EQ(s.Update(), c.expected);
    const std::string err = s.Err();
    EXPECT_NE(err.find("[Firmware Update Error]\n"), std::string::npos) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_NE(err.find("Exit status " + std::to_string(ToInt(c.expected)) + ": "),
              std::string::npos);
    EXPECT_FALSE(s.serial->IsOpen());
    EXPECT_EQ(s.profile.writes, 0);
  }
}

TEST(ConsoleSession, SecondCtrlCDuringTheTransferCutsTheLinkAndStillClosesThePort) {
  Session s;
  s.interrupts.count = [&s] { return s.devices->PageFrames().size() >= 3 ? 2 : 0; };
  EXPECT_EQ(s.Update(), ExitCode::kCancelled);
  EXPECT_FALSE(s.serial->IsOpen());
  EXPECT_EQ(s.serial->GetCounters().closes, s.serial->GetCounters().opens);
  EXPECT_EQ(s.devices->PageFrames().size(), 3u) << "nothing is sent after the cut";
  EXPECT_FALSE(s.devices->UpdateComplete());
  EXPECT_FALSE(s.firmware.Exists("Hex.tmp"));
  EXPECT_NE(s.Err().find("The serial link was cut on request; the port has been closed."),
            std::string::npos);
  EXPECT_NE(s.Err().find("Exit status 9: cancelled"), std::string::npos);
}

TEST(ConsoleSession, ACutBeforeTheModuleIsTouchedIsACancel) {
  Session s;
  s.interrupts.count = [] { return 2; };
  EXPECT_EQ(s.Update(), ExitCode::kCancelled);
  EXPECT_TRUE(s.devices->Sessions().empty()) << "the port was never opened";
}

TEST(ConsoleSession, FirmwareProblemsStopBeforeThePort) {
  struct Case {
    const char* remove;
    const char* message;
  };
  for (const Case c : {Case{kDescription, "Unable to open the firmware description file:     \n"},
                       Case{kHexName, "Unable to open the firmware hex file:     \n"}}) {
    Session s;
    std::filesystem::remove(s.firmware.Path() / c.remove);
    EXPECT_EQ(s.Update(), ExitCode::kFirmwareFile);
    EXPECT_NE(s.Err().find(c.message), std::string::npos) << s.Err();
    EXPECT_TRUE(s.devices->Sessions().empty());
    EXPECT_EQ(RunCheckCommand(*s.environment, s.options), ExitCode::kFirmwareFile);
  }
}

TEST(ConsoleSession, CheckRefusesAnInvalidHexFileAndLeavesNoPageImage) {
  Session s;
  s.firmware.Write(kHexName, ":0400100001020304E2\r\n:0400100001020304E3\r\n:00000001FF\r\n");
  s.options.imageFile = s.firmware.File("image.bin");
  EXPECT_EQ(RunCheckCommand(*s.environment, s.options), ExitCode::kFirmwareFile);
  EXPECT_NE(s.Err().find("[Firmware Update Error]\nInvalid firmware hex file.                  "
                         "         \n"),
            std::string::npos)
      << s.Err();
  // Beyond the system's own message: where and why.
  EXPECT_NE(s.Err().find("quorvanta_module_3_05.hex: line 2: checksum expected E2, found E3\n"),
            std::string::npos)
      << s.Err();
  EXPECT_FALSE(s.firmware.Exists("Hex.tmp"));
  EXPECT_FALSE(s.firmware.Exists("image.bin"));
}

// Skipped repeats do not count towards --count; the first failure class is the exit status.
TEST(ConsoleSession, LoopCountsUpdatedAndFailedModulesAndRecordsEachAttempt) {
  Session s({"id=111111", "id=111111", "id=222222,faults=nak-page=0:5", "id=333333"});
  s.options.loop = true;
  s.options.count = 2;
  s.options.reportFile = s.firmware.File("report.csv");
  EXPECT_EQ(s.Update(), ExitCode::kTransfer) << s.Err();
  EXPECT_TRUE(s.devices->UpdateComplete(0));
  EXPECT_FALSE(s.devices->UpdateComplete(1));
  EXPECT_TRUE(s.devices->CommandLog(3).empty()) << "the fourth module was never reached";
  EXPECT_NE(s.Out().find("Loop finished: 1 updated, 1 failed, 1 skipped; "), std::string::npos)
      << s.Out();

  std::ifstream report(s.options.reportFile, std::ios::binary);
  std::vector<std::string> rows;
  for (std::string row; std::getline(report, row);) rows.push_back(row);
  ASSERT_EQ(rows.size(), 3u + 15u) << "a header and three records, the failure's on 15 lines";
  EXPECT_EQ(rows[0].rfind("schema,attempt,start_time,", 0), 0u);
  EXPECT_NE(rows[1].find(",111111,00A2B3C4 41526374,3332,15,QMM-2.11-644,3.05,"), std::string::npos)
      << rows[1];
  EXPECT_NE(rows[2].find(",skipped,0,\"Module 111111 was already updated with this firmware at "
                         ":/dev/simulated ("),
            std::string::npos)
      << rows[2];
  // The failure's message as shown: quoted, its blank lines and trailing blanks kept.
  EXPECT_NE(rows[3].find(",transfer_failed,8,\"Invalid ready response from the Korvane Quorvanta "
                         "Module.     "),
            std::string::npos)
      << rows[3];
  EXPECT_EQ(rows[3].back(), ' ');
  EXPECT_EQ(rows.back(), "\",0,false,:/dev/simulated\r")
      << "the message, the stale bytes, recovery, station";
}

TEST(ConsoleSession, ListPortsMarksTheSavedOne) {
  Session s;
  s.ports.SetPorts({"COM5", "com3", "COM25"});
  s.profile.WriteInt("Settings", "ComPort", 5);
  EXPECT_EQ(RunListPortsCommand(*s.environment), ExitCode::kSuccess);
  EXPECT_EQ(s.Out(), "COM3 (/dev/simulated)\nCOM5  (port of the last successful update)\n");
}
}  // namespace

namespace {
std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

// The loop's promises in one run of five modules: the first failure's exit status, a repeat
// updated again when allowed, a module cancelled in its update recorded and counted as a
// failure, each page's own resends, the worst round trip, and every record as an event line.
TEST(ConsoleSession, TheLoopKeepsItsPromises) {
  Session s({"id=111111,faults=nak-page=1:2,nak-page=3:1", "id=222222,faults=nak-page=0:5",
             "id=333333,faults=module-answers-id=654321", "id=111111", "id=444444"});
  std::ostringstream events;
  s.environment->jsonOut = &events;
  s.options.loop = true;
  s.options.allowRepeat = true;
  s.options.json = true;
  s.options.reportFile = s.firmware.File("report.jsonl");
  // Ctrl-C twice in the fifth module's transfer: the link is cut, the update cancelled.
  s.interrupts.count = [&s] { return s.devices->PageFrames(4).size() >= 2 ? 2 : 0; };
  EXPECT_EQ(s.Update(), ExitCode::kTransfer) << "the first failure's, not the last module's";
  EXPECT_TRUE(s.devices->UpdateComplete(3)) << "the repeat was updated again";

  std::vector<nlohmann::json> records, recordEvents;
  for (const std::string& line : Lines(ReadText(s.options.reportFile)))
    records.push_back(nlohmann::json::parse(line));
  nlohmann::json finished;
  for (const std::string& line : Lines(events.str())) {
    const nlohmann::json event = nlohmann::json::parse(line);
    if (event["type"] == "module_record")
      recordEvents.push_back(event["record"]);
    finished = event;
  }
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(recordEvents, records) << "every record is an event line too";
  const char* results[] = {"success", "transfer_failed", "configuration_failed", "success",
                           "cancelled"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(records[i]["result"], results[i]) << i;
  EXPECT_EQ(records[4]["module_id"], "444444");
  EXPECT_EQ(finished["type"], "run_finished");
  EXPECT_EQ(finished["exit_code"], 8);
  EXPECT_EQ(finished["updated"], 2);
  EXPECT_EQ(finished["failed"], 3) << "the cancelled module counts as a failure";

  // Page 1 was refused twice, page 3 once: the most resent page's own resends.
  EXPECT_EQ(records[0]["resends"], 3);
  EXPECT_EQ(records[0]["most_resent_page"], 1);
  EXPECT_EQ(records[0]["most_resent_page_resends"], 2);
  // The module's summary line gives the worst round trip the record has.
  std::smatch worst;
  const std::string out = s.Out();
  ASSERT_TRUE(std::regex_search(out, worst,
                                std::regex("Module 1 \\(111111\\): updated .*worst ([0-9]+) ms")))
      << out;
  EXPECT_EQ(std::stoi(worst[1]), records[0]["round_trip_worst_ms"].get<int>());
}
}  // namespace

namespace {
// A module found waiting in its boot loader (an update cut off earlier) is finished from
// there: no Setup report, so no module ID, and the record says it was a recovery. The
// simulated link has no wire time, so the summary does not claim a share of the wire.
TEST(ConsoleSession, AModuleFinishedFromItsBootLoaderIsARecovery) {
  Session s("bootloader-running");
  s.options.reportFile = s.firmware.File("report.jsonl");
  s.options.loop = true;
  s.options.count = 1;
  EXPECT_EQ(s.Update(), ExitCode::kSuccess) << s.Err();
  const nlohmann::json record = nlohmann::json::parse(ReadText(s.options.reportFile));
  EXPECT_TRUE(record["module_id"].is_null());
  EXPECT_EQ(record["recovery"], true);
  EXPECT_EQ(record["result"], "success");
  EXPECT_NE(s.Out().find("faster than 9600 baud can carry: the link is simulated"),
            std::string::npos)
      << s.Out();
}
}  // namespace
