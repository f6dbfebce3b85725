#pragma once
#include "ui/companion_windows.h"

// Top-level windows of the desktop from the top of the Z order, and posting to one of them.
class Win32CompanionWindows : public CompanionWindows {
 public:
  std::vector<TopLevelWindow> TopLevelWindows() override;
  void PostMessage(uintptr_t handle, unsigned message, uintptr_t wParam, intptr_t lParam) override;
};
