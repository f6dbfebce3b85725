#include "interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "exit_codes.h"

namespace {
std::atomic<int> interruptCount{0};

void Say(const char* text) {
  // Only async-signal-safe calls in here.
  const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

void OnInterrupt(int signal) {
  const int before = interruptCount.load();
  const int after = signal == SIGTERM ? (before < 2 ? 2 : before + 1) : before + 1;
  interruptCount.store(after);
  if (after >= 3) {
    Say("\nStopped.\n");
    _exit(static_cast<int>(ExitCode::kStoppedHard));
  }
  if (after == 1)
    Say("\nCancelling the update at the next safe point (Ctrl-C again cuts the link).\n");
  else
    Say("\nCutting the serial link; the port is being closed.\n");
}
}  // namespace

SignalInterrupts::SignalInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // Reads and writes on the port carry on; a wait on standard input (poll) still wakes up.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int SignalInterrupts::Count() const {
  return interruptCount.load();
}
