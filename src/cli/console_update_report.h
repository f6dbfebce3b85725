#pragma once
#include <cstdint>
#include <string>

#include "console_output.h"
#include "progress_bar.h"
#include "update/update_events.h"
#include "update/update_outcome.h"

// The console's reading of an update's events: the progress bar on a terminal, and what the
// summary line and the exit status say afterwards.
class ConsoleUpdateReport : public UpdateObserver {
 public:
  explicit ConsoleUpdateReport(ConsoleOutput& output) : output_(output) {}

  void OnUpdateEvent(const UpdateEvent& event) override;

  // How the update ended; kNotRun until it has.
  UpdateOutcome Outcome() const { return run_.outcome; }
  // "Summary: ..." once an update has run: the rate the base station answered at, the pages
  // and frames sent, and how long the transfer and the whole update took.
  std::string Summary() const;

 private:
  void FrameSent(const update_events::PageFrameSent& sent);

  ConsoleOutput& output_;
  // What one run has shown so far; a new run starts afresh.
  struct Run {
    TransferRate rate;
    UpdateOutcome outcome = UpdateOutcome::kNotRun;
    bool started = false;
    uint32_t startTick = 0;
    uint32_t endTick = 0;
    uint32_t baud = 0;
    int pages = 0;
    int accepted = 0;
    int frames = 0;
    int resends = 0;
    uint32_t firstFrameTick = 0;
    uint32_t lastReplyTick = 0;
  };
  Run run_;
};
