#include "interrupts.h"

#include <cstring>

#include "exit_codes.h"
#include "win32_api.h"

namespace {
volatile LONG interruptCount = 0;
volatile LONG transferring = 0;

void Say(const char* text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
            nullptr);
}

// The system ends the process as soon as the handler of a close, logoff or shutdown returns,
// and at the latest about 5 s after the event; the handler waits meanwhile, so the program can
// end by itself first. A clean cancel (the base station restored) takes about a second; a
// transfer cannot be cancelled, so after kCleanStopMs the link is cut, which closes the port
// at once.
constexpr DWORD kCleanStopMs = 3000;
constexpr DWORD kCloseGraceMs = 30000;

// Runs on a thread of its own that the system starts for each event. Windows has no SIGTERM:
// Ctrl-Break and closing the console (or logging off, shutting down) count as Ctrl-C does.
BOOL WINAPI OnControl(DWORD event) {
  LONG after = 0;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      after = InterlockedIncrement(&interruptCount);
      break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      InterlockedCompareExchange(&interruptCount, 1, 0);
      Sleep(kCleanStopMs);
      InterlockedCompareExchange(&interruptCount, 2, 1);
      Sleep(kCloseGraceMs);
      return TRUE;
    default:
      return FALSE;
  }
  if (after >= 3) {
    Say("\r\nStopped.\r\n");
    ExitProcess(static_cast<UINT>(ExitCode::kStoppedHard));
  }
  if (after == 1 && InterlockedCompareExchange(&transferring, 0, 0) != 0) {
    Say("\r\nThe transfer cannot be stopped safely: it finishes first, then the program stops.\r\n"
        "Ctrl-C again cuts the link: the module then stays in its boot loader, where the next\r\n"
        "update finds it and finishes.\r\n");
  } else if (after == 1) {
    Say("\r\nCancelling the update at the next safe point (Ctrl-C again cuts the link).\r\n");
  } else {
    Say("\r\nCutting the serial link; the port is being closed.\r\n");
  }
  return TRUE;
}
}  // namespace

ConsoleInterrupts::ConsoleInterrupts() {
  SetConsoleCtrlHandler(OnControl, TRUE);
}

int ConsoleInterrupts::Count() const {
  return static_cast<int>(InterlockedCompareExchange(&interruptCount, 0, 0));
}

void ConsoleInterrupts::SetTransferring(bool running) const {
  InterlockedExchange(&transferring, running ? 1 : 0);
}
