#include "sim/tick_clock.h"

#include <algorithm>

namespace sim {

uint64_t TickClock::Internal(uint32_t now) {
  if (!started_) {
    started_ = true;
    lastExternal_ = now;
  }
  const uint32_t passed = now - lastExternal_;
  if (passed < 0x80000000u) {
    internalTicks_ += passed;
    lastExternal_ = now;
  }
  return internalTicks_ * tickUs_;
}

uint64_t TickClock::Ahead(uint32_t when) {
  if (!started_)
    Internal(when);
  const uint64_t now = Internal(lastExternal_);
  const uint32_t ahead = when - lastExternal_;
  return ahead < 0x80000000u ? now + uint64_t{ahead} * tickUs_ : now;
}

uint32_t TickClock::TicksUntil(uint64_t fromUs, uint64_t untilUs, uint32_t cap) const {
  if (untilUs == UINT64_MAX)
    return cap;
  const uint64_t wait = (untilUs - std::min(untilUs, fromUs) + tickUs_ - 1) / tickUs_;
  return static_cast<uint32_t>(std::min<uint64_t>(wait, cap));
}

}  // namespace sim
