// The whole wireless update against the simulated base station and module, on virtual time.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "update_harness.h"

namespace {

const std::string kEsc6 = "\x1b\x1b\x1b\x1b\x1b\x1b";
const std::string kFrames = std::string("\x7E\x00\x06\x08\x52\x49\x44\xD1\xD3\x74", 10) +
                            std::string("\x7E\x00\x05\x08\x52\x43\x48\x0E\x0C", 9) +
                            std::string("\x7E\x00\x05\x08\x52\x41\x50\x00\x14", 9);
const std::string kIdField = std::string("123456");  // the default module's ID, 6 bytes

std::string Bytes32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

// Everything the base station receives from the identification to the end of the second
// poll, for the default module and base station.
std::string ExpectedSetupStream(const sim::Options& o, const sim::ModuleParams& m) {
  return kEsc6 + "<V" + "<RP" + kFrames + "\xC0" + "+++" + "ATAP2\r" + "ATCH0e\r" + "ATCN\r" +
         kEsc6 + "<RS" + "<RS" + "<@:S03CH" + static_cast<char>(m.channel) + "<@:S04ID" +
         static_cast<char>(m.panId >> 8) + static_cast<char>(m.panId & 0xFF) + "<@:P" + kIdField +
         "01I" + "<@:ISH" + "<@:ISL" + "<@:P" + kIdField + "11#:C06DH" + Bytes32(o.baseSerialHigh) +
         "<@:P" + kIdField + "11#:C06DL" + Bytes32(o.baseSerialLow) + "<@:S06DH" +
         Bytes32(m.serialHigh) + "<@:S06DL" + Bytes32(m.serialLow) + "<@:P" + kIdField + "03#:Z" +
         "<RP" + kFrames + "\xC0";
}

bool AllPortButtonsAsListed(RecordingControls& c, const std::vector<int>& enabled) {
  for (int id = ids::kFirstPortButton; id <= ids::kLastPortButton; ++id) {
    const bool expected = std::find(enabled.begin(), enabled.end(), id) != enabled.end();
    if (c.IsEnabled(id) != expected)
      return false;
  }
  return true;
}

TEST(RunUpdate, CompleteUpdateFromAModuleInSetupMode) {
  UpdateHarness h;
  const std::string hex = PagesHex(4);
  h.Prepare(hex);
  const auto started = std::chrono::steady_clock::now();
  const uint32_t took = h.Update();
  const auto realMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
  RecordProperty("virtual_ms", static_cast<int>(took));
  RecordProperty("real_ms", static_cast<int>(realMs));

  const std::string setup = ExpectedSetupStream(UpdateHarness::DefaultOptions(), {});
  const std::string received = h.BaseReceived();
  EXPECT_EQ(received.substr(0, setup.size()), setup);
  EXPECT_EQ(received.substr(setup.size(), 16), "#$%-QMM-2.11-644");
  EXPECT_EQ(received.substr(received.size() - 10), "\xFF\xFF" + kEsc6 + "<W");
  EXPECT_EQ(received.size(), setup.size() + 16 + 4 * 259 + 2 + 8);

  EXPECT_EQ(h.f.host.runs, 1);
  RecordingControls& dialog = *h.f.host.last;
  EXPECT_EQ(dialog.GetText(ids::kModuleIdValue), "123456");
  EXPECT_EQ(dialog.GetText(ids::kRfChannelValue), "15");

  EXPECT_EQ(h.devices.FirmwareImage(), ImageOf(hex));
  EXPECT_TRUE(h.devices.UpdateComplete());
  ASSERT_EQ(h.Boxes().size(), 1u);
  EXPECT_EQ(h.Boxes()[0].title, "Firmware Update Complete");
  EXPECT_EQ(h.Text(ids::kResult), "Korvane Quorvanta Module firmware successfully updated");
  EXPECT_EQ(h.Text(ids::kBootLoaderVersion), "Boot loader version  =  QMM-2.11-644");
  EXPECT_EQ(h.Text(ids::kProgress), "Sending hex file page  4  of  4");
  EXPECT_EQ(h.f.profile.GetInt("Settings", "ComPort", -1), 3);
  EXPECT_FALSE(h.f.dlg->SerialPort().IsOpen());
  EXPECT_EQ(h.simulated.GetCounters().dtrDrops, h.simulated.GetCounters().closes);
  EXPECT_FALSE(h.f.dir.Exists("Hex.tmp"));
  EXPECT_TRUE(AllPortButtonsAsListed(h.f.controls, {2003}));
  EXPECT_EQ(h.f.controls.waitCursorDepth, 0);
  EXPECT_LT(realMs, 5000);  // generous: a stuck poll would run for minutes
}

TEST(RunUpdate, ModuleParametersReachTheRadioCommandsUnchanged) {
  sim::ModuleParams module;
  module.moduleId = "A7";
  module.serialHigh = 0x0013A200;
  module.serialLow = 0x40FF0001;
  module.panId = 0x0E0A;
  module.channel = 0x17;
  sim::Options options = UpdateHarness::DefaultOptions();
  options.baseSerialHigh = 0x01020304;
  options.baseSerialLow = 0xFFFE0D0A;
  UpdateHarness h({}, options, module);
  h.Prepare(PagesHex(1));
  h.Update();
  const std::string id = std::string("A7\0\0\0\0", 6);
  const std::string received = h.BaseReceived();
  for (const std::string& command :
       {std::string("<@:S03CH\x17"), std::string("<@:S04ID\x0E\x0A", 10), "<@:P" + id + "01I",
        "<@:P" + id + "11#:C06DH" + Bytes32(options.baseSerialHigh),
        "<@:P" + id + "11#:C06DL" + Bytes32(options.baseSerialLow),
        "<@:S06DH" + Bytes32(module.serialHigh), "<@:S06DL" + Bytes32(module.serialLow),
        "<@:P" + id + "03#:Z"}) {
    EXPECT_NE(received.find(command), std::string::npos) << command;
  }
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
}

TEST(RunUpdate, BootLoaderAlreadyRunningSkipsTheDialog) {
  sim::Scenario running;
  running.bootLoaderRunning = true;
  UpdateHarness h(running);
  h.Prepare(PagesHex(2));
  h.Update();
  EXPECT_EQ(h.f.host.runs, 0);
  const std::string received = h.BaseReceived();
  EXPECT_EQ(received.substr(0, 8 + 3 + 28 + 2 + 16),
            kEsc6 + "<V" + "<RP" + kFrames + "\xC0\xC0" + "#$%-QMM-2.11-644");
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
}

TEST(RunUpdate, BaseStationFoundAtTheRateItAnswers) {
  const struct {
    uint32_t baud;
    size_t sessions;
  } cases[] = {{9600, 1}, {57600, 2}, {14400, 3}, {38400, 5}, {115200, 6}};
  for (const auto& c : cases) {
    sim::Scenario s;
    s.baseBaud = c.baud;
    s.bootLoaderRunning = true;
    UpdateHarness h(s);
    h.Prepare(PagesHex(1));
    h.Update();
    SCOPED_TRACE(c.baud);
    ASSERT_EQ(h.devices.Sessions().size(), c.sessions);
    EXPECT_EQ(h.devices.Sessions().back().settings.baud, c.baud);
    for (size_t i = 0; i + 1 < c.sessions; ++i) {
      EXPECT_EQ(std::string(h.devices.Sessions()[i].written.begin(),
                            h.devices.Sessions()[i].written.end()),
                kEsc6 + "<V");
    }
    EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
  }
}

struct NoBaseCase {
  const char* name;
  sim::Scenario scenario;
  uint32_t minMs, maxMs;  // the whole search on virtual time
};

TEST(RunUpdate, NoBaseStationAtAnyRate) {
  sim::Scenario silent, shortId, wrongId;
  silent.silentBase = true;
  shortId.shortIdentification = true;
  wrongId.wrongIdentification = true;
  const NoBaseCase cases[] = {
      // Six times 500 ms settle and the full 2000 ms window.
      {"silent", silent, 6 * 2500, 6 * 2500 + 200},
      {"17-byte identification", shortId, 6 * 2500, 6 * 2500 + 200},
      // A wrong 18-byte reply ends the attempt at the base station's rate at once; at the
      // other rates it cannot be understood and the window runs out.
      {"wrong identification", wrongId, 5 * 2500 + 500, 5 * 2500 + 500 + 200},
  };
  for (const auto& c : cases) {
    UpdateHarness h(c.scenario);
    h.Prepare(PagesHex(1), {"COM3", "COM4"});
    const uint32_t took = h.Update();
    SCOPED_TRACE(c.name);
    EXPECT_GE(took, c.minMs);
    EXPECT_LE(took, c.maxMs);
    EXPECT_EQ(h.devices.Sessions().size(), 6u);
    ASSERT_EQ(h.Boxes().size(), 1u);
    EXPECT_EQ(h.Boxes()[0].text, "Cannot find a Korvane Tessalink.               ");
    EXPECT_EQ(h.Boxes()[0].title, "Firmware Update Error");
    EXPECT_EQ(h.Boxes()[0].flags, 0x30u);
    EXPECT_EQ(h.Text(ids::kResult), "Cannot find a Korvane Tessalink.");
    EXPECT_TRUE(AllPortButtonsAsListed(h.f.controls, {2003, 2004}));
    EXPECT_FALSE(h.f.dlg->SerialPort().IsOpen());
    EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kNoBaseStation);
    EXPECT_FALSE(h.f.dir.Exists("Hex.tmp"));
  }
}

