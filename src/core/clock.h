#pragma once
#include <cstdint>

// Millisecond tick counter and blocking sleep. Nothing in the core reads the OS clock or
// sleeps except through this seam, so tests can run every wait on virtual time.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; wraps around at 2^32. Compare ticks only by
  // unsigned difference.
  virtual uint32_t TickCount() = 0;
  // Blocks the calling thread; used only where the program really sleeps (BorrowPort).
  virtual void Sleep(uint32_t milliseconds) = 0;
  // The update's pauses between commands. The dialog busy-waits on the tick counter and
  // dispatches nothing meanwhile; a console host sleeps instead.
  virtual void Pause(uint32_t milliseconds);
};

// True once at least `limit` milliseconds have passed since `start` (wrap-around safe).
inline bool Elapsed(uint32_t now, uint32_t start, uint32_t limit) {
  return static_cast<uint32_t>(now - start) >= limit;
}

// Busy-waits until at least `milliseconds` have passed: no sleep, no messages dispatched, so
// the window does not repaint meanwhile. Returns at once for 0.
inline void BusyWait(Clock& clock, uint32_t milliseconds) {
  if (milliseconds == 0)
    return;
  const uint32_t start = clock.TickCount();
  while (!Elapsed(clock.TickCount(), start, milliseconds)) {
  }
}

inline void Clock::Pause(uint32_t milliseconds) {
  BusyWait(*this, milliseconds);
}

// Milliseconds left of a wait of `limit` begun at `start` (0 once it has run out).
inline uint32_t Remaining(uint32_t now, uint32_t start, uint32_t limit) {
  const uint32_t elapsed = now - start;
  return elapsed >= limit ? 0 : limit - elapsed;
}
