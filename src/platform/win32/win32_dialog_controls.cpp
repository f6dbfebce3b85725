#include "win32_dialog_controls.h"

#include <vector>

void Win32DialogControls::SetWindowTitle(const std::string& title) {
  SetWindowTextA(dialog_, title.c_str());
}

void Win32DialogControls::SetText(int id, const std::string& text) {
  SetDlgItemTextA(dialog_, id, text.c_str());
}

std::string Win32DialogControls::GetText(int id) {
  HWND control = GetDlgItem(dialog_, id);
  if (control == nullptr)
    return {};
  const int length = GetWindowTextLengthA(control);
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  const UINT got = GetDlgItemTextA(dialog_, id, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), got);
}

void Win32DialogControls::Enable(int id, bool enabled) {
  EnableWindow(GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
}

bool Win32DialogControls::IsEnabled(int id) {
  HWND control = GetDlgItem(dialog_, id);
  return control != nullptr && IsWindowEnabled(control) != 0;
}

void Win32DialogControls::CheckRadioButton(int first, int last, int checkId) {
  ::CheckRadioButton(dialog_, first, last, checkId);
}

int Win32DialogControls::GetCheckedRadioButton(int first, int last) {
  for (int id = first; id <= last; ++id) {
    if (IsDlgButtonChecked(dialog_, id) == BST_CHECKED)
      return id;
  }
  return 0;
}

int Win32DialogControls::MessageBox(const std::string& text, const std::string& title,
                                    unsigned flags) {
  return MessageBoxA(dialog_, text.c_str(), title.c_str(), flags);
}

void Win32DialogControls::BeginWaitCursor() {
  HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
  if (waitCursorDepth_++ == 0) {
    cursorBeforeWait_ = SetCursor(wait);
  } else {
    SetCursor(wait);
  }
}

void Win32DialogControls::EndWaitCursor() {
  if (waitCursorDepth_ == 0)
    return;
  if (--waitCursorDepth_ == 0) {
    SetCursor(cursorBeforeWait_ != nullptr ? cursorBeforeWait_ : LoadCursor(nullptr, IDC_ARROW));
    cursorBeforeWait_ = nullptr;
  }
}

void Win32DialogControls::RepaintNow() {
  // No erase: the controls paint their own backgrounds. The children are included so that
  // status lines changed during a busy update show at once.
  RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32DialogControls::DispatchOneMessage() {
  PostMessageA(dialog_, WM_PAINT, 0, 0);
  MSG message;
  const BOOL got = GetMessageA(&message, nullptr, 0, 0);
  if (got == 0) {
    // A quit request belongs to the loop that runs the program; keep it for that loop.
    PostQuitMessage(static_cast<int>(message.wParam));
    return;
  }
  if (got < 0)
    return;
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

void Win32DialogControls::SetTimer(unsigned id, unsigned periodMilliseconds) {
  ::SetTimer(dialog_, id, periodMilliseconds, nullptr);
}

void Win32DialogControls::KillTimer(unsigned id) {
  ::KillTimer(dialog_, id);
}

void Win32DialogControls::EndDialog(int result) {
  ::EndDialog(dialog_, result);
}