TEST(RunUpdate, PortThatCannotBeOpened) {
  const struct {
    const char* name;
    std::vector<std::string> ports;
    std::string box;
  } cases[] = {
      {"another port", {"COM7"}, "Unable to open serial port COM7     "},
      {"no port button checked", {}, "Unable to open serial port COM-2000     "},
  };
  for (const auto& c : cases) {
    UpdateHarness h;
    h.Prepare(PagesHex(1), c.ports);
    h.Update();
    SCOPED_TRACE(c.name);
    EXPECT_EQ(h.simulated.GetCounters().refusedOpens, 2);  // the first rate only, twice
    ASSERT_EQ(h.Boxes().size(), 1u);
    EXPECT_EQ(h.Boxes()[0].text, c.box);
    EXPECT_EQ(h.Boxes()[0].flags, 0x30u);
    EXPECT_EQ(h.Text(ids::kResult), c.box);
    EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kPortOpenFailed);
    EXPECT_FALSE(h.f.dir.Exists("Hex.tmp"));
  }
}

TEST(RunUpdate, PortHeldByTheCompanionProgramIsBorrowedAndGivenBack) {
  sim::Scenario busy;
  busy.portBusyOpens = 1;
  busy.bootLoaderRunning = true;
  UpdateHarness h(busy);
  h.f.companion.windows = {{0x77, true, "Halvenmoor Serial Test Program - COM3"}};
  h.Prepare(PagesHex(1));
  h.Update();
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
  ASSERT_EQ(h.f.companion.posted.size(), 2u);
  EXPECT_EQ(h.f.companion.posted[0], (PostedMessage{0x77, 0x8065, 1001, 3}));
  EXPECT_EQ(h.f.companion.posted[1], (PostedMessage{0x77, 0x8065, 1002, 3}));
  EXPECT_EQ(h.f.clock.SleptMilliseconds(), 1000u);
  EXPECT_EQ(h.f.dlg->BorrowedPort(), -1);
}

