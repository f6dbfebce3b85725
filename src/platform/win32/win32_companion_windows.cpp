#include "win32_companion_windows.h"

#include "win32_api.h"

std::vector<TopLevelWindow> Win32CompanionWindows::TopLevelWindows() {
  std::vector<TopLevelWindow> windows;
  for (HWND window = GetTopWindow(GetDesktopWindow()); IsWindow(window);
       window = GetWindow(window, GW_HWNDNEXT)) {
    // Titles are read into a 100-byte buffer: at most 99 characters take part.
    char title[100];
    title[0] = '\0';
    GetWindowTextA(window, title, sizeof title);
    windows.push_back({reinterpret_cast<uintptr_t>(window), IsWindowVisible(window) != 0, title});
  }
  return windows;
}

void Win32CompanionWindows::PostMessage(uintptr_t handle, unsigned message, uintptr_t wParam,
                                        intptr_t lParam) {
  PostMessageA(reinterpret_cast<HWND>(handle), message, wParam, lParam);
}
