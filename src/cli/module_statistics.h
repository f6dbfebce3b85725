#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "update/update_events.h"
#include "update/update_outcome.h"

// Where a module's time went, in milliseconds, each phase from one boundary event to the next:
// search from the start to the base station's answer; radio set-up from there to the start of
// the transfer, less the wait for the Setup report; transfer to the end mark (or to the last
// event before the restore when it broke off); restore to the base station released.
struct PhaseTimes {
  uint32_t search = 0;
  uint32_t setupWait = 0;
  uint32_t radioSetup = 0;
  uint32_t transfer = 0;
  uint32_t restore = 0;
};

// The page transfer as the link saw it.
struct LinkFigures {
  int pages = 0;            // pages of the image
  int accepted = 0;         // pages the boot loader took
  int frames = 0;           // page frames sent
  int resends = 0;          // frames sent again
  int mostResentPage = -1;  // the page with the most resends (from 0), -1 when none
  int mostResends = 0;
  int staleBytes = 0;                  // bytes waiting before a frame, dropped unread as replies
  std::vector<uint32_t> roundTripsMs;  // frame to reply, for the replies that came
  uint32_t spanMs = 0;                 // first frame sent to last reply
};

// What one update procedure showed of its module, the base station and the link.
struct ModuleFacts {
  std::chrono::system_clock::time_point start{};
  uint32_t durationMs = 0;
  uint32_t baud = 0;  // the rate the base station answered at, 0 when none did
  std::optional<std::string> baseStationId;
  std::optional<std::string> moduleId, networkSerial, panId, rfChannel;
  std::optional<std::string> bootLoader;
  std::optional<std::string> imageSha256;
  std::optional<int> imagePages;
  LinkFigures link;
  PhaseTimes phases;
  UpdateOutcome outcome = UpdateOutcome::kNotRun;
  std::string message;   // as the user was shown it; empty on success and cancel
  bool started = false;  // the procedure ran (UpdateStarted came)
  // A module took part: its Setup report began, or its boot loader was already waiting.
  bool moduleSeen = false;
  // The module was found waiting in its boot loader (an update cut off earlier) and finished
  // from there, without a Setup report.
  bool recovery = false;
};

// One collector per update procedure, fed by its events: what the per-module summary line and
// the report record say. A new UpdateStarted starts afresh.
class ModuleStatistics : public UpdateObserver {
 public:
  void OnUpdateEvent(const UpdateEvent& event) override;
  const ModuleFacts& Facts() const { return run_.facts; }

 private:
  enum class Phase { kNone, kSearch, kRadioSetup, kSetupWait, kTransfer, kRestore };
  void Enter(Phase next, uint32_t tick);
  // What each event tells; the events not listed tell nothing here.
  void Take(const update_events::UpdateStarted& e);
  void Take(const update_events::PageImageBuilt& e);
  void Take(const update_events::BaudRateTried& e);
  void Take(const update_events::BootLoaderPolled& e);
  void Take(const update_events::ParameterDialogOpened& e);
  void Take(const update_events::ParameterReceived& e);
  void Take(const update_events::ParameterDialogClosed& e);
  void Take(const update_events::BootLoaderIdentified& e);
  void Take(const update_events::PageFrameSent& sent);
  void Take(const update_events::PageReplied& e);
  void Take(const update_events::EndMarkSent& e);
  void Take(const update_events::BaseStationRestored& e);
  void Take(const update_events::UpdateFinished& e);
  template <typename Event>
  void Take(const Event&) {}

  // What one run has gathered; a new run starts afresh.
  struct Run {
    ModuleFacts facts;
    Phase phase = Phase::kNone;
    uint32_t phaseStart = 0;
    uint32_t startTick = 0;
    uint32_t lastTick = 0;
    uint32_t firstFrameTick = 0;
    std::map<int, int> resendsByPage;
  };
  Run run_;
};

// The median of the values (the mean of the middle two for an even count); empty for none.
std::optional<double> Median(std::vector<uint32_t> values);

// "13 pages, 15 frames, 2 resent (most: page 1, 2 times); round trip median 52.5 ms, worst 61
// ms; 3100 bytes/s, 26.9 % of the wire limit at 115200 baud": pages accepted, frames sent, and
// the page data taken per second of the transfer against 10 bits per byte at `baud`.
std::string LinkSummary(const ModuleFacts& facts);