TEST(RunUpdate, CancelInTheDialogRestoresQuietly) {
  UpdateHarness h;
  h.f.host.user = [](ModalDialog& dialog, RecordingControls&, uint32_t elapsed) {
    if (elapsed >= 3000)
      dialog.OnCommand(mb::kIdCancel);
  };
  h.Prepare(PagesHex(1));
  h.Update();
  const std::string received = h.BaseReceived();
  const std::string tail = "<RS" + kEsc6 + "<RN<W";
  EXPECT_EQ(received.substr(received.size() - tail.size()), tail);
  EXPECT_TRUE(h.Boxes().empty());
  EXPECT_EQ(h.Text(ids::kResult), "");
  EXPECT_TRUE(AllPortButtonsAsListed(h.f.controls, {2003}));
  EXPECT_FALSE(h.f.dlg->SerialPort().IsOpen());
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kCancelled);
  EXPECT_EQ(h.f.controls.waitCursorDepth, 0);
  EXPECT_FALSE(h.f.dir.Exists("Hex.tmp"));
}

TEST(RunUpdate, EachRowOfTheRadioConfigurationCanFail) {
  const std::string message =
      "Unable to communicate with and/or configure the Korvane Quorvanta Module for the firmware "
      "update.               \n\nTarget Mobile Module ID = 123456";
  auto bad = [](sim::Side side, const char* parameter) {
    sim::Scenario s;
    s.badStatus[{side, parameter}] = 1;
    return s;
  };
  sim::Scenario otherId;
  otherId.answeredId = "654321";
  // Status 0, but the reply names DL where DH was set.
  auto dlForDh = [history = std::string()](uint8_t& b) mutable {
    history += static_cast<char>(b);
    const std::size_t n = history.size();
    if (b == 'H' && n >= 4 && history[n - 4] == '\x88' && history[n - 2] == 'D')
      b = 'L';
    return true;
  };
  const struct {
    const char* name;
    sim::Scenario scenario;
    std::string lastCommand;  // the last command before "<W"
    std::function<bool(uint8_t&)> filter = nullptr;
  } cases[] = {
      {"row 1", bad(sim::Side::kBase, "CH"), "<@:S03CH\x0F"},
      {"row 2", bad(sim::Side::kBase, "ID"), "<@:S04ID\x33\x32"},
      {"row 3", otherId, "<@:P" + kIdField + "01I"},
      {"row 4", bad(sim::Side::kBase, "SH"), "<@:ISH"},
      {"row 5", bad(sim::Side::kBase, "SL"), "<@:ISL"},
      {"row 6", bad(sim::Side::kModule, "DH"), "11#:C06DH" + Bytes32(0x00A2B3C4)},
      {"row 6 answered for DL", {}, "11#:C06DH" + Bytes32(0x00A2B3C4), dlForDh},
      {"row 7", bad(sim::Side::kModule, "DL"), "11#:C06DL" + Bytes32(0x40112233)},
      {"row 8", bad(sim::Side::kBase, "DH"), "<@:S06DH" + Bytes32(0x00A2B3C4)},
      {"row 9", bad(sim::Side::kBase, "DL"), "<@:S06DL" + Bytes32(0x41526374)},
  };
  for (const auto& c : cases) {
    UpdateHarness h(c.scenario);
    h.serial.filter = c.filter;
    h.Prepare(PagesHex(1));
    h.Update();
    SCOPED_TRACE(c.name);
    ASSERT_EQ(h.Boxes().size(), 1u);
    EXPECT_EQ(h.Boxes()[0].text, message);
    EXPECT_EQ(h.Boxes()[0].flags, 0x30u);
    EXPECT_EQ(h.Text(ids::kResult), message);
    const std::string received = h.BaseReceived();
    const std::string tail = c.lastCommand + "<W";
    EXPECT_EQ(received.substr(received.size() - tail.size()), tail);
    EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kConfigurationFailed);
    EXPECT_FALSE(h.f.dlg->SerialPort().IsOpen());
    EXPECT_TRUE(AllPortButtonsAsListed(h.f.controls, {2003}));
    EXPECT_EQ(h.devices.PageFrames().size(), 0u);
  }
}

