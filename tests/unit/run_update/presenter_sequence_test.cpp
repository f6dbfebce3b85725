// RunUpdate as a library, with no dialog: a presenter that records what it is told, over the
// simulated base station and module on virtual time. Each outcome class shows its own sequence
// and comes back as a typed result.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/message_box.h"
#include "firmware/firmware_bundle.h"
#include "firmware/page_image_store.h"
#include "sim/devices.h"
#include "sim/in_process_serial.h"
#include "temp_directory.h"
#include "update/setup_report.h"
#include "update/update_procedure.h"
#include "update_harness.h"
#include "virtual_clock.h"

namespace {

// Every call as one line; Start Update as soon as the report is complete, or Cancel Update.
class RecordingPresenter : public UpdatePresenter {
 public:
  void ShowFirmwareFile(const std::string&, const UpdateMessage* problem) override {
    calls.push_back(problem ? "firmware file problem: " + problem->title : "firmware file");
    if (problem != nullptr)
      boxes.push_back(*problem);
  }
  void ShowPageImageProblem(const UpdateMessage& message) override {
    calls.push_back("page image problem: " + message.text);
  }
  void ClearStatus() override { calls.push_back("clear"); }
  void ShowBaseStationFound(int port, uint32_t baud) override {
    calls.push_back("base station COM" + std::to_string(port) + " " + std::to_string(baud));
  }
  void ShowBootLoaderVersion(const std::string& line) override { calls.push_back(line); }
  void ShowPageProgress(int page, int pages, const std::string&) override {
    calls.push_back("page " + std::to_string(page) + "/" + std::to_string(pages));
  }
  void ShowSuccess(int port, const std::string& status, const UpdateMessage& message) override {
    calls.push_back("success COM" + std::to_string(port) + ": " + status);
    boxes.push_back(message);
  }
  void ShowFailure(const UpdateFailure& failure) override {
    static const char* const kinds[] = {"link", "transfer", "page image"};
    calls.push_back(std::string("failure (") + kinds[static_cast<int>(failure.kind)] +
                    "): " + failure.status);
    boxes.push_back(failure.message);
  }
  SetupAnswer AskForSetupReport(SetupReport& report) override {
    calls.push_back("setup report");
    SetupAnswer answer;
    while (start && !report.Complete() && clock->Now() - asked < 20000) {
      report.ReadWaiting();
      clock->TickCount();
    }
    answer.start = start && report.Complete();
    return answer;
  }

  VirtualClock* clock = nullptr;
  uint32_t asked = 0;
  bool start = true;
  std::vector<std::string> calls;
  std::vector<UpdateMessage> boxes;
};

struct LibraryRun {
  explicit LibraryRun(const std::string& scenarioText = "") {
    std::string error;
    EXPECT_TRUE(sim::ParseScenario(scenarioText, scenario, error)) << error;
    devices = std::make_unique<sim::Devices>(sim::ModuleParams{}, scenario,
                                             UpdateHarness::DefaultOptions());
    serial = std::make_unique<sim::InProcessSerial>(*devices, [this] { return clock.Now(); });
    dir.Write("Korvane_Quorvanta_Mobile_Module.txt", "2.11\r\napp.hex\r\n");
    dir.Write("app.hex", PagesHex(3));
    firmware.SetDirectory(dir.WithSeparator());
    EXPECT_TRUE(firmware.ReadDescription());
    presenter.clock = &clock;
  }
  UpdateResult Update(int port = 3) {
    CSerialPort channel(*serial, clock);
    LinkContext link{channel, clock, observer, {}};
    presenter.asked = clock.Now();
    return update::RunUpdate(link, presenter, {firmware, image, port});
  }

