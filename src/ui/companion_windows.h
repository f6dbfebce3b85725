#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Top-level windows, from the top of the Z order, and posting a message to one of them.
// Used to ask the maker's serial test program to release a port and to take it back.
struct TopLevelWindow {
  uintptr_t handle = 0;
  bool visible = false;
  std::string title;
};

class CompanionWindows {
 public:
  virtual ~CompanionWindows() = default;
  virtual std::vector<TopLevelWindow> TopLevelWindows() = 0;
  virtual void PostMessage(uintptr_t handle, unsigned message, uintptr_t wParam,
                           intptr_t lParam) = 0;
};

// Platforms where the companion program cannot exist.
class NoCompanionWindows : public CompanionWindows {
 public:
  std::vector<TopLevelWindow> TopLevelWindows() override { return {}; }
  void PostMessage(uintptr_t, unsigned, uintptr_t, intptr_t) override {}
};
