#pragma once
#include <string>

#include "console_input.h"

// Standard input, watched with poll so that waiting for a line never blocks the dialog's
// timer.
class StdinInput : public ConsoleInput {
 public:
  explicit StdinInput(int fd = 0) : fd_(fd) {}
  Event Wait(uint32_t milliseconds) override;

 private:
  // Takes one complete line from what has been read, if there is one.
  bool TakeLine();

  int fd_;
  std::string buffer_;
  bool ended_ = false;
};
