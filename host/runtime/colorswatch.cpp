// "ColorSwatch": a box painted in a colour, greyed while disabled, with key brackets drawn around
// it like a custom edit's. A click hands it to the host's colour picker (colorpicker.cpp), which
// edits the colour live and tells the swatch's parent.
#include "custctrl.h"

#include <string>

namespace custctrl {

namespace {

constexpr int kFrame = 2;       // width of the sunken frame around the colour

// One colour swatch.
struct SwatchState {
  HWND hwnd;          // the swatch window
  COLORREF color;     // the colour shown and edited
  std::string title;  // the colour picker's title while it edits this swatch
  BOOL brackets;      // key brackets drawn around the colour
};

SwatchState* SwatchOf(HWND hwnd) { return StateOf<SwatchState>(hwnd, kSwatchProp); }

// A disabled swatch shows its colour's brightness as a grey, half way to the panel colour, so
// that it still tells light from dark but reads as inactive.
COLORREF Greyed(COLORREF c) {
  int luma = (GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114 + 500) / 1000;
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  int faceLuma = (GetRValue(face) * 299 + GetGValue(face) * 587 + GetBValue(face) * 114 + 500) / 1000;
  int g = (luma + faceLuma + 1) / 2;
  return RGB(g, g, g);
}

void Draw(SwatchState* s, HDC dc) {
  RECT r;
  GetClientRect(s->hwnd, &r);
  HBRUSH fill = CreateSolidBrush(IsWindowEnabled(s->hwnd) ? s->color : Greyed(s->color));
  FillRect(dc, &r, fill);
  DeleteObject(fill);
  DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
  if (!s->brackets) return;
  DrawKeyBrackets(dc, r, kFrame);
}

// A colour swatch's interface object.
class SwatchRef : public ControlRef<IColorSwatch> {
 public:
  explicit SwatchRef(HWND h) : ControlRef(h, kSwatchProp) {}
  COLORREF GetColor() override { return S() ? S()->color : 0; }
  COLORREF SetColor(COLORREF color, int notify) override {
    SwatchState* s = S();
    if (!s) return 0;
    COLORREF old = s->color;
    SwatchShowColor(hwnd, color);
    PickerSwatchColorSet(hwnd);
    if (notify && S()) NotifyParent(hwnd, CC_COLOR_CHANGE, 1);
    return old;
  }
  void EditThis(BOOL openNew) override {
    if (Alive()) PickerEdit(hwnd, openNew != FALSE);
  }
  void Activate(int onOff) override {
    if (!Alive()) return;
    if (onOff)
      PickerEdit(hwnd, false);
    else
      PickerRelease(hwnd);
  }
  void SetKeyBrackets(BOOL onOff) override {
    SwatchState* s = S();
    if (!s || s->brackets == (onOff ? TRUE : FALSE)) return;
    s->brackets = onOff ? TRUE : FALSE;
    InvalidateRect(hwnd, nullptr, TRUE);
  }
  BOOL IsKeyBrackets() override { return S() ? S()->brackets : FALSE; }
  void SetTitle(const char* title) {
    if (SwatchState* s = S()) s->title = title ? title : "";
  }

 private:
  SwatchState* S() const { return SwatchOf(hwnd); }
};

}  // namespace

const char kSwatchProp[] = "VantorColorSwatch";

COLORREF SwatchColor(HWND swatch) {
  SwatchState* s = SwatchOf(swatch);
  return s ? s->color : 0;
}

void SwatchShowColor(HWND swatch, COLORREF color) {
  SwatchState* s = SwatchOf(swatch);
  if (!s) return;
  color &= 0xFFFFFF;
  if (s->color == color) return;
  s->color = color;
  InvalidateRect(swatch, nullptr, FALSE);
}

const char* SwatchTitle(HWND swatch) {
  SwatchState* s = SwatchOf(swatch);
  return s ? s->title.c_str() : "";
}

LRESULT CALLBACK SwatchProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  SwatchState* s = SwatchOf(hwnd);
  if (msg == WM_NCCREATE) {
    s = new SwatchState{hwnd, RGB(0, 0, 0), std::string(), FALSE};
    SetPropA(hwnd, kSwatchProp, s);
  }
  if (!s) return DefWindowProcA(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_LBUTTONDOWN:
      // SendMessage reaches a disabled window too; a disabled swatch is not edited.
      if (IsWindowEnabled(hwnd)) PickerEdit(hwnd, true);
      return 0;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole client area
    case WM_PAINT:
      PaintWith(hwnd, s, Draw);
      return 0;
    case WM_PRINTCLIENT:
      Draw(s, (HDC)wp);
      return 0;
    case WM_NCDESTROY:
      PickerSwatchGone(hwnd);
      RemovePropA(hwnd, kSwatchProp);
      delete s;
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace custctrl

IColorSwatch* GetIColorSwatch(HWND hCtrl, COLORREF color, const char* title) {
  if (!custctrl::SwatchOf(hCtrl)) return nullptr;
  auto* swatch = new custctrl::SwatchRef(hCtrl);
  swatch->SetTitle(title);
  custctrl::SwatchShowColor(hCtrl, color);
  custctrl::PickerSwatchColorSet(hCtrl);
  return swatch;
}

void ReleaseIColorSwatch(IColorSwatch* swatch) { delete static_cast<custctrl::SwatchRef*>(swatch); }
