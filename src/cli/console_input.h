#pragma once
#include <cstdint>

// Lines typed on standard input, for the console's "press Enter" and its cancel on end of
// input.
class ConsoleInput {
 public:
  enum class Event { kNone, kLine, kEnd };
  virtual ~ConsoleInput() = default;
  // Waits up to `milliseconds` for a complete line or the end of input; kNone when neither
  // came. Once the input has ended every call answers kEnd at once.
  virtual Event Wait(uint32_t milliseconds) = 0;
};

// How often the user has asked to stop (Ctrl-C); counted by the platform's signal handling.
class InterruptCounter {
 public:
  virtual ~InterruptCounter() = default;
  virtual int Count() const = 0;
  // Whether a transfer is running: a stop request then says that the transfer cannot be
  // stopped safely and finishes first.
  virtual void SetTransferring(bool /*transferring*/) const {}
};
