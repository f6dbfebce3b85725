#pragma once
#include "core/dialog_controls.h"
#include "win32_api.h"

// The controls of a real dialog window, addressed by their resource IDs.
class Win32DialogControls : public DialogControls {
 public:
  Win32DialogControls() = default;
  explicit Win32DialogControls(HWND dialog) : dialog_(dialog) {}

  // The window is created after the dialog logic that talks to it.
  void Attach(HWND dialog) { dialog_ = dialog; }
  HWND Window() const { return dialog_; }

  void SetWindowTitle(const std::string& title) override;
  void SetText(int id, const std::string& text) override;
  std::string GetText(int id) override;
  void Enable(int id, bool enabled) override;
  bool IsEnabled(int id) override;
  void CheckRadioButton(int first, int last, int checkId) override;
  int GetCheckedRadioButton(int first, int last) override;
  int MessageBox(const std::string& text, const std::string& title, unsigned flags) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void RepaintNow() override;
  void DispatchOneMessage() override;
  void SetTimer(unsigned id, unsigned periodMilliseconds) override;
  void KillTimer(unsigned id) override;
  void EndDialog(int result) override;

  int WaitCursorDepth() const { return waitCursorDepth_; }

 private:
  HWND dialog_ = nullptr;
  int waitCursorDepth_ = 0;
  HCURSOR cursorBeforeWait_ = nullptr;
};
