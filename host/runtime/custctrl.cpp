// The host's custom-control window classes. Each module that places them in its dialog templates
// registers them for its own instance handle with InitCustomControls.
#include "vcore.h"

#include <vector>

namespace {

// Paints the control as a sunken frame with its window text, the look every custom control
// shares until it draws itself.
LRESULT CALLBACK CustomControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(dc, &r, GetSysColorBrush(IsWindowEnabled(hwnd) ? COLOR_WINDOW : COLOR_BTNFACE));
      DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
      char text[256];
      int n = GetWindowTextA(hwnd, text, sizeof text);
      if (n > 0) {
        SetBkMode(dc, TRANSPARENT);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextA(dc, text, n, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETTEXT:
    case WM_ENABLE: {
      LRESULT res = DefWindowProcA(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, TRUE);
      return res;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

const char* const kClasses[] = {CUSTBUTTONWINDOWCLASS, CUSTEDITWINDOWCLASS, SPINNERWINDOWCLASS,
                                COLORSWATCHWINDOWCLASS, ROLLUPWINDOWCLASS};

std::vector<HINSTANCE>& Registered() {
  static std::vector<HINSTANCE> r;
  return r;
}

}  // namespace

void InitCustomControls(HINSTANCE hInst) {
  if (!hInst) return;
  for (HINSTANCE h : Registered())
    if (h == hInst) return;
  Registered().push_back(hInst);
  for (const char* name : kClasses) {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS | CS_PARENTDC;
    wc.lpfnWndProc = CustomControlProc;
    wc.hInstance = hInst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
  }
}

void CenterWindow(HWND hwnd, HWND parent) {
  if (!hwnd) return;
  RECT area, self;
  if (!parent || !GetWindowRect(parent, &area)) SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  GetWindowRect(hwnd, &self);
  int w = self.right - self.left, h = self.bottom - self.top;
  int x = area.left + (area.right - area.left - w) / 2;
  int y = area.top + (area.bottom - area.top - h) / 2;
  SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
