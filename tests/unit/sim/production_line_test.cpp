// Modules that come one after another, as on a production line: which one is within reach,
// when it is taken away, and what each one keeps.
#include <gtest/gtest.h>

#include <algorithm>

#include "pc_script.h"
#include "sim/line_module.h"

namespace simtest {
namespace {

sim::LineModule Module(const std::string& text) {
  sim::LineModule entry;
  std::string error;
  EXPECT_TRUE(sim::ParseLineModule(text, entry, error)) << text << ": " << error;
  return entry;
}

struct LineRun {
  const char* what;
  bool pressSetup;
  const char* stage;        // where the update ends
  const char* reportedId;   // the Module ID of the Setup report read, or ""
  bool bootLoaderWaiting;   // the first poll was answered
  size_t withinReachAfter;  // CurrentModule() afterwards
};

struct ModuleRecord {
  bool complete;
  size_t pageFrames;
  size_t pages;  // in the image it keeps
  size_t runs;   // the PC's updates while it was within reach
};

TEST(ProductionLine, ModulesComeOneAfterAnotherAndKeepTheirOwnRecords) {
  const std::vector<sim::LineModule> line = {
      Module("id=111111,serial=00A2B3C4-00000001,pan=1111,channel=11"),
      Module("id=222222,serial=00A2B3C4-00000002,pan=2222,channel=12,faults=nak-page=1:2"),
      Module("id=333333,serial=00A2B3C4-00000003,pan=3333,channel=13,faults=nak-page=1:5"),
      Module("id=111111,serial=00A2B3C4-00000004"),
      Module("id=555555,serial=00A2B3C4-00000005,faults=bootloader-running"),
  };
  const LineRun runs[] = {
      {"nobody presses Setup: the first module stays", false, "report", "", false, 0},
      {"the first module", true, "done", "111111", false, 1},
      {"the second needs resends", true, "done", "222222", false, 2},
      {"the third refuses page 1 five times", true, "page 1", "333333", false, 3},
      // The third, left in its boot loader, must not answer this poll any more.
      {"the fourth repeats the first one's ID", true, "cancelled", "111111", false, 4},
      {"the fifth waits in its boot loader", true, "done", "", true, 5},
      {"the line is empty", true, "report", "", false, 5},
  };
  Bench bench(line, sim::Options{}, 0x10000);
  const std::vector<uint8_t> image = SampleImage(3);
  UpdateRun run;
  run.reportWaitMs = 2000;
  for (const LineRun& r : runs) {
    SCOPED_TRACE(r.what);
    run.pressSetupButton = r.pressSetup;
    UpdateResult result = RunUpdate(bench, image, run);
    EXPECT_EQ(result.stage, r.stage);
    EXPECT_EQ(result.report["Module ID"], r.reportedId);
    EXPECT_EQ(result.bootLoaderWaiting, r.bootLoaderWaiting);
    EXPECT_EQ(bench.devices.CurrentModule(), r.withinReachAfter);
    if (result.stage == "done" && !r.bootLoaderWaiting) {
      const sim::ModuleParams& params = bench.devices.GetModuleParams(r.withinReachAfter - 1);
      EXPECT_EQ(result.report["PAN ID"], sim::Hex(params.panId, 4));
      EXPECT_EQ(result.report["RF Channel"], std::to_string(params.channel));
    }
    if (std::string(r.reportedId) == "111111")
      run.cancelIds.insert(r.reportedId);
  }

  const ModuleRecord records[] = {
      {true, 3, 3, 2}, {true, 5, 3, 1}, {false, 6, 1, 1}, {false, 0, 0, 1}, {true, 3, 3, 1},
  };
  const sim::Devices& d = bench.devices;
  ASSERT_EQ(d.ModuleCount(), std::size(records));
  for (size_t m = 0; m < d.ModuleCount(); ++m) {
    SCOPED_TRACE(m);
    const ModuleRecord& r = records[m];
    EXPECT_TRUE(d.TookPart(m));
    EXPECT_TRUE(d.TakenAway(m));
    EXPECT_EQ(d.UpdateComplete(m), r.complete);
    EXPECT_EQ(d.PageFrames(m).size(), r.pageFrames);
    const std::vector<uint8_t>& kept = d.FirmwareImage(m);
    ASSERT_EQ(kept.size(), r.pages * 256);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), image.begin()));
    const std::vector<std::string> log = d.CommandLog(m);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "<V");
    EXPECT_EQ(log.back(), "<W");
    EXPECT_EQ(static_cast<size_t>(std::count(log.begin(), log.end(), "<W")), r.runs);
  }
  const std::vector<std::string> cancelled = {"<V", "<RP", "ESC", "<RS", "<RN", "<W"};
  EXPECT_EQ(d.CommandLog(3), cancelled);
}

struct TextCase {
  const char* text;
  bool ok;
};

TEST(LineModuleText, ValuesThenFaultsOnTopOfWhatIsGiven) {
  const TextCase cases[] = {
      {"", true},
      {"id=234567,serial=00A2B3C4:41526375,pan=0x3331,channel=0x0B,setup-after=off", true},
      {"faults=nak-page=1:2,no-ready", true},
      {"id=1234567", false},
      {"id=", false},
      {"pan=12345", false},
      {"channel=256", false},
      {"serial=00A2B3C441526375", false},
      {"setup-after=soon", false},
      {"colour=red", false},
      {"id", false},
      {"faults=no-such-fault", false},
      {"faults=baud=19200", false},  // the serial line's, not a module's
      {"faults=port-busy", false},
  };
  for (const TextCase& c : cases) {
    sim::LineModule entry;
    std::string error;
    EXPECT_EQ(sim::ParseLineModule(c.text, entry, error), c.ok) << c.text;
    EXPECT_EQ(error.empty(), c.ok) << c.text;
  }

  sim::LineModule entry;
  entry.faults.silentBootLoader = true;  // given for the whole run
  std::string error;
  ASSERT_TRUE(sim::ParseLineModule(
      "id=234567,serial=00A2B3C4 41526375,pan=3331,channel=20,setup-after=250,faults=nak-page=1:2,"
      "no-ready",
      entry, error));
  EXPECT_EQ(entry.params.moduleId, "234567");
  EXPECT_EQ(entry.params.serialHigh, 0x00A2B3C4u);
  EXPECT_EQ(entry.params.serialLow, 0x41526375u);
  EXPECT_EQ(entry.params.panId, 0x3331);
  EXPECT_EQ(entry.params.channel, 20);
  EXPECT_EQ(entry.pressSetupAfterReportModeMs, 250);
  EXPECT_EQ(entry.faults.nakPage.at(1), 2);
  EXPECT_TRUE(entry.faults.noReady);
  EXPECT_TRUE(entry.faults.silentBootLoader);
}

}  // namespace
}  // namespace simtest
