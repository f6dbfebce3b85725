#include "win32_dialog_host.h"

#include <string>

#include "core/control_ids.h"
#include "ui/about_box.h"
#include "window_looks.h"

namespace {

struct RunningDialog {
  ModalDialog& dialog;
  Win32DialogControls controls;
  HFONT promptFont = nullptr;
};

RunningDialog* Running(HWND window) {
  return reinterpret_cast<RunningDialog*>(GetWindowLongPtrA(window, DWLP_USER));
}

// The contact block: links detected automatically and reported, the eight lines appended at
// the end of the (empty) text without undo. They go in one line at a time: some rich edit
// implementations look for links only near the end of a long insertion, and the text comes
// out the same.
void PrepareContactBlock(HWND about) {
  HWND block = GetDlgItem(about, ids::kAboutContactBlock);
  if (block == nullptr)
    return;
  SendMessageA(block, EM_AUTOURLDETECT, TRUE, 0);
  const LRESULT mask = SendMessageA(block, EM_GETEVENTMASK, 0, 0);
  SendMessageA(block, EM_SETEVENTMASK, 0, mask | ENM_LINK);
  const std::string text = CAboutDlg::ContactBlock();
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(start, next - start);
    SendMessageA(block, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    SendMessageA(block, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    start = next;
  }
}

// A left-button press on a link opens its target with the shell; failures stay silent.
void FollowLink(const ENLINK& link) {
  if (link.msg != WM_LBUTTONDOWN)
    return;
  if (link.chrg.cpMax <= link.chrg.cpMin)
    return;
  std::string text(static_cast<std::size_t>(link.chrg.cpMax - link.chrg.cpMin) + 1, '\0');
  TEXTRANGEA range{link.chrg, text.data()};
  const LRESULT length =
      SendMessageA(link.nmhdr.hwndFrom, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  const std::string target = CAboutDlg::LinkTarget(text);
  if (target.empty())
    return;
  ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

BOOL InitModal(HWND window, LPARAM lParam) {
  auto* running = reinterpret_cast<RunningDialog*>(lParam);
  SetWindowLongPtrA(window, DWLP_USER, lParam);
  running->controls.Attach(window);
  looks::PlaceQuarterFromTop(window);
  if (running->dialog.ResourceId() == ids::kModuleIdDialog) {
    running->promptFont =
        looks::CreateBoldPointFont(looks::kHighlightPointTenths, looks::kHighlightFace);
  }
  looks::UseFont(window, ids::kSetupPrompt, running->promptFont);
  const bool result = running->dialog.OnInitDialog(running->controls);
  if (running->dialog.ResourceId() == ids::kAboutDialog)
    PrepareContactBlock(window);
  return result ? TRUE : FALSE;
}

INT_PTR OnModalCommand(HWND window, RunningDialog& running, WPARAM wParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (running.dialog.ResourceId() == ids::kAboutDialog && id == ids::kAboutContactBlock &&
      code == EN_SETFOCUS) {
    // The contact block never keeps the focus: it goes to OK at once.
    SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDOK)), TRUE);
    return TRUE;
  }
  if (code == BN_CLICKED || code == 1) {
    running.dialog.OnCommand(id);
    return TRUE;
  }
  return FALSE;
}

INT_PTR OnModalNotify(HWND window, RunningDialog& running, LPARAM lParam) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (running.dialog.ResourceId() == ids::kAboutDialog &&
      header->idFrom == ids::kAboutContactBlock && header->code == EN_LINK) {
    FollowLink(*reinterpret_cast<const ENLINK*>(lParam));
    SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK ModalProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG)
    return InitModal(window, lParam);
  RunningDialog* running = Running(window);
  if (running == nullptr)
    return FALSE;
  switch (message) {
    case WM_TIMER:
      running->dialog.OnTimer(static_cast<unsigned>(wParam));
      return TRUE;
    case WM_COMMAND:
      return OnModalCommand(window, *running, wParam);
    case WM_NOTIFY:
      return OnModalNotify(window, *running, lParam);
    case WM_DESTROY:
      running->dialog.OnDestroy();
      return FALSE;
    default:
      break;
  }
  if (looks::IsControlColorMessage(message) &&
      running->dialog.ResourceId() == ids::kModuleIdDialog) {
    return looks::HighlightControlColor(window, message, wParam, lParam, ids::kSetupPrompt,
                                        running->promptFont);
  }
  return FALSE;
}

}  // namespace

int Win32DialogHost::RunModal(ModalDialog& dialog) {
  RunningDialog running{dialog, Win32DialogControls(), nullptr};
  const INT_PTR result =
      DialogBoxParamA(instance_, MAKEINTRESOURCEA(dialog.ResourceId()), owner_.Window(),
                      ModalProcedure, reinterpret_cast<LPARAM>(&running));
  if (running.promptFont != nullptr)
    DeleteObject(running.promptFont);
  return static_cast<int>(result);
}
