// The whole update with devices that answer every write of the PC as the input decides. Any
// crash, leak or hang fails, and so does any run that breaks what the update promises: it
// returns within its time-outs, closes the port, deletes the page image, shows the one right
// message, restores the base station, and reports success only after every page went out.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "core/support_contact.h"
#include "fake_platform.h"
#include "firmware/hex_page_image.h"
#include "fuzz_check.h"
#include "headless_dialog_host.h"
#include "hex_records.h"
#include "input_driven_devices.h"
#include "memory_profile.h"
#include "recording_controls.h"
#include "temp_directory.h"
#include "ui/firmware_update_dlg.h"
#include "update/update_texts.h"
#include "update_time_bound.h"

namespace {

const std::string kEndRelay = "\x1b\x1b\x1b\x1b\x1b\x1b";
constexpr uint32_t kBaudRates[6] = {9600, 57600, 14400, 19200, 38400, 115200};

// A program directory with its firmware: description file, HEX file and the image it gives.
struct Firmware {
  explicit Firmware(int pages) {
    std::string hex;
    for (int address = 0; address < pages * 256; address += 16) {
      if (address / 256 == 1 && pages > 2)
        continue;  // a page no record touches: all 0xFF, checksum 0
      std::vector<uint8_t> data(16);
      for (int i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>((address + i) * 7 + 3);
      hex += HexRecord(static_cast<unsigned>(address), data) + "\r\n";
    }
    hex += HexEndOfFile() + "\r\n";
    dir.Write("Korvane_Quorvanta_Mobile_Module.txt", "2.11\r\napp.hex\r\n");
    dir.Write("app.hex", hex);
    image = ConvertHexTextToPageImage(hex).image;
  }
  TempDirectory dir;
  std::vector<uint8_t> image;
};

// The user in the control-parameter dialog, as the input decides: press Start Update once it
// is enabled (after a while), cancel, press Enter first, or press Start Update too early.
// Nobody waits longer than a minute for the module.
constexpr uint32_t kUserGivesUpMs = 60 * 1000;
struct User {
  explicit User(FuzzInput& input) : input(input) {}
  void operator()(ModalDialog& dialog, RecordingControls& controls, uint32_t elapsed) {
    if (!decided) {
      const uint8_t decision = input.Take(0);
      kind = decision & 3;
      at = (decision >> 2) * 250u;
      decided = true;
    }
    if (elapsed >= kUserGivesUpMs) {
      dialog.OnCommand(mb::kIdCancel);
      return;
    }
    if (elapsed < at)
      return;
    if (kind == 1) {
      dialog.OnCommand(mb::kIdCancel);
      return;
    }
    if (kind >= 2 && !pressedFirst) {
      dialog.OnCommand(kind == 2 ? mb::kIdOk : ids::kStartUpdate);
      pressedFirst = true;
      if (controls.ended)
        return;
    }
    if (controls.IsEnabled(ids::kStartUpdate))
      dialog.OnCommand(ids::kStartUpdate);
  }
  FuzzInput& input;
  bool decided = false;
  bool pressedFirst = false;
  int kind = 0;
  uint32_t at = 0;
};

// Counts the time spent in nested dialogs, which the user, not the procedure, decides.
class TimedDialogHost : public DialogHost {
 public:
  TimedDialogHost(HeadlessDialogHost& inner, VirtualClock& clock) : inner_(inner), clock_(clock) {}
  int RunModal(ModalDialog& dialog) override {
    const uint32_t opened = clock_.Now();
    const int result = inner_.RunModal(dialog);
    spentMs += clock_.Now() - opened;
    ++runs;
    return result;
  }
  uint32_t spentMs = 0;
  int runs = 0;

