#include "interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "exit_codes.h"

namespace {
std::atomic<int> interruptCount{0};
std::atomic<bool> transferring{false};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free count");

constexpr const char kTransferStopText[] =
    "\nThe transfer cannot be stopped safely: it finishes first, then the program stops.\n"
    "Ctrl-C again cuts the link: the module then stays in its boot loader, where the next\n"
    "update finds it and finishes.\n";

// Only async-signal-safe calls in here, and errno as the interrupted code left it.
void Say(const char* text) {
  const int savedErrno = errno;
  const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
  errno = savedErrno;
}

void OnInterrupt(int) {
  const int after = interruptCount.fetch_add(1) + 1;
  if (after >= 3) {
    Say("\nStopped.\n");
    _exit(static_cast<int>(ExitCode::kStoppedHard));
  }
  if (after == 1 && transferring.load())
    Say(kTransferStopText);
  else if (after == 1)
    Say("\nCancelling the update at the next safe point (Ctrl-C again cuts the link).\n");
  else
    Say("\nCutting the serial link; the port is being closed.\n");
}
}  // namespace

SignalInterrupts::SignalInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  // Neither signal interrupts the handler of the other.
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  // Reads and writes on the port carry on; a wait on standard input (poll) still wakes up.
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM}) {
    if (sigaction(signal, &action, nullptr) != 0) {
      std::cerr << "Warning: " << (signal == SIGINT ? "Ctrl-C" : "SIGTERM") << " cannot be caught ("
                << std::strerror(errno)
                << "): it would end the program without restoring the base station.\n";
    }
  }
}

int SignalInterrupts::Count() const {
  return interruptCount.load();
}

void SignalInterrupts::SetTransferring(bool running) const {
  transferring.store(running);
}
