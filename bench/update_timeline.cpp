#include "update_timeline.h"

#include <memory>

#include "core/control_ids.h"
#include "dialog_fixture.h"
#include "hex_corpus.h"
#include "sim/devices.h"
#include "sim/in_process_serial.h"
#include "sim/timeline.h"

namespace {

// Pauses shorter than this are the clock's step around an event, not a wait.
constexpr uint32_t kShortestPause = 2;

// Sorts the virtual time between two events on the serial line into the parts of an
// UpdateTimeline.
class Ledger {
 public:
  explicit Ledger(VirtualClock& clock) : clock_(clock) {}

  // Everything before this moment is not counted.
  void Start() { start_ = gapStart_ = clock_.Now(); }

  // A reading of the tick counter. Each turn of a waiting loop moves time on one step; an
  // infinitely fast host does everything else within the same tick: what follows a serial
  // event, and the first reading of a wait that follows the last reading of another.
  uint32_t Reading() {
    const bool sameTick =
        last_ == Event::kActivity || (last_ == Event::kReading && beforeReading_ == Event::kPoll);
    if (!sameTick)
      clock_.Advance(1);
    if (last_ == Event::kPoll)
      pollEnd_ = clock_.Now();  // the reading that ends this turn of the polling loop
    beforeReading_ = last_;
    last_ = Event::kReading;
    return clock_.Now();
  }

  void Poll() {
    last_ = Event::kPoll;
    if (inDialog_)
      return;
    const uint32_t now = clock_.Now();
    if (!polled_)
      firstPoll_ = now;
    polled_ = true;
    pollEnd_ = now;
  }

  enum class Kind { kOpen, kClose, kWrite, kRead, kPurge, kDialogClosed };
  void Activity(Kind kind, const uint8_t* bytes, std::size_t length, uint32_t baud = 0) {
    last_ = Event::kActivity;
    if (inDialog_)
      return;
    const uint32_t now = clock_.Now();
    const bool extends = !bursts_.empty() && bursts_.back().kind == kind &&
                         bursts_.back().time == now &&
                         (kind == Kind::kWrite || kind == Kind::kRead);
    if (!extends) {
      CloseGap(now, kind == Kind::kRead);
      bursts_.push_back(Burst{kind, now, baud, {}});
    }
    bursts_.back().bytes.insert(bursts_.back().bytes.end(), bytes, bytes + length);
    gapStart_ = now;
    TrackTransfer(kind, bytes, length, now);
  }

  void BeginDialog() {
    CloseGap(clock_.Now(), false);
    inDialog_ = true;
    dialogStart_ = clock_.Now();
  }
  void EndDialog() {
    inDialog_ = false;
    last_ = Event::kActivity;
    result_.dialogMs += clock_.Now() - dialogStart_;
    gapStart_ = clock_.Now();
    bursts_.push_back(Burst{Kind::kDialogClosed, gapStart_, 0, {}});
  }

  UpdateTimeline Finish() {
    CloseGap(clock_.Now(), false);
    result_.totalMs = clock_.Now() - start_;
    for (const PendingPause& pause : pending_) {
      result_.pauses.push_back(
          TimelinePause{pause.ms, Describe(pause.afterBurst, pause.afterTimeoutMs),
                        pause.beforeBurst < bursts_.size() ? Describe(pause.beforeBurst, 0)
                                                           : "the end of the update"});
    }
    return result_;
  }

 private:
  struct Burst {
    Kind kind;
    uint32_t time;
    uint32_t baud;
    std::vector<uint8_t> bytes;
  };
  struct PendingPause {
    uint32_t ms;
    std::size_t afterBurst;
    uint32_t afterTimeoutMs;
    std::size_t beforeBurst;
  };

  void AddPause(uint32_t ms, uint32_t timeoutBeforeMs) {
    if (ms < kShortestPause) {
      result_.otherMs += ms;
      return;
    }
    result_.pausesMs += ms;
    pending_.push_back(PendingPause{ms, bursts_.empty() ? SIZE_MAX : bursts_.size() - 1,
                                    timeoutBeforeMs, bursts_.size()});
  }

