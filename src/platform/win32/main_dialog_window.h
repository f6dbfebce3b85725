#pragma once
#include "ui/firmware_update_dlg.h"
#include "win32_api.h"
#include "win32_dialog_controls.h"
#include "win32_dialog_host.h"

// The main update dialog's window (resource 102): routes the window's messages to the
// portable CFirmwareUpdateDlg and does the window's own parts (system menu item, icon,
// placement, highlighted usage line, painting when minimised).
class MainDialogWindow {
 public:
  MainDialogWindow(HINSTANCE instance, CFirmwareUpdateDlg& dialog, Win32DialogControls& controls,
                   DialogHost& dialogs);
  ~MainDialogWindow();
  MainDialogWindow(const MainDialogWindow&) = delete;
  MainDialogWindow& operator=(const MainDialogWindow&) = delete;

  // Runs the dialog modally; returns its result (IDCANCEL when the user leaves).
  int DoModal();

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  BOOL OnInitDialog();
  void ShowAboutBox();
  bool PaintIconic();

  HINSTANCE instance_;
  CFirmwareUpdateDlg& dialog_;
  Win32DialogControls& controls_;
  DialogHost& dialogs_;
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
  HFONT statusFont_ = nullptr;
};