  VirtualClock clock;
  sim::Scenario scenario;
  std::unique_ptr<sim::Devices> devices;
  std::unique_ptr<sim::InProcessSerial> serial;
  NullUpdateObserver observer;
  TempDirectory dir;
  FirmwareBundle firmware;
  PageImageInMemory image;
  RecordingPresenter presenter;
};

const std::vector<std::string> kUntilTheReport = {"firmware file", "clear",
                                                  "base station COM3 9600", "setup report"};

std::vector<std::string> Then(std::vector<std::string> calls,
                              const std::vector<std::string>& more) {
  calls.insert(calls.end(), more.begin(), more.end());
  return calls;
}

TEST(PresenterSequence, ACompleteUpdateTellsEachStepInOrder) {
  LibraryRun run;
  const UpdateResult result = run.Update();
  EXPECT_EQ(run.presenter.calls,
            Then(kUntilTheReport,
                 {"firmware file", "clear", "Boot loader version  =  QMM-2.11-644", "page 1/3",
                  "page 2/3", "page 3/3",
                  "success COM3: Korvane Quorvanta Module firmware successfully updated"}));
  EXPECT_EQ(result.outcome, UpdateOutcome::kSuccess);
  EXPECT_EQ(result.stage, UpdateStage::kTransfer);
  EXPECT_EQ(result.cancel, CancelReason::kNone);
  ASSERT_TRUE(result.module.has_value());
  EXPECT_EQ(result.module->moduleId, "123456");
  EXPECT_EQ(result.module->rfChannel, "15");
  ASSERT_EQ(run.presenter.boxes.size(), 1u);
  EXPECT_EQ(run.presenter.boxes[0].flags, mb::kIconInformation);
  EXPECT_EQ(result.message, run.presenter.boxes[0].text);
  EXPECT_TRUE(run.devices->UpdateComplete());
}

TEST(PresenterSequence, EachFailureClassEndsWithItsOwnCallsAndResult) {
  struct Case {
    const char* name;
    std::string scenario;
    int port;
    bool removeHex;
    bool start;
    std::vector<std::string> calls;
    UpdateOutcome outcome;
    UpdateStage stage;
    bool module;  // the four values came and were taken
  };
  const Case cases[] = {
      {"firmware",
       "",
       3,
       true,
       true,
       {"firmware file problem: Korvane Quorvanta Module Update"},
       UpdateOutcome::kFirmwareFileProblem,
       UpdateStage::kFirmware,
       false},
      {"port",
       "",
       5,
       false,
       true,
       {"firmware file", "clear", "failure (link): Unable to open serial port COM5     "},
       UpdateOutcome::kPortOpenFailed,
       UpdateStage::kPortOpen,
       false},
      {"base station",
       "silent-base",
       3,
       false,
       true,
       {"firmware file", "clear", "failure (link): Cannot find a Korvane Tessalink."},
       UpdateOutcome::kNoBaseStation,
       UpdateStage::kBaseStation,
       false},
      {"cancel", "", 3, false, false, kUntilTheReport, UpdateOutcome::kCancelled,
       UpdateStage::kModule, false},
      {"configuration", "module-answers-id=654321", 3, false, true,
       Then(kUntilTheReport,
            {"failure (link): Unable to communicate with and/or configure the Korvane Quorvanta "
             "Module for the firmware update.               \n\nTarget Mobile Module ID = 123456"}),
       UpdateOutcome::kConfigurationFailed, UpdateStage::kModule, true},
      {"boot loader", "silent-bootloader", 3, false, true,
       Then(kUntilTheReport,
            {"failure (link): No response from the Korvane Quorvanta Module boot loader."}),
       UpdateOutcome::kBootLoaderSilent, UpdateStage::kModule, true},
      {"transfer", "no-page-reply=2", 3, false, true,
       Then(kUntilTheReport,
            {"firmware file", "clear", "Boot loader version  =  QMM-2.11-644", "page 1/3",
             "page 2/3", "page 3/3", "failure (transfer): Firmware update failed"}),
       UpdateOutcome::kTransferFailed, UpdateStage::kTransfer, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LibraryRun run(c.scenario);
    if (c.removeHex)
      std::filesystem::remove(run.dir.Path() / "app.hex");
    run.presenter.start = c.start;
    const UpdateResult result = run.Update(c.port);
    EXPECT_EQ(run.presenter.calls, c.calls);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.stage, c.stage);
    EXPECT_EQ(result.module.has_value(), c.module);
    EXPECT_EQ(result.cancel, c.start ? CancelReason::kNone : CancelReason::kOperator);
    // The message is the box shown, and a cancel shows none.
    if (c.outcome == UpdateOutcome::kCancelled) {
      EXPECT_TRUE(run.presenter.boxes.empty());
      EXPECT_EQ(result.message, "");
    } else {
      ASSERT_FALSE(run.presenter.boxes.empty());
      EXPECT_EQ(result.message, run.presenter.boxes.back().text);
    }
    EXPECT_FALSE(run.serial->IsOpen());
  }
}

}  // namespace
