// Each injected fault makes the update end where the same fault in real devices would.
#include <gtest/gtest.h>

#include "pc_script.h"

namespace simtest {
namespace {

struct FaultCase {
  const char* scenario;
  const char* stage;   // where the update ends
  const char* reason;  // the transfer's failure kind, or ""
  int frameSends;      // page frames the PC sent
};

TEST(FaultScenarios, EndTheUpdateWhereTheFaultBites) {
  const FaultCase cases[] = {
      {"", "done", "", 3},
      {"silent-base", "base station", "", 0},
      {"wrong-id", "base station", "", 0},
      {"short-id", "base station", "", 0},
      {"report-crlf", "report", "", 0},  // the LF spoils the label of every following line
      {"report-long-values", "report", "", 0},
      {"report-unknown-labels", "report", "", 0},
      {"report-150-no-cr", "done", "",
       3},  // the first 100 characters are dropped, the rest is read
      {"bad-status=base:CH", "row 1", "", 0},
      {"bad-status=base:ID:3", "row 2", "", 0},
      {"module-answers-id=654321", "row 3", "", 0},
      {"bad-status=base:SH", "row 4", "", 0},
      {"bad-status=base:SL", "row 5", "", 0},
      {"bad-status=module:DH", "row 6", "", 0},
      {"bad-status=module:DL:2", "row 7", "", 0},
      {"bad-status=base:DH", "row 8", "", 0},
      {"bad-status=base:DL", "row 9", "", 0},
      {"silent-bootloader", "boot loader", "", 0},
      {"version-leading-lf", "version", "invalid", 0},
      {"version=QMM-2.10-644", "version", "invalid", 0},
      {"version-trailing-crlf", "ready", "invalid", 0},
      {"no-ready", "ready", "no response", 0},
      {"ready=3F", "ready", "invalid", 0},
      {"nak-page=1:4", "done", "", 7},
      {"nak-page=1:5", "page 1", "invalid", 6},
      {"nak-page=0:1,nak-page=2:2", "done", "", 6},
      {"page-reply=2:3F", "page 2", "invalid", 3},
      {"no-page-reply=0", "page 0", "no response", 1},
      {"drop-after-page=1", "page 2", "no response", 3},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    sim::Scenario scenario;
    std::string error;
    ASSERT_TRUE(sim::ParseScenario(c.scenario, scenario, error)) << error;
    Bench bench(scenario);
    UpdateRun run;
    run.reportWaitMs = 2000;
    const UpdateResult result = RunUpdate(bench, SampleImage(3), run);
    EXPECT_EQ(result.stage, c.stage);
    EXPECT_EQ(result.reason, c.reason);
    EXPECT_EQ(result.frameSends, c.frameSends);
    EXPECT_EQ(bench.devices.UpdateComplete(), std::string(c.stage) == "done");
    EXPECT_FALSE(bench.serial.IsOpen());
  }
}

TEST(FaultScenarios, WrongIdentificationEndsTheAttemptAtOnceButAShortOneWaitsItOut) {
  for (const char* scenario : {"wrong-id", "short-id"}) {
    sim::Scenario s;
    std::string error;
    ASSERT_TRUE(sim::ParseScenario(scenario, s, error));
    Bench b(s);
    ASSERT_EQ(b.port.Open(3, 9600, 'N', 8, 1), 1);
    b.Send(Esc6() + "<V");
    const std::string reply = b.ReadBytes(18, 100);
    EXPECT_EQ(reply.size(), std::string(scenario) == "wrong-id" ? 18u : 17u) << scenario;
    EXPECT_EQ(reply.compare(0, 12, "\rKV-TSLK-00,") == 0, std::string(scenario) == "short-id");
  }
}

TEST(FaultScenarios, BaseStationAnswersOnlyAtItsOwnRate) {
  sim::Scenario scenario;
  scenario.baseBaud = 38400;
  Bench bench(scenario);
  const UpdateResult result = RunUpdate(bench, SampleImage(1));
  EXPECT_EQ(result.stage, "done");
  EXPECT_EQ(result.baud, 38400);
  const auto& sessions = bench.devices.Sessions();
  ASSERT_EQ(sessions.size(), 5u);  // 9600, 57600, 14400, 19200 in vain, then 38400
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_FALSE(sessions[i].understood);
    EXPECT_EQ(Text(sessions[i].written), Esc6() + "<V");
  }
  EXPECT_TRUE(sessions[4].understood);
  EXPECT_EQ(sessions[4].settings.baud, 38400u);
  // The base station heard nothing of the garbled attempts.
  EXPECT_EQ(Text(bench.devices.BaseReceived()), Text(sessions[4].written));
}

TEST(FaultScenarios, BootLoaderLeftRunningIsFoundWithoutTheSetupReport) {
  sim::Scenario scenario;
  scenario.bootLoaderRunning = true;
  Bench bench(scenario);
  EXPECT_EQ(bench.devices.GetModuleState(), sim::ModuleState::kBootLoader);
  const std::vector<uint8_t> image = SampleImage(2);
  const UpdateResult result = RunUpdate(bench, image);
  EXPECT_EQ(result.stage, "done");
  EXPECT_TRUE(result.bootLoaderWaiting);
  EXPECT_TRUE(result.report.empty());
  EXPECT_EQ(bench.devices.FirmwareImage(), image);
  const std::vector<std::string> expected = {"<V", "<RP", "ESC", "<W"};
  EXPECT_EQ(bench.devices.CommandLog(), expected);
}

TEST(FaultScenarios, BusyPortOpensOnceReleased) {
  sim::Scenario scenario;
  std::string error;
  ASSERT_TRUE(sim::ParseScenario("port-busy=1", scenario, error));
  Bench bench(scenario);
  EXPECT_EQ(bench.port.Open(3, 9600, 'N', 8, 1), 0);
  EXPECT_EQ(bench.port.Open(3, 9600, 'N', 8, 1), 1);

  ASSERT_TRUE(sim::ParseScenario("port-busy", scenario, error));
  Bench held(scenario);
  EXPECT_EQ(held.port.Open(3, 9600, 'N', 8, 1), 0);
  EXPECT_EQ(held.port.Open(3, 9600, 'N', 8, 1), 0);
  held.serial.SetBusy(false);  // the companion program lets go
  EXPECT_EQ(held.port.Open(3, 9600, 'N', 8, 1), 1);
  EXPECT_EQ(held.serial.GetCounters().refusedOpens, 2);
}

}  // namespace
}  // namespace simtest

