// Every exchange of the update crossed with every way its answer can go wrong: silence, a
// wrong byte, a reply cut short, garbage, and the link dropping. Each cell checks the message,
// the port, what the base station was sent to restore it, the page image, the saved port and
// the time the update took on the virtual clock.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "core/support_contact.h"
#include "dialog_fixture.h"
#include "fault_injecting_serial.h"
#include "sim/devices.h"
#include "sim/in_process_serial.h"
#include "update/update_texts.h"
#include "update_harness.h"
#include "update_time_bound.h"

namespace {

const std::string kEsc6 = "\x1b\x1b\x1b\x1b\x1b\x1b";
constexpr int kPages = 3;
constexpr uint32_t kStartTick = 0xFFFFF000;

// How a cell must end.
enum class End {
  kSuccess,
  kOpenFailed,
  kNoBaseStation,
  kConfiguration,
  kBootLoaderSilent,
  kNoResponse,
  kInvalidVersion,
  kNoReady,
  kInvalidReady,
  kCancelled,  // the user gives up waiting for the module's Setup report
};

constexpr Fault kFaults[] = {Fault::kSilence,  Fault::kWrongByte, Fault::kLastByteLost,
                             Fault::kHalfLost, Fault::kGarbage,   Fault::kLinkDrop};

struct MatrixRow {
  const char* name;
  bool bootLoaderRunning;  // the module waits in its boot loader from the start
  FaultTarget target;
  End ends[6];  // in the order of kFaults
  // The longest a fault here may add to a good run: the time-out of the wait it spoils, and
  // what that wait's failure takes until the port is closed.
  uint32_t allowanceMs;
};

constexpr End S = End::kSuccess, C = End::kConfiguration, NB = End::kNoBaseStation;
constexpr End BS = End::kBootLoaderSilent, NR = End::kNoResponse, IR = End::kInvalidReady;

// The replies: 18 bytes of identification, one poll byte, 9-byte frames for the settings,
// 13-byte frames for SH and SL, the module's ID and CR for row 3, the boot loader's
// identification and CR, its ready byte, one byte per page. The wrong byte is the one that
// decides: a character of the identifications, the status of a frame, the reply byte.
const MatrixRow kRows[] = {
    {"identification",
     false,
     {Exchange::kIdentification, -1, 0, 18, 5, 'X'},
     {NB, NB, NB, NB, NB, End::kOpenFailed},
     6 * (500 + 2000)},
    // Nothing answers the first poll while the module is in Setup mode; a stray byte is taken
    // for "no boot loader", as silence is.
    {"first_poll_setup_mode",
     false,
     {Exchange::kFirstPoll, -1, 0, 0, 0, 0xD1},
     {S, S, S, S, S, End::kCancelled},
     500},
    {"first_poll_boot_loader_running",
     true,
     {Exchange::kFirstPoll, -1, 0, 1, 0, 0xD1},
     {End::kCancelled, End::kCancelled, End::kCancelled, End::kCancelled, End::kCancelled,
      End::kCancelled},
     500 + 3700 + 1000},
    {"row1_channel", false, {Exchange::kRow1, -1, 0, 9, 7, 1}, {C, C, C, C, C, C}, 3000},
    {"row2_pan_id", false, {Exchange::kRow2, -1, 0, 9, 7, 1}, {C, C, C, C, C, C}, 3000},
    // The module's ID without its CR still ends at the inter-byte time-out and matches.
    {"row3_module_id", false, {Exchange::kRow3, -1, 0, 7, 0, '9'}, {C, C, S, C, C, C}, 500},
    // Rows 4 to 9 look only at the bytes they use: without the checksum byte they pass.
    {"row4_sh", false, {Exchange::kRow4, -1, 0, 13, 7, 1}, {C, C, S, C, C, C}, 3000},
    {"row5_sl", false, {Exchange::kRow5, -1, 0, 13, 7, 1}, {C, C, S, C, C, C}, 3000},
    {"row6_module_dh", false, {Exchange::kRow6, -1, 0, 9, 7, 1}, {C, C, S, C, C, C}, 3000},
    {"row7_module_dl", false, {Exchange::kRow7, -1, 0, 9, 7, 1}, {C, C, S, C, C, C}, 3000},
    {"row8_dh", false, {Exchange::kRow8, -1, 0, 9, 7, 1}, {C, C, S, C, C, C}, 3000},
    {"row9_dl", false, {Exchange::kRow9, -1, 0, 9, 7, 1}, {C, C, S, C, C, C}, 3000},
    {"second_poll",
     false,
     {Exchange::kSecondPoll, -1, 0, 1, 0, 0xD1},
     {BS, BS, BS, BS, BS, BS},
     500 + 1500},
    {"second_poll_boot_loader_running",
     true,
     {Exchange::kSecondPoll, -1, 0, 1, 0, 0xD1},
     {BS, BS, BS, BS, BS, BS},
     500 + 1500},
    {"boot_loader_identification",
     false,
     {Exchange::kBootLoaderIdentification, -1, 0, 13, 4, '3'},
     {NR, End::kInvalidVersion, NR, NR, NR, NR},
     3000},
    {"ready",
     false,
     {Exchange::kBootLoaderIdentification, -1, 13, 1, 0, '?'},
     {End::kNoReady, IR, End::kNoReady, End::kNoReady, IR, End::kNoReady},
     2000},
    {"first_page", false, {Exchange::kPage, 0, 0, 1, 0, '?'}, {NR, IR, NR, NR, IR, NR}, 3000},
    {"middle_page", false, {Exchange::kPage, 1, 0, 1, 0, '?'}, {NR, IR, NR, NR, IR, NR}, 3000},
    {"last_page",
     false,
     {Exchange::kPage, kPages - 1, 0, 1, 0, '?'},
     {NR, IR, NR, NR, IR, NR},
     3000},
    // No reply is awaited after the end mark, so a spoiled answer changes nothing; but when
    // the link is gone the end mark cannot be written, and that is no success.
    {"end_mark", false, {Exchange::kEndMark, -1, 0, 0, 0, '@'}, {S, S, S, S, S, NR}, 0},
};

std::string FailureReport(const char* reason) {
  return std::string(reason) + "Korvane Quorvanta Module.     " +
         "\n\nFirmware update terminated.\n\nIf some of the hex file was transferred, the "
         "firmware in the Korvane Quorvanta Module may be corrupt.     \n\nYou should retry the "
         "firmware update procedure.\n\nIf you continue to have problems, contact Halvenmoor "
         "Systems for support.\n     Office hours " +
         support::kOfficeHours + "\n     " + support::kTelephone + "\n     " + support::kEmail +
         "\n     " + support::kWebHost + "\n\n";
}

struct Expected {
  std::string box;  // empty: no message box
  std::string title;
  unsigned flags = 0;
  std::string result;       // control 1011
  std::string restoreTail;  // what the base station is sent last; empty: never found
};

Expected ExpectedFor(End end) {
  const std::string fifteen = update_texts::kFifteenBlanks;
  const std::string error = update_texts::kErrorTitle;
  const unsigned exclamation = mb::kIconExclamation | mb::kOk;
  const std::string relayEnd = kEsc6 + "<W";
  switch (end) {
    case End::kSuccess:
      return {update_texts::kSuccessMessage, update_texts::kCompleteTitle, mb::kIconInformation,
              update_texts::kSuccessStatus, relayEnd};
    case End::kOpenFailed:
      return {"Unable to open serial port COM3     ", error, exclamation,
              "Unable to open serial port COM3     ", ""};
    case End::kNoBaseStation:
      return {update_texts::kCannotFindBaseStation + fifteen, error, exclamation,
              update_texts::kCannotFindBaseStation, ""};
    case End::kConfiguration: {
      const std::string text =
          update_texts::kUnableToConfigure + fifteen + update_texts::kTargetModuleId + "123456";
      return {text, error, exclamation, text, "<W"};
    }
    case End::kBootLoaderSilent:
      return {update_texts::kNoBootLoader + fifteen, error, exclamation,
              update_texts::kNoBootLoader, relayEnd};
    case End::kNoResponse:
      return {FailureReport(update_texts::kNoResponse), error, exclamation,
              update_texts::kFailedStatus, relayEnd};
    case End::kInvalidVersion:
      return {FailureReport(update_texts::kInvalidVersion), error, exclamation,
              update_texts::kFailedStatus, relayEnd};
    case End::kNoReady:
      return {FailureReport(update_texts::kNoReady), error, exclamation,
              update_texts::kFailedStatus, relayEnd};
    case End::kInvalidReady:
      return {FailureReport(update_texts::kInvalidReady), error, exclamation,
              update_texts::kFailedStatus, relayEnd};
    case End::kCancelled:
      return {"", "", 0, "", kEsc6 + "<RN<W"};
  }
  return {};
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The simulated devices behind the fault injector, and the main dialog over both. The user
// presses Start Update as soon as it is enabled, and gives up after a minute. The tick counter
// wraps around about four seconds into every run, so each cell also shows that no wait
// miscounts across the wrap.
struct Cell {
  Cell(const MatrixRow& row, Fault fault)
      : devices(sim::ModuleParams{}, Scenario(row), UpdateHarness::DefaultOptions()),
        simulated(devices, [this] { return f.clock.Now(); }),
        faulty(simulated, row.target, fault),
        f(&faulty) {
    f.clock.Advance(kStartTick - f.clock.Now());
    f.host.giveUpAfterMs = 60 * 1000;
    f.host.user = [this](ModalDialog& dialog, RecordingControls& controls, uint32_t elapsed) {
      dialogMs = elapsed;
      if (controls.IsEnabled(ids::kStartUpdate))
        dialog.OnCommand(ids::kStartUpdate);
    };
  }
  static sim::Scenario Scenario(const MatrixRow& row) {
    sim::Scenario scenario;
    scenario.bootLoaderRunning = row.bootLoaderRunning;
    return scenario;
  }
  std::string BaseReceived() const {
    return std::string(devices.BaseReceived().begin(), devices.BaseReceived().end());
  }

  sim::Devices devices;
  sim::InProcessSerial simulated;
  FaultInjectingSerial faulty;
  DialogFixture f;
  uint32_t dialogMs = 0;
};

struct CellParam {
  const MatrixRow* row;
  int fault;
};
void PrintTo(const CellParam& cell, std::ostream* out) {
  *out << cell.row->name << " x " << FaultName(kFaults[cell.fault]);
}

// How long a good run takes, the dialog apart, for each starting state of the module.
uint32_t GoodRunMs(bool bootLoaderRunning) {
  static uint32_t measured[2] = {0, 0};
  uint32_t& ms = measured[bootLoaderRunning ? 1 : 0];
  if (ms == 0) {
    MatrixRow good{"good", bootLoaderRunning, {}, {}, 0};
    Cell cell(good, Fault::kSilence);
    cell.f.WriteFirmware(PagesHex(kPages));
    cell.f.ports.SetPorts({"COM3"});
    cell.f.dlg->OnInitDialog();
    const uint32_t start = cell.f.clock.Now();
    cell.f.dlg->OnBeginUpdate();
    EXPECT_EQ(cell.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
    ms = cell.f.clock.Now() - start - cell.dialogMs;
  }
  return ms;
}

class FaultMatrix : public ::testing::TestWithParam<CellParam> {};

TEST_P(FaultMatrix, EndsAsItMust) {
  const MatrixRow& row = *GetParam().row;
  const Fault fault = kFaults[GetParam().fault];
  const Expected expected = ExpectedFor(row.ends[GetParam().fault]);
  Cell cell(row, fault);
  const std::string hex = PagesHex(kPages);
  cell.f.WriteFirmware(hex);
  cell.f.ports.SetPorts({"COM3"});
  cell.f.dlg->OnInitDialog();
  ASSERT_TRUE(cell.f.controls.messageBoxes.empty());

  const uint32_t start = cell.f.clock.Now();
  cell.f.dlg->OnBeginUpdate();
  const uint32_t took = cell.f.clock.Now() - start;

  ASSERT_TRUE(cell.faulty.Struck()) << "the update never reached the exchange";
  const std::vector<RecordedMessageBox>& boxes = cell.f.controls.messageBoxes;
  if (expected.box.empty()) {
    EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  } else {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, expected.box);
    EXPECT_EQ(boxes[0].title, expected.title);
    EXPECT_EQ(boxes[0].flags, expected.flags);
  }
  EXPECT_EQ(cell.f.controls.GetText(ids::kResult), expected.result);

  EXPECT_FALSE(cell.f.dlg->SerialPort().IsOpen());
  EXPECT_FALSE(cell.simulated.IsOpen());
  // After a drop the base station hears nothing more; what the update tried to send counts.
  const std::string sent = cell.faulty.Dropped() ? cell.faulty.Attempted() : cell.BaseReceived();
  if (expected.restoreTail.empty()) {
    EXPECT_EQ(cell.faulty.Attempted().find("<W"), std::string::npos);
  } else {
    EXPECT_TRUE(EndsWith(sent, expected.restoreTail))
        << "ends with: " << sent.substr(sent.size() < 16 ? 0 : sent.size() - 16);
    if (expected.restoreTail == "<W") {
      EXPECT_FALSE(EndsWith(sent, kEsc6 + "<W")) << "no relay was on";
    }
  }

  EXPECT_FALSE(cell.f.dir.Exists("Hex.tmp"));
  const bool success = row.ends[GetParam().fault] == End::kSuccess;
  EXPECT_EQ(cell.f.profile.GetInt("Settings", "ComPort", -1), success ? 3 : -1);
  EXPECT_EQ(cell.f.profile.writes, success ? 1 : 0);
  EXPECT_EQ(cell.f.controls.waitCursorDepth, 0);
  EXPECT_EQ(cell.f.dlg->BorrowedPort(), -1);
  // Within every time-out of the update, and no longer than a good run plus what the spoiled
  // wait may cost.
  EXPECT_LE(took, UpdateTimeBoundMs(kPages) + cell.dialogMs + 10);
  EXPECT_LE(took, GoodRunMs(row.bootLoaderRunning) + row.allowanceMs + cell.dialogMs + 10);

  if (success) {
    // The boot loader holds every page; without the end mark it has not finished.
    EXPECT_EQ(cell.devices.FirmwareImage(), ImageOf(hex));
    EXPECT_EQ(cell.devices.UpdateComplete(), !cell.faulty.Dropped());
  }
}

std::vector<CellParam> AllCells() {
  std::vector<CellParam> cells;
  for (const MatrixRow& row : kRows) {
    for (int fault = 0; fault < 6; ++fault) cells.push_back({&row, fault});
  }
  return cells;
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(AllCells()),
                         [](const ::testing::TestParamInfo<CellParam>& info) {
                           return std::string(info.param.row->name) + "__" +
                                  FaultName(kFaults[info.param.fault]);
                         });

}  // namespace
