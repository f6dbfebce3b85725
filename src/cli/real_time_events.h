#pragma once
#include <functional>
#include <variant>

#include "core/clock.h"
#include "update/update_events.h"

// The update's events as the console's observers get them: on the real clock. A cut link
// hurries the procedure's own clock through its remaining waits; the records, the event lines
// and the summary keep the time that really passed. Until the cut both clocks agree, and the
// events go on as they are.
class RealTimeEvents : public UpdateObserver {
 public:
  RealTimeEvents(Clock& real, UpdateObserver& inner, std::function<bool()> isCut)
      : real_(real), inner_(inner), isCut_(std::move(isCut)) {}

  void OnUpdateEvent(const UpdateEvent& event) override {
    if (!isCut_()) {
      inner_.OnUpdateEvent(event);
      return;
    }
    UpdateEvent stamped = event;
    std::visit([this](auto& e) { e.tick = real_.TickCount(); }, stamped);
    inner_.OnUpdateEvent(stamped);
  }

 private:
  Clock& real_;
  UpdateObserver& inner_;
  std::function<bool()> isCut_;
};
