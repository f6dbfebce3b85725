#pragma once
#include <cstdint>
#include <string>

#include "console_output.h"
#include "module_statistics.h"
#include "progress_bar.h"
#include "update/update_events.h"

// The terminal's progress bar, drawn from the update's events.
class ConsoleUpdateReport : public UpdateObserver {
 public:
  explicit ConsoleUpdateReport(ConsoleOutput& output) : output_(output) {}

  void OnUpdateEvent(const UpdateEvent& event) override;

 private:
  ConsoleOutput& output_;
  TransferRate rate_;
};

// "Summary: ..." once an update has run: the rate the base station answered at, the pages
// and frames sent, and how long the transfer and the whole update took.
std::string UpdateSummary(const ModuleFacts& facts);
