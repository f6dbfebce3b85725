#pragma once
#include "core/clock.h"

// CLOCK_MONOTONIC in milliseconds, and nanosleep.
class MonotonicClock : public Clock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;
};
