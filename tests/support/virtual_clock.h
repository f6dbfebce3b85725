#pragma once
#include <cstdint>

#include "core/clock.h"

// A clock that only moves when asked: every reading of the tick counter advances it by one
// step, so a polling loop makes time pass, and a sleep advances it by the time slept.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(uint32_t start = 0x10000, uint32_t step = 1) : now_(start), step_(step) {}
  uint32_t TickCount() override {
    now_ += step_;
    ++readings_;
    return now_;
  }
  void Sleep(uint32_t milliseconds) override {
    now_ += milliseconds;
    slept_ += milliseconds;
    ++sleeps_;
  }
  // Current time without advancing it.
  uint32_t Now() const { return now_; }
  void Advance(uint32_t milliseconds) { now_ += milliseconds; }
  uint64_t Readings() const { return readings_; }
  uint64_t SleptMilliseconds() const { return slept_; }
  int Sleeps() const { return sleeps_; }

 private:
  uint32_t now_;
  uint32_t step_;
  uint64_t readings_ = 0;
  uint64_t slept_ = 0;
  int sleeps_ = 0;
};
