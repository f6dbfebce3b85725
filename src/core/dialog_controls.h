#pragma once
#include <string>

// What dialog logic may do to its window, keyed by the resource control IDs. The Win32 host
// maps this onto real windows, the headless test host records it, the console host prints it.
class DialogControls {
 public:
  virtual ~DialogControls() = default;

  virtual void SetWindowTitle(const std::string& title) = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual std::string GetText(int id) = 0;
  virtual void Enable(int id, bool enabled) = 0;
  virtual bool IsEnabled(int id) = 0;
  // Checks `checkId` and unchecks the other buttons of first..last; an id outside the range
  // unchecks all of them.
  virtual void CheckRadioButton(int first, int last, int checkId) = 0;
  // The checked button among first..last, or 0 when none is checked.
  virtual int GetCheckedRadioButton(int first, int last) = 0;

  // Modal message box owned by this dialog; returns the button pressed (mb::kIdOk ...).
  virtual int MessageBox(const std::string& text, const std::string& title, unsigned flags) = 0;

  // Wait cursor; calls nest.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;

  // Invalidate the whole window without erasing its background and update it at once.
  virtual void RepaintNow() = 0;
  // Post a paint message to the window, then take exactly one message from the thread's
  // queue and dispatch it.
  virtual void DispatchOneMessage() = 0;

  virtual void SetTimer(unsigned id, unsigned periodMilliseconds) = 0;
  virtual void KillTimer(unsigned id) = 0;
  // Ends the modal run of this dialog with `result` once the current handler returns.
  virtual void EndDialog(int result) = 0;
};