namespace simtest {
namespace {

// The bytes the boot loader sends with ready-twice: the spare "!" comes before any page, and a
// page refused once later still gets its "@"; the update that reads the spare "!" as page 0's
// reply stays one reply behind from there on.
TEST(FaultScenarios, ReadyTwiceSendsASpareReadyByteBeforeAnyPage) {
  sim::Scenario scenario;
  std::string error;
  ASSERT_TRUE(sim::ParseScenario("bootloader-running,ready-twice,nak-page=1:1", scenario, error));
  Bench bench(scenario);
  ASSERT_EQ(bench.port.Open(3, 9600, 'N', 8, 1), 1);
  bench.Send("<RP" + StoredFrames());
  EXPECT_EQ(bench.Collect(100).size(), 27u);
  bench.Send("\xC0");
  EXPECT_EQ(bench.Collect(100), "\xD0");
  bench.Send("#$%-QMM-2.11-644");
  EXPECT_EQ(bench.Collect(100), "QMM-2.11-644\r!!");
  const std::vector<uint8_t> image = SampleImage(2);
  for (const auto& [page, reply] : {std::pair{0, "!"}, {1, "@"}, {1, "!"}}) {
    bench.Send(PageFrame(image, page));
    EXPECT_EQ(bench.Collect(100), reply) << page;
  }
}

}  // namespace
}  // namespace simtest
