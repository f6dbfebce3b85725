#include "window_looks.h"

#include <cstring>

namespace looks {

Placement QuarterFromTop(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
  return {(screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 4};
}

void PlaceQuarterFromTop(HWND window) {
  RECT rect;
  if (!GetWindowRect(window, &rect))
    return;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const Placement place =
      QuarterFromTop(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), width, height);
  MoveWindow(window, place.left, place.top, width, height, TRUE);
}

HFONT CreateBoldPointFont(int pointTenths, const char* face) {
  LOGFONTA font{};
  HDC screen = GetDC(nullptr);
  const int height = MulDiv(GetDeviceCaps(screen, LOGPIXELSY), pointTenths, 720);
  ReleaseDC(nullptr, screen);
  font.lfHeight = height < 0 ? height : -height;
  font.lfWeight = FW_BOLD;
  std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectA(&font);
}

void UseFont(HWND dialog, int id, HFONT font) {
  HWND control = GetDlgItem(dialog, id);
  if (control != nullptr && font != nullptr) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

INT_PTR HighlightControlColor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                              int highlightId, HFONT font) {
  if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != highlightId)
    return FALSE;
  // The default answer first: it sets the default colours and gives the default brush.
  const LRESULT brush = DefWindowProcA(dialog, message, wParam, lParam);
  HDC dc = reinterpret_cast<HDC>(wParam);
  if (font != nullptr)
    SelectObject(dc, font);
  SetTextColor(dc, kHighlightColor);
  SetBkMode(dc, TRANSPARENT);
  return static_cast<INT_PTR>(brush);
}

}  // namespace looks