  // Attributes [gapStart_, now]; `endsWithRead` when a byte arriving ends it.
  void CloseGap(uint32_t now, bool endsWithRead) {
    const uint32_t gap = now - gapStart_;
    if (inTransfer_) {
      polled_ = false;
      return;  // the transfer is counted as a whole
    }
    if (!polled_) {
      AddPause(gap, 0);
    } else {
      // A wait that starts polling within a tick or so of the event before it is all wait.
      uint32_t before = firstPoll_ - gapStart_;
      uint32_t polling = pollEnd_ - firstPoll_;
      if (before < kShortestPause) {
        polling += before;
        before = 0;
      }
      const uint32_t after = now - pollEnd_;
      AddPause(before, 0);
      if (endsWithRead) {
        result_.answersMs += polling + after;
      } else {
        result_.timeoutsMs += polling;
        if (after >= kShortestPause) {
          AddPause(after, polling);
        } else {
          result_.timeoutsMs += after;
        }
      }
    }
    polled_ = false;
  }

  void TrackTransfer(Kind kind, const uint8_t* bytes, std::size_t length, uint32_t now) {
    static const std::string kVersionRequest = "#$%-QMM-2.11-644";
    if (kind == Kind::kOpen) {
      ++result_.portOpenings;
      result_.searchMs = now - start_;  // the last opening is the one that finds it
    }
    if (!inTransfer_ && !transferDone_ && kind == Kind::kWrite &&
        std::string(bytes, bytes + length) == kVersionRequest) {
      inTransfer_ = true;
      transferStart_ = now;
      lastWasRead_ = false;
      return;
    }
    if (!inTransfer_)
      return;
    // The end mark: 0xFF where a page number's high byte would follow a reply (page numbers
    // stay below 256, so that byte is 0 for every page).
    if (kind == Kind::kWrite && length == 1 && bytes[0] == 0xFF && lastWasRead_) {
      inTransfer_ = false;
      transferDone_ = true;
      result_.transferMs = now - transferStart_;
      gapStart_ = now;
    }
    lastWasRead_ = kind == Kind::kRead;
  }

  std::string Describe(std::size_t index, uint32_t timeoutMs) const {
    if (index >= bursts_.size())
      return "Begin Update";
    const Burst& burst = bursts_[index];
    std::string text;
    switch (burst.kind) {
      case Kind::kOpen:
        text = "port opened at " + std::to_string(burst.baud);
        break;
      case Kind::kClose:
        text = "port closed";
        break;
      case Kind::kPurge:
        text = "receive queue purged";
        break;
      case Kind::kDialogClosed:
        text = "control-parameter dialog closed";
        break;
      case Kind::kWrite:
      case Kind::kRead: {
        std::string shown =
            sim::Printable(burst.bytes.data(), std::min<std::size_t>(burst.bytes.size(), 16));
        if (burst.bytes.size() > 16)
          shown += "...";
        text = (burst.kind == Kind::kWrite ? "sent " : "received ") + shown;
        break;
      }
    }
    if (timeoutMs >= kShortestPause)
      text += " (then " + std::to_string(timeoutMs) + " ms without an answer)";
    return text;
  }

  VirtualClock& clock_;
  UpdateTimeline result_;
  std::vector<Burst> bursts_;
  std::vector<PendingPause> pending_;
  enum class Event { kActivity, kPoll, kReading };
  Event last_ = Event::kActivity;
  Event beforeReading_ = Event::kActivity;
  bool inDialog_ = false;
  uint32_t dialogStart_ = 0;
  uint32_t start_ = 0;
  uint32_t gapStart_ = 0;
  bool polled_ = false;
  uint32_t firstPoll_ = 0;
  uint32_t pollEnd_ = 0;
  bool inTransfer_ = false;
  bool transferDone_ = false;
  bool lastWasRead_ = false;
  uint32_t transferStart_ = 0;
};

class LedgerClock : public Clock {
 public:
  LedgerClock(VirtualClock& clock, Ledger& ledger) : clock_(clock), ledger_(ledger) {}
  uint32_t TickCount() override { return ledger_.Reading(); }
  void Sleep(uint32_t milliseconds) override { clock_.Advance(milliseconds); }

