// The host's colour picker: one modeless window at a time that edits a colour swatch live. Red,
// green and blue, and hue, saturation and value, each have an int spinner linked to a custom edit;
// changing either group updates the other, the patch and the swatch, whose parent hears of each
// change. OK keeps the colour, Cancel (or closing the window) puts back the one it began with.
#include "custctrl.h"

#include <math.h>

namespace custctrl {

namespace {

const char kPatchClass[] = "VantorColorPatch";

constexpr int kComponents = 6;  // red, green, blue, hue, saturation, value
constexpr int kHue = 3, kSat = 4, kVal = 5;
const char* const kLabels[kComponents] = {"Red:", "Green:", "Blue:", "Hue:", "Sat:", "Value:"};
const int kHigh[kComponents] = {255, 255, 255, 360, 255, 255};

// Layout in client pixels.
constexpr int kRowTop = 10, kRowStep = 26, kRowH = 20;
constexpr int kLabelX = 10, kLabelW = 45, kEditX = 58, kEditW = 44, kSpinX = 102, kSpinW = 12;
constexpr int kPatchX = 130, kPatchY = 10, kPatchW = 90, kPatchH = 80;
constexpr int kButtonX = 130, kButtonW = 90, kButtonH = 24, kOkY = 106, kCancelY = 136;
constexpr int kClientW = 230, kClientH = kRowTop + kComponents * kRowStep;

// The open picker.
struct PickerState {
  HWND hwnd;                            // the picker window
  HWND swatch;                          // the swatch being edited, or null between swatches
  COLORREF original;                    // the swatch's colour when editing began; Cancel restores it
  COLORREF color;                       // the colour shown in the spinners and the patch
  HWND patch;                           // the window painted in the colour
  ISpinnerControl* spin[kComponents];   // the spinners, red to value
};

// One picker per process; it belongs to the user-interface thread like the controls.
PickerState* picker = nullptr;

struct Hsv {
  int h, s, v;  // hue 0 to 360 degrees, saturation and value 0 to 255
};

// The hue of a grey is undefined: it keeps the hue it had, so that dragging saturation through 0
// and back does not lose it.
Hsv ToHsv(COLORREF c, int oldHue) {
  int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  int mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
  int mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
  Hsv out = {oldHue, mx ? (int)lround(255.0 * (mx - mn) / mx) : 0, mx};
  if (mx == mn) return out;
  double d = mx - mn, h;
  if (mx == r)
    h = 60.0 * (g - b) / d;
  else if (mx == g)
    h = 60.0 * (b - r) / d + 120.0;
  else
    h = 60.0 * (r - g) / d + 240.0;
  if (h < 0) h += 360.0;
  out.h = (int)lround(h) % 360;
  return out;
}

COLORREF ToRgb(Hsv x) {
  double v = x.v, s = x.s / 255.0;
  if (x.s == 0) return RGB(x.v, x.v, x.v);
  double hh = (x.h % 360) / 60.0;
  int sector = (int)floor(hh);
  double f = hh - sector;
  int p = (int)lround(v * (1 - s)), q = (int)lround(v * (1 - s * f)), t = (int)lround(v * (1 - s * (1 - f)));
  int vi = x.v;
  switch (sector) {
    case 0: return RGB(vi, t, p);
    case 1: return RGB(q, vi, p);
    case 2: return RGB(p, vi, t);
    case 3: return RGB(p, q, vi);
    case 4: return RGB(t, p, vi);
    default: return RGB(vi, p, q);
  }
}

LRESULT CALLBACK PatchProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT || msg == WM_PRINTCLIENT) {
    PAINTSTRUCT ps;
    HDC dc = msg == WM_PAINT ? BeginPaint(hwnd, &ps) : (HDC)wp;
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH b = CreateSolidBrush((COLORREF)GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    FillRect(dc, &r, b);
    DeleteObject(b);
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
    if (msg == WM_PAINT) EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// The spinners and the patch show p->color; hsv is shown as given, so that a hue typed for a grey
// stays.
void Show(PickerState* p, Hsv hsv) {
  const int values[kComponents] = {GetRValue(p->color), GetGValue(p->color), GetBValue(p->color), hsv.h, hsv.s, hsv.v};
  for (int i = 0; i < kComponents; i++)
    if (p->spin[i] && p->spin[i]->GetIVal() != values[i]) p->spin[i]->SetValue(values[i], FALSE);
  SetWindowLongPtrA(p->patch, GWLP_USERDATA, (LONG_PTR)p->color);
  InvalidateRect(p->patch, nullptr, FALSE);
}

int ShownHue(PickerState* p) { return p->spin[kHue] ? p->spin[kHue]->GetIVal() : 0; }

void ShowColor(PickerState* p) { Show(p, ToHsv(p->color, ShownHue(p))); }

void SwatchGoing(HWND swatch, bool alone);

// The picker starts editing swatch: the parent hears that its swatch went down.
void Begin(PickerState* p, HWND swatch) {
  p->swatch = swatch;
  WatchDestroy(swatch, SwatchGoing);
  p->original = p->color = SwatchColor(swatch);
  SetWindowTextA(p->hwnd, SwatchTitle(swatch));
  ShowColor(p);
  NotifyParent(swatch, CC_COLOR_BUTTONDOWN, 0);
}

// The picker stops editing its swatch, keeping the colour or putting the original back. The parent
// may destroy the swatch when told, so the swatch is let go of first and looked up again.
void End(PickerState* p, bool accept) {
  HWND swatch = p->swatch;
  if (!swatch) return;
  p->swatch = nullptr;
  StopWatchingDestroy(swatch);
  if (!accept) SwatchShowColor(swatch, p->original);
  NotifyParent(swatch, CC_COLOR_CHANGE, 1);
  if (GetPropA(swatch, kSwatchProp)) NotifyParent(swatch, CC_COLOR_BUTTONUP, accept ? 1 : 0);
}

void Close(bool accept) {
  PickerState* p = picker;
  if (!p) return;
  End(p, accept);
  if (picker == p) DestroyWindow(p->hwnd);
}

// DestroyWindow begins on the edited swatch or a window it sits in: the edit is cancelled and the
// picker closes while the swatch's parent is whole, so that the parent hears the end of the edit
// whose start it heard and can close the undo step it opened then.
void SwatchGoing(HWND swatch, bool) {
  if (picker && picker->swatch == swatch) Close(false);
}

// A spinner changed: its group gives the colour and the other group follows.
void OnSpinnerChange(PickerState* p, int index) {
  int v[kComponents];
  for (int i = 0; i < kComponents; i++) v[i] = p->spin[i] ? p->spin[i]->GetIVal() : 0;
  COLORREF before = p->color;
  if (index < kHue) {
    p->color = RGB(v[0], v[1], v[2]);
    ShowColor(p);
  } else {
    Hsv hsv = {v[kHue], v[kSat], v[kVal]};
    p->color = ToRgb(hsv);
    Show(p, hsv);
  }
  if (!p->swatch || p->color == before) return;
  SwatchShowColor(p->swatch, p->color);
  NotifyParent(p->swatch, CC_COLOR_CHANGE, 0);
}

HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
  HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, (HMENU)(INT_PTR)id,
                           HostInstance(), nullptr);
  SendMessageA(c, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
  return c;
}

bool CreateChildren(PickerState* p) {
  HWND h = p->hwnd;
  for (int i = 0; i < kComponents; i++) {
    int y = kRowTop + i * kRowStep;
    Child(h, "STATIC", kLabels[i], SS_RIGHT, kLabelX, y + 3, kLabelW, kRowH, -1);
    Child(h, CUSTEDITWINDOWCLASS, "", WS_TABSTOP, kEditX, y, kEditW, kRowH, IDC_PICKER_RED_EDIT + i);
    Child(h, SPINNERWINDOWCLASS, "", 0, kSpinX, y, kSpinW, kRowH, IDC_PICKER_RED_SPIN + i);
    p->spin[i] = SetupIntSpinner(h, IDC_PICKER_RED_SPIN + i, IDC_PICKER_RED_EDIT + i, 0, kHigh[i], 0);
    if (!p->spin[i]) return false;
  }
  p->patch = Child(h, kPatchClass, "", 0, kPatchX, kPatchY, kPatchW, kPatchH, IDC_PICKER_PATCH);
  Child(h, "BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, kButtonX, kOkY, kButtonW, kButtonH, IDOK);
  Child(h, "BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, kButtonX, kCancelY, kButtonW, kButtonH, IDCANCEL);
  return p->patch != nullptr;
}

LRESULT CALLBACK PickerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  PickerState* p = picker && picker->hwnd == hwnd ? picker : nullptr;
  switch (msg) {
    case WM_CREATE: {
      p = static_cast<PickerState*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
      p->hwnd = hwnd;
      return CreateChildren(p) ? 0 : -1;
    }
    case WM_COMMAND:
      if (p && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) && HIWORD(wp) == BN_CLICKED) {
        Close(LOWORD(wp) == IDOK);
        return 0;
      }
      break;
    case CC_SPINNER_CHANGE: {
      int index = (int)LOWORD(wp) - IDC_PICKER_RED_SPIN;
      if (p && index >= 0 && index < kComponents) OnSpinnerChange(p, index);
      return 0;
    }
    case WM_CLOSE:
      if (p) Close(false);
      return 0;
    case WM_DESTROY:
      // Destroyed without OK or Cancel (its owner went away): the edit is cancelled.
      if (p) End(p, false);
      break;
    case WM_NCDESTROY:
      if (p) {
        for (ISpinnerControl*& s : p->spin) {
          ReleaseISpinner(s);
          s = nullptr;
        }
        picker = nullptr;
        delete p;
      }
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  InitCustomControls(HostInstance());
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PickerProc;
  wc.hInstance = HostInstance();
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = COLORPICKERWINDOWCLASS;
  RegisterClassA(&wc);
  wc.lpfnWndProc = PatchProc;
  wc.hbrBackground = nullptr;
  wc.lpszClassName = kPatchClass;
  RegisterClassA(&wc);
}

// Opens the picker on swatch, beside the swatch's top-level window, which owns it.
void Open(HWND swatch) {
  RegisterClasses();
  auto* p = new PickerState{};
  picker = p;
  RECT r = {0, 0, kClientW, kClientH};
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, exStyle = WS_EX_DLGMODALFRAME;
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  HWND owner = GetAncestor(swatch, GA_ROOT);
  HWND hwnd = CreateWindowExA(exStyle, COLORPICKERWINDOWCLASS, "", style, CW_USEDEFAULT, CW_USEDEFAULT,
                              r.right - r.left, r.bottom - r.top, owner, nullptr, HostInstance(), p);
  if (!hwnd) {  // WM_NCDESTROY has freed p when creation failed after WM_NCCREATE
    if (picker == p) {
      picker = nullptr;
      delete p;
    }
    return;
  }
  CenterWindow(hwnd, owner);
  Begin(p, swatch);
  if (picker == p) ShowWindow(hwnd, SW_SHOW);
}

}  // namespace

void PickerEdit(HWND swatch, bool openNew) {
  if (!picker) {
    if (openNew) Open(swatch);
    return;
  }
  PickerState* p = picker;
  if (p->swatch == swatch) return;
  End(p, true);
  if (picker == p && GetPropA(swatch, kSwatchProp)) Begin(p, swatch);
}

void PickerRelease(HWND swatch) {
  if (picker && picker->swatch == swatch) Close(true);
}

void PickerSwatchColorSet(HWND swatch) {
  if (!picker || picker->swatch != swatch) return;
  picker->color = SwatchColor(swatch);
  ShowColor(picker);
}

void PickerSwatchGone(HWND swatch) {
  if (!picker || picker->swatch != swatch) return;
  // Only reached when the edit did not end as the destruction began (SwatchGoing): the parent
  // may be torn down by now, so it is not told.
  StopWatchingDestroy(swatch);
  picker->swatch = nullptr;
  DestroyWindow(picker->hwnd);
}

}  // namespace custctrl
