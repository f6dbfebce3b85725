#pragma once
#include "win32_api.h"

// Looks shared by the program's dialog windows.
namespace looks {
// The highlight colour of the usage line and of the Setup prompt.
constexpr COLORREF kHighlightColor = RGB(192, 0, 0);
constexpr int kHighlightPointTenths = 90;
constexpr const char kHighlightFace[] = "Microsoft Sans Serif";

struct Placement {
  int left;
  int top;
};
// Centred across the screen and a quarter of the free height from the top; divisions
// truncate toward zero, so a window larger than the screen gets a negative edge.
Placement QuarterFromTop(int screenWidth, int screenHeight, int windowWidth, int windowHeight);
// Moves `window` there (primary screen), keeping its size, and repaints it.
void PlaceQuarterFromTop(HWND window);

// A bold font of `pointTenths` tenths of a point on the screen, every other attribute zero.
HFONT CreateBoldPointFont(int pointTenths, const char* face);

// Gives control `id` the font as its own as well: some static controls select their own font
// after asking the dialog for colours, which would undo the font chosen there.
void UseFont(HWND dialog, int id, HFONT font);

// Answer to a WM_CTLCOLOR* message for the control `highlightId`: the dialog's default
// colours and brush, then the highlight font and colour on a transparent background. Returns
// the brush to hand back, or FALSE (default handling) for every other control.
INT_PTR HighlightControlColor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                              int highlightId, HFONT font);
inline bool IsControlColorMessage(UINT message) {
  return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}
}  // namespace looks
