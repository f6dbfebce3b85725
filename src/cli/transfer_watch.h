#pragma once
#include <variant>

#include "console_input.h"
#include "update/update_events.h"

// Tells the stop requests whether a transfer is running, from the update's events: from the
// first page frame to the end mark or the end of the run.
class TransferWatch : public UpdateObserver {
 public:
  explicit TransferWatch(const InterruptCounter& interrupts) : interrupts_(interrupts) {}

  void OnUpdateEvent(const UpdateEvent& event) override {
    if (std::holds_alternative<update_events::PageFrameSent>(event))
      interrupts_.SetTransferring(true);
    else if (std::holds_alternative<update_events::EndMarkSent>(event) ||
             std::holds_alternative<update_events::UpdateFinished>(event))
      interrupts_.SetTransferring(false);
  }

 private:
  const InterruptCounter& interrupts_;
};
