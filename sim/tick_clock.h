#pragma once
#include <cstdint>

namespace sim {

// Turns the caller's tick counts (wrapping at 2^32) into microseconds on the timeline. Time
// never runs backwards: an earlier tick count counts as no time passed. The first count seen
// is the timeline's zero.
class TickClock {
 public:
  explicit TickClock(uint32_t tickUs) : tickUs_(tickUs) {}
  uint64_t Internal(uint32_t now);
  // The timeline's microsecond for a tick count that may lie ahead (now, if it has passed).
  uint64_t Ahead(uint32_t when);
  // Whole ticks from `fromUs` until `untilUs` (UINT64_MAX: nothing due), at most `cap`.
  uint32_t TicksUntil(uint64_t fromUs, uint64_t untilUs, uint32_t cap) const;

 private:
  uint32_t tickUs_;
  bool started_ = false;
  uint32_t lastExternal_ = 0;
  uint64_t internalTicks_ = 0;
};

}  // namespace sim
