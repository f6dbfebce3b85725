#include "win32_clock.h"

#include "win32_api.h"

uint32_t Win32Clock::TickCount() {
  return GetTickCount();
}

void Win32Clock::Sleep(uint32_t milliseconds) {
  ::Sleep(milliseconds);
}
