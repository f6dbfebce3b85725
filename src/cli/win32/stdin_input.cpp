#include "stdin_input.h"

StdinInput::StdinInput() : changed_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  InitializeCriticalSection(&lock_);
}

StdinInput::~StdinInput() {
  // A started reader may sit in ReadFile until the process ends it, and may still take the
  // lock and signal the event when a line comes: both stay valid until then.
  if (thread_)
    return;
  CloseHandle(changed_);
  DeleteCriticalSection(&lock_);
}

DWORD WINAPI StdinInput::ReaderThread(LPVOID self) {
  static_cast<StdinInput*>(self)->Read();
  return 0;
}

void StdinInput::Read() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  for (;;) {
    char chunk[256];
    DWORD count = 0;
    const BOOL ok = ReadFile(input, chunk, sizeof chunk, &count, nullptr);
    // Ctrl-C interrupts a console read without ending the input.
    if (!ok && GetLastError() == ERROR_OPERATION_ABORTED)
      continue;
    EnterCriticalSection(&lock_);
    if (!ok || count == 0) {
      // A last line without its line end still counts as a line.
      if (partialLine_)
        ++lines_;
      partialLine_ = false;
      ended_ = true;
    } else {
      for (DWORD i = 0; i < count; ++i) {
        if (chunk[i] == '\n') {
          ++lines_;
          partialLine_ = false;
        } else if (chunk[i] != '\r') {
          partialLine_ = true;
        }
      }
    }
    const bool ended = ended_;
    LeaveCriticalSection(&lock_);
    SetEvent(changed_);
    if (ended)
      return;
  }
}

ConsoleInput::Event StdinInput::Take() {
  EnterCriticalSection(&lock_);
  Event event = Event::kNone;
  if (lines_ > 0) {
    --lines_;
    event = Event::kLine;
  } else if (ended_) {
    event = Event::kEnd;
  }
  LeaveCriticalSection(&lock_);
  return event;
}

ConsoleInput::Event StdinInput::Wait(uint32_t milliseconds) {
  if (!thread_)
    thread_ = CreateThread(nullptr, 0, ReaderThread, this, 0, nullptr);
  const Event event = Take();
  if (event != Event::kNone || !thread_)
    return thread_ ? event : Event::kEnd;
  WaitForSingleObject(changed_, milliseconds);
  return Take();
}
