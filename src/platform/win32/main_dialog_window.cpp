#include "main_dialog_window.h"

#include "core/control_ids.h"
#include "ui/about_box.h"
#include "ui/main_dialog_texts.h"
#include "window_looks.h"

MainDialogWindow::MainDialogWindow(HINSTANCE instance, CFirmwareUpdateDlg& dialog,
                                   Win32DialogControls& controls, DialogHost& dialogs)
    : instance_(instance),
      dialog_(dialog),
      controls_(controls),
      dialogs_(dialogs),
      icon_(LoadIconA(instance, MAKEINTRESOURCEA(ids::kIcon))) {}

MainDialogWindow::~MainDialogWindow() {
  if (statusFont_ != nullptr)
    DeleteObject(statusFont_);
}

int MainDialogWindow::DoModal() {
  return static_cast<int>(DialogBoxParamA(instance_, MAKEINTRESOURCEA(ids::kMainDialog), nullptr,
                                          Procedure, reinterpret_cast<LPARAM>(this)));
}

INT_PTR CALLBACK MainDialogWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<MainDialogWindow*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    self->window_ = window;
    self->controls_.Attach(window);
    return self->OnInitDialog();
  }
  auto* self = reinterpret_cast<MainDialogWindow*>(GetWindowLongPtrA(window, DWLP_USER));
  return self == nullptr ? FALSE : self->Handle(message, wParam, lParam);
}

BOOL MainDialogWindow::OnInitDialog() {
  if (HMENU menu = GetSystemMenu(window_, FALSE); menu != nullptr) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, ids::kAboutCommand, main_texts::kAboutMenuItem);
  }
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  looks::PlaceQuarterFromTop(window_);
  statusFont_ = looks::CreateBoldPointFont(looks::kHighlightPointTenths, looks::kHighlightFace);
  looks::UseFont(window_, ids::kUsageLine, statusFont_);
  // Title, instructions, firmware status and serial ports.
  return dialog_.OnInitDialog() ? TRUE : FALSE;
}

void MainDialogWindow::ShowAboutBox() {
  CAboutDlg about;
  dialogs_.RunModal(about);
}

bool MainDialogWindow::PaintIconic() {
  if (!IsIconic(window_))
    return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  SendMessageA(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window_, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, icon_);
  EndPaint(window_, &paint);
  return true;
}

INT_PTR MainDialogWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == ids::kAboutCommand) {
        ShowAboutBox();
        return TRUE;
      }
      return FALSE;
    case WM_PAINT:
      return PaintIconic() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    case WM_COMMAND: {
      const int code = HIWORD(wParam);
      if (code != BN_CLICKED && code != 1)
        return FALSE;
      switch (const int id = LOWORD(wParam)) {
        case ids::kContactInfo:
          ShowAboutBox();
          return TRUE;
        default:
          // IDOK (nothing), IDCANCEL / Done, Begin Update, Refresh Serial Ports.
          return dialog_.OnCommand(id) ? TRUE : FALSE;
      }
    }
    case msg::kStartUpdate:
      dialog_.OnBeginUpdate();
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, 1);
      return TRUE;
    case WM_DESTROY:
      dialog_.OnDestroy();
      return FALSE;
    default:
      break;
  }
  if (looks::IsControlColorMessage(message)) {
    return looks::HighlightControlColor(window_, message, wParam, lParam, ids::kUsageLine,
                                        statusFont_);
  }
  return FALSE;
}
