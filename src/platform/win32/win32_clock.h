#pragma once
#include "core/clock.h"

// The millisecond tick counter and the blocking sleep of Windows.
class Win32Clock : public Clock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;
};
