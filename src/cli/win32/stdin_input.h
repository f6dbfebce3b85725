#pragma once
#include "console_input.h"
#include "win32_api.h"

// Standard input (a console, a pipe or a file), read by a thread of its own that is started
// at the first wait, so that nothing is taken from the input before it is asked for.
class StdinInput : public ConsoleInput {
 public:
  StdinInput();
  ~StdinInput() override;
  StdinInput(const StdinInput&) = delete;
  StdinInput& operator=(const StdinInput&) = delete;

  Event Wait(uint32_t milliseconds) override;

 private:
  static DWORD WINAPI ReaderThread(LPVOID self);
  void Read();
  // A line or the end, if one is there; kNone otherwise.
  Event Take();

  CRITICAL_SECTION lock_;
  HANDLE changed_;
  HANDLE thread_ = nullptr;
  int lines_ = 0;
  bool partialLine_ = false;
  bool ended_ = false;
};
