#pragma once
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "console_input.h"
#include "console_output.h"
#include "virtual_clock.h"

// Standard input as a script on the virtual clock: a wait lets the time pass, then the
// script says what arrived by then.
class ScriptedInput : public ConsoleInput {
 public:
  explicit ScriptedInput(VirtualClock& clock) : clock_(clock) {}
  Event Wait(uint32_t milliseconds) override {
    clock_.Sleep(milliseconds);
    ++waits;
    return script ? script(clock_.Now()) : Event::kNone;
  }
  std::function<Event(uint32_t now)> script;
  int waits = 0;

 private:
  VirtualClock& clock_;
};

class ScriptedInterrupts : public InterruptCounter {
 public:
  int Count() const override { return count ? count() : 0; }
  std::function<int()> count;
};

// The lines of a text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Both output streams of the console, kept for assertions.
struct CapturedOutput {
  explicit CapturedOutput(bool terminal = false) : output(out, err, terminal) {}
  std::ostringstream out, err;
  ConsoleOutput output;
};
