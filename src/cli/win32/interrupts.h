#pragma once
#include "console_input.h"

// Ctrl-C and Ctrl-Break, counted by the console's control handler. The first asks to cancel,
// the second cuts the serial link, the third ends the program at once. Closing the console
// window (or logging off, shutting down) asks to cancel too, and cuts the link when the
// program has not ended after three seconds, before the system ends it.
class ConsoleInterrupts : public InterruptCounter {
 public:
  // Installs the handler; one instance per process.
  ConsoleInterrupts();
  int Count() const override;
  void SetTransferring(bool transferring) const override;
};