 private:
  VirtualClock& clock_;
  Ledger& ledger_;
};

class LedgerSerial : public SerialBackend {
 public:
  LedgerSerial(SerialBackend& inner, Ledger& ledger) : inner_(inner), ledger_(ledger) {}
  bool Open(int port, const LineSettings& settings) override {
    const bool opened = inner_.Open(port, settings);
    if (opened)
      ledger_.Activity(Ledger::Kind::kOpen, nullptr, 0, settings.baud);
    return opened;
  }
  void Close() override {
    inner_.Close();
    ledger_.Activity(Ledger::Kind::kClose, nullptr, 0);
  }
  uint32_t BytesWaiting() override {
    ledger_.Poll();
    return inner_.BytesWaiting();
  }
  uint32_t Read(uint8_t* buffer, uint32_t max) override {
    const uint32_t count = inner_.Read(buffer, max);
    if (count > 0)
      ledger_.Activity(Ledger::Kind::kRead, buffer, count);
    return count;
  }
  bool Write(const uint8_t* data, uint32_t length) override {
    const bool written = inner_.Write(data, length);
    ledger_.Activity(Ledger::Kind::kWrite, data, length);
    return written;
  }
  bool PurgeInput() override {
    const bool purged = inner_.PurgeInput();
    ledger_.Activity(Ledger::Kind::kPurge, nullptr, 0);
    return purged;
  }

 private:
  SerialBackend& inner_;
  Ledger& ledger_;
};

class LedgerDialogHost : public DialogHost {
 public:
  LedgerDialogHost(DialogHost& inner, Ledger& ledger) : inner_(inner), ledger_(ledger) {}
  int RunModal(ModalDialog& dialog) override {
    ledger_.BeginDialog();
    const int result = inner_.RunModal(dialog);
    ledger_.EndDialog();
    return result;
  }

 private:
  DialogHost& inner_;
  Ledger& ledger_;
};

}  // namespace

UpdateTimeline RunUpdateOnVirtualTime(const TimelineSettings& settings) {
  sim::Scenario scenario;
  scenario.bootLoaderRunning = settings.bootLoaderRunning;
  sim::Options options;
  options.baseBaud = settings.baud;
  options.emulateWireTime = true;
  options.pageWriteMs = settings.pageTurnaroundMs;
  options.pressSetupAfterReportModeMs = static_cast<int32_t>(settings.setupButtonAfterMs);

  VirtualClock clock;
  Ledger ledger(clock);
  LedgerClock ledgerClock(clock, ledger);
  sim::Devices devices({}, scenario, options);
  sim::InProcessSerial simulated(devices, [&clock] { return clock.Now(); });
  LedgerSerial serial(simulated, ledger);

  MemoryProfile profile;
  ScriptedPortList ports;
  ports.SetPorts({"COM3"});
  RecordingCompanionWindows companion;
  HeadlessDialogHost headless(clock);
  // The user presses Start Update as soon as the module's parameters have arrived.
  headless.user = [](ModalDialog& dialog, RecordingControls& controls, uint32_t) {
    if (controls.IsEnabled(ids::kStartUpdate))
      dialog.OnCommand(ids::kStartUpdate);
  };
  LedgerDialogHost dialogs(headless, ledger);
  RecordingControls controls;
  TempDirectory directory;
  directory.Write("Korvane_Quorvanta_Mobile_Module.txt", "3.05\r\nfirmware.hex\r\n");
  directory.Write("firmware.hex", ImageHex(settings.pages, 16));

  CFirmwareUpdateDlg dialog(
      FirmwareUpdatePlatform{ledgerClock, serial, profile, ports, companion, dialogs}, controls,
      "KorvaneQuorvantaUpdate");
  dialog.SetProgramDirectory(directory.WithSeparator());
  dialog.OnInitDialog();
  ledger.Start();
  dialog.OnBeginUpdate();
  UpdateTimeline timeline = ledger.Finish();
  timeline.success = dialog.LastOutcome() == UpdateOutcome::kSuccess && devices.UpdateComplete();
  return timeline;
}