 private:
  HeadlessDialogHost& inner_;
  VirtualClock& clock_;
};

// Turns a hang into a finding: no wait may outlive the bound. While nothing is on its way to
// the PC, time moves in steps of 10 ms instead of 1: no arrival can fall between two readings,
// and the waits end at most 9 ms late, which the bound allows for.
class BoundedClock : public VirtualClock {
 public:
  uint32_t TickCount() override {
    if (devices != nullptr && devices->Quiet())
      Advance(9);
    const uint32_t now = VirtualClock::TickCount();
    FUZZ_CHECK(static_cast<uint32_t>(now - start) <= limit, "the update ends within its time-outs");
    return now;
  }
  const InputDrivenDevices* devices = nullptr;
  uint32_t start = 0;
  uint32_t limit = UINT32_MAX;
};

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string FailureTail() {
  return std::string(
             "\n\nFirmware update terminated.\n\nIf some of the hex file was transferred, "
             "the firmware in the Korvane Quorvanta Module may be corrupt.     \n\n") +
         "You should retry the firmware update procedure.\n\n"
         "If you continue to have problems, contact Halvenmoor Systems for support.\n" +
         "     Office hours " + support::kOfficeHours + "\n     " + support::kTelephone +
         "\n     " + support::kEmail + "\n     " + support::kWebHost + "\n\n";
}

// Every frame the PC sent holds its page's bytes and checksum; pages go out in order, a page
// being sent again only while it is the latest; the end mark follows only the last page.
void CheckFrames(const std::vector<HeardRequest>& requests, const std::vector<uint8_t>& image,
                 bool& everyPageSent, bool& endMarkSent) {
  const int pages = static_cast<int>(image.size() / 256);
  int next = 0;
  endMarkSent = false;
  for (const HeardRequest& request : requests) {
    if (request.exchange == Exchange::kEndMark) {
      FUZZ_CHECK(!endMarkSent && next == pages, "the end mark follows the last page, once");
      endMarkSent = true;
    }
    if (request.exchange != Exchange::kPage)
      continue;
    FUZZ_CHECK(!endMarkSent, "no frame after the end mark");
    FUZZ_CHECK(request.page == next || request.page == next - 1, "pages go out in order");
    FUZZ_CHECK(request.page < pages, "only pages of the image are sent");
    if (request.page == next)
      ++next;
    const auto* page = image.data() + request.page * 256;
    uint8_t sum = 0;
    for (int i = 0; i < 256; ++i) {
      FUZZ_CHECK(static_cast<uint8_t>(request.argument[2 + i]) == page[i], "the page's bytes");
      sum = static_cast<uint8_t>(sum + page[i]);
    }
    FUZZ_CHECK(static_cast<uint8_t>(request.argument[258]) == sum, "the page's checksum");
  }
  everyPageSent = next == pages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Firmware firmwares[3] = {Firmware(3), Firmware(1), Firmware(10)};
  FuzzInput input(data, size);
  // The first byte sets the scene: the base station's rate, a module already in its boot
  // loader, the firmware, and whether the companion program holds the port.
  const uint8_t scene = input.Take(0);
  DeviceSetup setup;
  setup.baud = kBaudRates[(scene & 7) % 6];
  setup.bootLoaderRunning = (scene & 8) != 0;
  const Firmware& firmware = firmwares[((scene >> 4) & 3) % 3];
  setup.portBusy = (scene & 0x40) != 0;
  const bool companionRunning = (scene & 0x80) != 0;
  const int pages = static_cast<int>(firmware.image.size() / 256);
  // The second byte starts the tick counter that many seconds before it wraps around (0: at
  // its usual start), so that the waits are tried across the wrap.
  const uint8_t secondsBeforeWrap = input.Take(0);

  BoundedClock clock;
  if (secondsBeforeWrap != 0)
    clock.Advance(0u - secondsBeforeWrap * 1000u - clock.Now());
  InputDrivenDevices devices(clock, input, setup);
  clock.devices = &devices;
  MemoryProfile profile;
  ScriptedPortList ports;
  ports.SetPorts({"COM3"});
  RecordingCompanionWindows companion;
  if (companionRunning)
    companion.windows.push_back({77, true, "Halvenmoor Serial Test Program - COM3"});
  companion.onPost = [&](const PostedMessage& message) {
    if (message.wParam == msg::kCompanionRelease)
      devices.Release();
  };
  HeadlessDialogHost headless(clock);
  headless.user = User(input);
  TimedDialogHost dialogs(headless, clock);
  RecordingControls controls;
  CFirmwareUpdateDlg dlg({clock, devices, profile, ports, companion, dialogs}, controls,
                         "KorvaneQuorvantaUpdate");
  dlg.SetProgramDirectory(firmware.dir.WithSeparator());
  dlg.OnInitDialog();
  FUZZ_CHECK(controls.messageBoxes.empty() && controls.IsChecked(ids::kFirstPortButton + 2),
             "the dialog starts with its firmware and COM3 checked");

  // The coarse steps of the clock while nothing is on its way end each wait up to 9 ms late.
  const uint32_t procedureBound = UpdateTimeBoundMs(pages) + 2000;
  clock.start = clock.Now();
  clock.limit = procedureBound + kUserGivesUpMs + 1000;
  dlg.OnBeginUpdate();
  const uint32_t elapsed = clock.Now() - clock.start;
  clock.limit = UINT32_MAX;

  const UpdateOutcome outcome = dlg.LastOutcome();
  // Triage: FUZZ_VERBOSE=1 <fuzzer> <input> tells how a run ended.
  static const bool verbose = std::getenv("FUZZ_VERBOSE") != nullptr;
  if (verbose) {
    std::fprintf(
        stderr, "outcome %d after %u ms (%u in the dialog), %zu bytes sent, %s\n",
        static_cast<int>(outcome), elapsed, dialogs.spentMs, devices.attempted.size(),
        controls.messageBoxes.empty() ? "no message" : controls.messageBoxes[0].text.c_str());
    for (const HeardRequest& request : devices.requests)
      std::fprintf(stderr, "  %s %d\n", ExchangeName(request.exchange), request.page);
  }
  FUZZ_CHECK(elapsed - dialogs.spentMs <= procedureBound, "the update ends within its time-outs");
  FUZZ_CHECK(dialogs.runs <= 1, "the control-parameter dialog runs at most once");
  FUZZ_CHECK(!dlg.SerialPort().IsOpen() && !devices.isOpen, "the port is closed");
  FUZZ_CHECK(!firmware.dir.Exists("Hex.tmp"), "the page image is deleted");
  FUZZ_CHECK(controls.waitCursorDepth == 0, "the wait cursor is gone");
  FUZZ_CHECK(dlg.BorrowedPort() == -1, "a borrowed port is given back");
  if (!companion.posted.empty()) {
    FUZZ_CHECK(companion.posted.front().wParam == msg::kCompanionRelease &&
                   companion.posted.back().wParam == msg::kCompanionTakeBack,
               "the companion program gets its port back after lending it");
  }

  bool everyPageSent = false, endMarkSent = false;
  CheckFrames(devices.requests, firmware.image, everyPageSent, endMarkSent);

  const std::string& sent = devices.attempted;
  const std::string result = controls.GetText(ids::kResult);
  const std::vector<RecordedMessageBox>& boxes = controls.messageBoxes;
  const unsigned exclamation = mb::kIconExclamation | mb::kOk;
  if (outcome == UpdateOutcome::kCancelled) {
    FUZZ_CHECK(boxes.empty() && result.empty(), "a cancel shows nothing");
    FUZZ_CHECK(EndsWith(sent, kEndRelay + "<RN<W"), "a cancel ends the relay, <RN, <W");
  } else {
    FUZZ_CHECK(boxes.size() == 1, "every other end shows one message");
  }
  if (outcome == UpdateOutcome::kSuccess) {
    FUZZ_CHECK(everyPageSent && endMarkSent, "success only after every page and the end mark");
    FUZZ_CHECK(boxes[0].title == update_texts::kCompleteTitle &&
                   boxes[0].flags == mb::kIconInformation &&
                   boxes[0].text == update_texts::kSuccessMessage,
               "the success box");
    FUZZ_CHECK(result == update_texts::kSuccessStatus, "the success line");
    const int saved = profile.GetInt("Settings", "ComPort", -1);
    FUZZ_CHECK(saved == 3, "the port of the success is saved");
  } else {
    FUZZ_CHECK(profile.writes == 0, "only a success saves the port");
    FUZZ_CHECK(!endMarkSent, "no end mark without success");
  }
  if (outcome != UpdateOutcome::kCancelled && outcome != UpdateOutcome::kSuccess) {
    FUZZ_CHECK(boxes[0].title == update_texts::kErrorTitle && boxes[0].flags == exclamation,
               "failures: error title, exclamation icon");
  }

  const std::string fifteen = update_texts::kFifteenBlanks;
  switch (outcome) {
    case UpdateOutcome::kPortOpenFailed:
      FUZZ_CHECK(boxes[0].text == "Unable to open serial port COM3     " && result == boxes[0].text,
                 "the open failure names the port");
      FUZZ_CHECK(sent.find("<W") == std::string::npos, "no base station, nothing to release");
      break;
    case UpdateOutcome::kNoBaseStation:
      FUZZ_CHECK(boxes[0].text == update_texts::kCannotFindBaseStation + fifteen &&
                     result == update_texts::kCannotFindBaseStation,
                 "no base station");
      FUZZ_CHECK(sent.find("<W") == std::string::npos, "no base station, nothing to release");
      break;
    case UpdateOutcome::kConfigurationFailed: {
      const std::string head =
          update_texts::kUnableToConfigure + fifteen + update_texts::kTargetModuleId;
      FUZZ_CHECK(boxes[0].text.compare(0, head.size(), head) == 0 && result == boxes[0].text,
                 "the configuration failure names the module");
      FUZZ_CHECK(boxes[0].text.size() - head.size() <= 6, "the module ID fits its field");
      FUZZ_CHECK(EndsWith(sent, "<W") && !EndsWith(sent, kEndRelay + "<W"),
                 "a failed configuration releases the base station with <W alone");
      break;
    }
    case UpdateOutcome::kBootLoaderSilent:
      FUZZ_CHECK(boxes[0].text == update_texts::kNoBootLoader + fifteen &&
                     result == update_texts::kNoBootLoader,
                 "the silent boot loader");
      FUZZ_CHECK(EndsWith(sent, kEndRelay + "<W"), "the relay ends, then <W");
      break;
    case UpdateOutcome::kTransferFailed: {
      const std::string& text = boxes[0].text;
      bool known = false;
      for (const char* reason : {update_texts::kNoResponse, update_texts::kInvalidVersion,
                                 update_texts::kNoReady, update_texts::kInvalidReady}) {
        known =
            known || text == reason + std::string("Korvane Quorvanta Module.     ") + FailureTail();
      }
      FUZZ_CHECK(known, "the failure report: a reason and the tail");
      FUZZ_CHECK(result == update_texts::kFailedStatus, "the failure line");
      FUZZ_CHECK(EndsWith(sent, kEndRelay + "<W"), "the relay ends, then <W");
      break;
    }
    case UpdateOutcome::kSuccess:
      FUZZ_CHECK(EndsWith(sent, "\xFF\xFF" + kEndRelay + "<W"), "end mark, end of relay, <W");
      break;
    case UpdateOutcome::kCancelled:
      break;
    case UpdateOutcome::kNotRun:
    case UpdateOutcome::kFirmwareFileProblem:
      FUZZ_CHECK(false, "the firmware is good, the update runs");
  }
  return 0;
}
