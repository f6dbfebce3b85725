#pragma once
#include <string>

// Why a serial device could not be opened, for the person at the terminal: the device, the
// system's reason, and what to do about it where there is something to do.
enum class OpenStep {
  kOpen,         // open() itself failed with `error`
  kLocked,       // another program holds its advisory lock
  kNotTerminal,  // it opened, but is no terminal: a regular file, /dev/null
  kHeldOpen,     // another program has it open and would read its bytes
};

std::string OpenFailureText(const std::string& path, int port, OpenStep step, int error);
