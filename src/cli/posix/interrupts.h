#pragma once
#include "console_input.h"

// Ctrl-C (SIGINT) and SIGTERM, counted. The first Ctrl-C asks to cancel, the second cuts
// the serial link, the third ends the program at once. SIGTERM cuts the link straight away.
class SignalInterrupts : public InterruptCounter {
 public:
  // Installs the handlers; one instance per process.
  SignalInterrupts();
  int Count() const override;
};
