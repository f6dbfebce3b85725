#pragma once
#include "console_input.h"

// Ctrl-C (SIGINT) and SIGTERM, counted alike: the first asks to cancel (the base station is
// restored cleanly, so `timeout` and service managers get a clean stop), the second cuts the
// serial link, the third ends the program at once.
class SignalInterrupts : public InterruptCounter {
 public:
  // Installs the handlers; one instance per process.
  SignalInterrupts();
  int Count() const override;
  void SetTransferring(bool transferring) const override;
};
