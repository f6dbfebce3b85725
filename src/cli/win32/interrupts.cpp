#include "interrupts.h"

#include <cstring>

#include "exit_codes.h"
#include "win32_api.h"

namespace {
volatile LONG interruptCount = 0;

void Say(const char* text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
            nullptr);
}

// Runs on a thread of its own that the system starts for each event.
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
      InterlockedCompareExchange(&interruptCount, 2, 0);
      InterlockedCompareExchange(&interruptCount, 2, 1);
      return TRUE;
    default:
      return FALSE;
  }
  if (after >= 3) {
    Say("\r\nStopped.\r\n");
    ExitProcess(static_cast<UINT>(ExitCode::kStoppedHard));
  }
  if (after == 1)
    Say("\r\nCancelling the update at the next safe point (Ctrl-C again cuts the link).\r\n");
  else
    Say("\r\nCutting the serial link; the port is being closed.\r\n");
  return TRUE;
}
}  // namespace

ConsoleInterrupts::ConsoleInterrupts() {
  SetConsoleCtrlHandler(OnControl, TRUE);
}

int ConsoleInterrupts::Count() const {
  return static_cast<int>(InterlockedCompareExchange(&interruptCount, 0, 0));
}
