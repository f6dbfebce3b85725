#pragma once
#include "core/clock.h"

// The console's clock: the update's pauses sleep until they are over instead of spinning, so
// an update costs next to no processor time. Everything else is the inner clock's.
class SleepingClock : public Clock {
 public:
  explicit SleepingClock(Clock& inner) : inner_(inner) {}

  uint32_t TickCount() override { return inner_.TickCount(); }
  void Sleep(uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
  void Pause(uint32_t milliseconds) override {
    const uint32_t start = TickCount();
    for (uint32_t left; (left = Remaining(TickCount(), start, milliseconds)) != 0;) Sleep(left);
  }

 private:
  Clock& inner_;
};