TEST(RunUpdate, SilentBootLoaderAfterTheConfiguration) {
  sim::Scenario silent;
  silent.silentBootLoader = true;
  UpdateHarness h(silent);
  h.Prepare(PagesHex(1));
  h.Update();
  ASSERT_EQ(h.Boxes().size(), 1u);
  EXPECT_EQ(h.Boxes()[0].text,
            "No response from the Korvane Quorvanta Module boot loader.               ");
  EXPECT_EQ(h.Text(ids::kResult), "No response from the Korvane Quorvanta Module boot loader.");
  const std::string received = h.BaseReceived();
  const std::string tail = "\xC0" + kEsc6 + "<W";
  EXPECT_EQ(received.substr(received.size() - tail.size()), tail);
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kBootLoaderSilent);
}

TEST(RunUpdate, FirmwareProblemsStopBeforeThePortIsTouched) {
  UpdateHarness h;
  h.Prepare("not a hex file\n");
  h.f.controls.SetText(ids::kResult, "earlier result");
  h.Update();
  ASSERT_EQ(h.Boxes().size(), 1u);
  EXPECT_EQ(h.Boxes()[0].text, "Invalid firmware hex file.                           ");
  EXPECT_EQ(h.Text(ids::kResult), "earlier result");
  EXPECT_EQ(h.simulated.GetCounters().opens, 0);
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kFirmwareFileProblem);
  EXPECT_FALSE(h.f.dir.Exists("Hex.tmp"));
}

TEST(RunUpdate, StartRequestDuringAnUpdateStartsNothing) {
  sim::Scenario running;
  running.bootLoaderRunning = true;
  UpdateHarness h(running);
  h.Prepare(PagesHex(2));
  // Begin Update and WM_USER+102 arriving while the transfer dispatches a queued message.
  h.f.controls.onSetText = [&](int id, const std::string& text) {
    if (id == ids::kProgress && !text.empty()) {
      EXPECT_TRUE(h.f.dlg->OnCommand(ids::kBeginUpdate));
      h.f.dlg->OnBeginUpdate();
    }
  };
  h.Update();
  EXPECT_EQ(h.devices.Sessions().size(), 1u);
  EXPECT_EQ(h.devices.PageFrames().size(), 2u);
  EXPECT_EQ(h.Boxes().size(), 1u);
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
  // Once it has ended, the next request starts the next update.
  h.f.controls.onSetText = nullptr;
  h.Update();
  EXPECT_EQ(h.devices.Sessions().size(), 2u);
}

TEST(RunUpdate, StartUpdateMessageDoesWhatBeginUpdateDoes) {
  // WM_USER+102 and button 1006 both arrive at OnCommand / OnBeginUpdate; the button route:
  sim::Scenario running;
  running.bootLoaderRunning = true;
  UpdateHarness h(running);
  h.Prepare(PagesHex(1));
  EXPECT_TRUE(h.f.dlg->OnCommand(ids::kBeginUpdate));
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
  EXPECT_FALSE(h.f.dir.Exists("Hex.tmp"));
}

}  // namespace
