// "CustButton": a push or check button that shows a text or images from an image list, can
// highlight its checked state, carries a tooltip and can offer fly-off choices: pressing and
// holding opens a strip of the choices beside the button, and releasing the mouse on one makes it
// the button's current choice.
#include "custctrl.h"

#include <windowsx.h>

#include <math.h>

#include <vector>

namespace custctrl {

namespace {

constexpr UINT_PTR kFlyTimer = 1;                     // timer that opens the fly-off strip
constexpr int kDefaultFlyTimeOut = 300;               // milliseconds of holding
constexpr COLORREF kDefaultHighlight = RGB(255, 230, 140);
constexpr int kFlyMark = 4;                           // size of the corner mark of a fly-off button
const char kStripClass[] = "VantorFlyOffStrip";

// What the left mouse button is doing to the button.
enum class Press {
  Idle,       // nothing
  Down,       // pressed; a release over the button clicks it
  StripOpen,  // held long enough: the fly-off strip is open
};

// One custom button.
struct ButtonState {
  HWND hwnd;                        // the button window
  CustButType type;                 // push or check
  BOOL checked;                     // a check button's state, drawn pressed in
  BOOL highlight;                   // a checked button is filled with highlightColor
  COLORREF highlightColor;          // fill of a checked button while highlighting is on
  HFONT font;                       // font of the text (WM_SETFONT), null for the GUI font
  HIMAGELIST images;                // the images (not owned), or null to show the text
  FlyOffData face;                  // image indices of the button itself, by state
  int imageW, imageH;               // size of one image
  HWND tooltip;                     // the tooltip window while tooltips are on, else null
  std::vector<FlyOffData> flyOffs;  // the fly-off choices; empty for a plain button
  int curFlyOff;                    // the current choice (0 without fly-offs)
  int flyTimeOut;                   // milliseconds of holding before the strip opens
  int flyDir;                       // FLY_... as given
  int flyColumns;                   // cells across the strip
  Press press;                      // the left button's gesture
  bool inside;                      // the pointer is over the button while it is pressed
  POINT pointer;                    // last pointer position of the gesture, client coordinates
  HWND strip;                       // the open fly-off strip, or null
  int stripDir;                     // where the open strip goes: FLY_UP, FLY_DOWN, FLY_LEFT, FLY_RIGHT
  int hot;                          // the choice under the pointer while the strip is open, or -1
  DADMgr* dad;                      // the map slot's drag-and-drop handler, or null
};

ButtonState* ButtonOf(HWND hwnd) { return StateOf<ButtonState>(hwnd, kButtonProp); }

void Invalidate(ButtonState* s) { InvalidateRect(s->hwnd, nullptr, TRUE); }

SIZE CellSize(const ButtonState* s) {
  RECT r;
  GetClientRect(s->hwnd, &r);
  return {r.right > 0 ? r.right : 1, r.bottom > 0 ? r.bottom : 1};
}

bool Vertical(int dir) { return dir == FLY_UP || dir == FLY_DOWN; }

// Cell i of the strip in the button's client coordinates. Cell 0 lies over the button; the
// choices follow in rows of flyColumns cells away from it in the strip's direction.
RECT CellRect(const ButtonState* s, int i) {
  SIZE c = CellSize(s);
  int along = i / s->flyColumns, across = i % s->flyColumns;
  int sign = s->stripDir == FLY_UP || s->stripDir == FLY_LEFT ? -1 : 1;
  int x = Vertical(s->stripDir) ? across * c.cx : sign * along * c.cx;
  int y = Vertical(s->stripDir) ? sign * along * c.cy : across * c.cy;
  return {x, y, x + c.cx, y + c.cy};
}

RECT StripBounds(const ButtonState* s) {
  RECT all = CellRect(s, 0);
  for (int i = 1; i < (int)s->flyOffs.size(); i++) {
    RECT r = CellRect(s, i);
    UnionRect(&all, &all, &r);
  }
  return all;
}

int FloorDiv(int a, int b) { return (int)floor((double)a / b); }

// The choice whose cell holds p (button client coordinates), or -1.
int ChoiceAt(const ButtonState* s, POINT p) {
  SIZE c = CellSize(s);
  int gx = FloorDiv(p.x, c.cx), gy = FloorDiv(p.y, c.cy);
  int sign = s->stripDir == FLY_UP || s->stripDir == FLY_LEFT ? -1 : 1;
  int along = Vertical(s->stripDir) ? sign * gy : sign * gx;
  int across = Vertical(s->stripDir) ? gx : gy;
  if (along < 0 || across < 0 || across >= s->flyColumns) return -1;
  int i = along * s->flyColumns + across;
  return i < (int)s->flyOffs.size() ? i : -1;
}

// FLY_VARIABLE and FLY_HVARIABLE open down or right unless the screen has no room there.
int ResolveDirection(ButtonState* s) {
  if (s->flyDir != FLY_VARIABLE && s->flyDir != FLY_HVARIABLE) return s->flyDir;
  int forward = s->flyDir == FLY_VARIABLE ? FLY_DOWN : FLY_RIGHT;
  int back = s->flyDir == FLY_VARIABLE ? FLY_UP : FLY_LEFT;
  s->stripDir = forward;
  RECT b = StripBounds(s);
  MapWindowPoints(s->hwnd, nullptr, reinterpret_cast<POINT*>(&b), 2);
  MONITORINFO mi = {};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoA(MonitorFromWindow(s->hwnd, MONITOR_DEFAULTTONEAREST), &mi)) return forward;
  bool fits = forward == FLY_DOWN ? b.bottom <= mi.rcWork.bottom : b.right <= mi.rcWork.right;
  return fits ? forward : back;
}

void DrawImage(HDC dc, const ButtonState* s, const RECT& r, int index, bool in) {
  int x = r.left + (r.right - r.left - s->imageW) / 2 + (in ? 1 : 0);
  int y = r.top + (r.bottom - r.top - s->imageH) / 2 + (in ? 1 : 0);
  ImageList_Draw(s->images, index, dc, x, y, ILD_TRANSPARENT);
}

int ImageIndex(const FlyOffData& f, bool enabled, bool in) {
  return enabled ? (in ? f.iInEn : f.iOutEn) : (in ? f.iInDis : f.iOutDis);
}

LRESULT CALLBACK StripProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  if (msg != WM_PAINT) return DefWindowProcA(hwnd, msg, wp, lp);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  ButtonState* s = ButtonOf((HWND)GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (s) {
    RECT bounds = StripBounds(s);
    for (int i = 0; i < (int)s->flyOffs.size(); i++) {
      RECT cell = CellRect(s, i);
      OffsetRect(&cell, -bounds.left, -bounds.top);
      bool in = i == s->hot;
      FillRect(dc, &cell, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &cell, in ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
      if (s->images) DrawImage(dc, s, cell, ImageIndex(s->flyOffs[i], true, in), in);
    }
  }
  EndPaint(hwnd, &ps);
  return 0;
}

void OpenStrip(ButtonState* s) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = StripProc;
    wc.hInstance = HostInstance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kStripClass;
    registered = RegisterClassA(&wc) != 0;
  }
  s->stripDir = ResolveDirection(s);
  RECT b = StripBounds(s);
  MapWindowPoints(s->hwnd, nullptr, reinterpret_cast<POINT*>(&b), 2);
  s->hot = ChoiceAt(s, s->pointer);
  s->press = Press::StripOpen;
  s->strip = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kStripClass, "", WS_POPUP,
                             b.left, b.top, b.right - b.left, b.bottom - b.top, s->hwnd, nullptr,
                             HostInstance(), nullptr);
  if (s->strip) {
    SetWindowLongPtrA(s->strip, GWLP_USERDATA, (LONG_PTR)s->hwnd);
    ShowWindow(s->strip, SW_SHOWNOACTIVATE);
  }
  Invalidate(s);
}

void CloseStrip(ButtonState* s) {
  if (s->strip) DestroyWindow(s->strip);
  s->strip = nullptr;
  s->hot = -1;
}

// Ends the gesture without a click: the strip closes and capture goes.
void EndPress(ButtonState* s) {
  KillTimer(s->hwnd, kFlyTimer);
  CloseStrip(s);
  s->press = Press::Idle;
  s->inside = false;
  Invalidate(s);
  if (GetCapture() == s->hwnd) ReleaseCapture();
}

void Click(HWND self) { NotifyParent(self, WM_COMMAND, BN_CLICKED); }

void OnLeftDown(ButtonState* s, POINT p) {
  if (s->press != Press::Idle || !IsWindowEnabled(s->hwnd)) return;
  s->press = Press::Down;
  s->inside = true;
  s->pointer = p;
  SetCapture(s->hwnd);
  if (!s->flyOffs.empty()) SetTimer(s->hwnd, kFlyTimer, s->flyTimeOut, nullptr);
  Invalidate(s);
}

void OnMove(ButtonState* s, POINT p) {
  s->pointer = p;
  if (s->press == Press::Down) {
    RECT r;
    GetClientRect(s->hwnd, &r);
    bool inside = PtInRect(&r, p) != 0;
    if (inside != s->inside) Invalidate(s);
    s->inside = inside;
  } else if (s->press == Press::StripOpen) {
    int hot = ChoiceAt(s, p);
    if (hot != s->hot && s->strip) InvalidateRect(s->strip, nullptr, TRUE);
    s->hot = hot;
  }
}

void OnLeftUp(ButtonState* s, POINT p) {
  HWND self = s->hwnd;
  if (s->press == Press::StripOpen) {
    int choice = ChoiceAt(s, p);
    EndPress(s);
    if (choice < 0) return;
    s->curFlyOff = choice;
    if (s->type == CBT_CHECK) s->checked = TRUE;
    Click(self);
  } else if (s->press == Press::Down) {
    RECT r;
    GetClientRect(self, &r);
    EndPress(s);
    if (!PtInRect(&r, p)) return;
    if (s->type == CBT_CHECK) s->checked = !s->checked;
    Click(self);
  }
}

void Draw(ButtonState* s, HDC dc) {
  RECT r;
  GetClientRect(s->hwnd, &r);
  bool in = s->checked || (s->press == Press::Down && s->inside) || s->press == Press::StripOpen;
  bool enabled = IsWindowEnabled(s->hwnd) != 0;
  if (s->checked && s->highlight) {
    HBRUSH b = CreateSolidBrush(s->highlightColor);
    FillRect(dc, &r, b);
    DeleteObject(b);
  } else {
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  }
  DrawEdge(dc, &r, in ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  if (s->images) {
    const FlyOffData& f = s->flyOffs.empty() ? s->face : s->flyOffs[s->curFlyOff];
    DrawImage(dc, s, r, ImageIndex(f, enabled, in), in);
  } else {
    char text[256];
    int n = GetWindowTextA(s->hwnd, text, sizeof text);
    RECT t = r;
    if (in) OffsetRect(&t, 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    HGDIOBJ old = SelectObject(dc, s->font ? (HGDIOBJ)s->font : GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(dc, text, n, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
  }
  if (!s->flyOffs.empty()) {
    // A small triangle in the lower right corner marks a button with choices.
    POINT mark[3] = {{r.right - 2, r.bottom - 2 - kFlyMark}, {r.right - 2, r.bottom - 2},
                     {r.right - 2 - kFlyMark, r.bottom - 2}};
    HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_BTNTEXT));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, mark, 3);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
  }
}

void SetTip(ButtonState* s, BOOL on, const char* text) {
  if (!on) {
    if (s->tooltip) DestroyWindow(s->tooltip);
    s->tooltip = nullptr;
    return;
  }
  HWND parent = GetParent(s->hwnd);
  TOOLINFOA ti = {};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = parent ? parent : s->hwnd;  // answers TTN_GETDISPINFO for a callback text
  ti.uId = (UINT_PTR)s->hwnd;
  ti.lpszText = const_cast<char*>(text ? text : "");
  if (s->tooltip) {
    SendMessageA(s->tooltip, TTM_UPDATETIPTEXTA, 0, (LPARAM)&ti);
    return;
  }
  static bool commonControls = false;
  if (!commonControls) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    commonControls = InitCommonControlsEx(&icc) != 0;
  }
  s->tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, s->hwnd, nullptr,
                               HostInstance(), nullptr);
  if (s->tooltip) SendMessageA(s->tooltip, TTM_ADDTOOLA, 0, (LPARAM)&ti);
}

// A custom button's interface object.
class ButtonRef : public ControlRef<ICustButton> {
 public:
  explicit ButtonRef(HWND h) : ControlRef(h, kButtonProp) {}
  void GetText(char* text, int ct) override { ReadText(text, ct); }
  void SetText(const char* text) override { WriteText(text); }
  void SetImage(HIMAGELIST list, int iOutEn, int iInEn, int iOutDis, int iInDis, int w, int h) override {
    ButtonState* s = S();
    if (!s) return;
    s->images = list;
    s->face = {iOutEn, iInEn, iOutDis, iInDis};
    s->imageW = w;
    s->imageH = h;
    Invalidate(s);
  }
  void SetType(CustButType type) override {
    ButtonState* s = S();
    if (!s) return;
    s->type = type == CBT_CHECK ? CBT_CHECK : CBT_PUSH;
    if (s->type == CBT_PUSH) s->checked = FALSE;
    Invalidate(s);
  }
  CustButType GetType() override { return S() ? S()->type : CBT_PUSH; }
  BOOL IsChecked() override { return S() ? S()->checked : FALSE; }
  void SetCheck(BOOL checked) override {
    ButtonState* s = S();
    if (!s) return;
    s->checked = checked ? TRUE : FALSE;
    Invalidate(s);
  }
  void SetCheckHighlight(BOOL highlight) override {
    ButtonState* s = S();
    if (!s) return;
    s->highlight = highlight ? TRUE : FALSE;
    Invalidate(s);
  }
  void SetHighlightColor(COLORREF color) override {
    ButtonState* s = S();
    if (!s) return;
    s->highlightColor = color;
    Invalidate(s);
  }
  COLORREF GetHighlightColor() override { return S() ? S()->highlightColor : 0; }
  void SetTooltip(BOOL onOff, const char* text) override {
    if (ButtonState* s = S()) SetTip(s, onOff, text);
  }
  void SetFlyOff(int count, FlyOffData* data, int timeOut, int init, int dir, int columns) override {
    ButtonState* s = S();
    if (!s) return;
    if (s->press != Press::Idle) EndPress(s);
    s->flyOffs.assign(data && count > 0 ? data : nullptr, data && count > 0 ? data + count : nullptr);
    int n = (int)s->flyOffs.size();
    s->curFlyOff = n == 0 || init < 0 ? 0 : init >= n ? n - 1 : init;
    s->flyTimeOut = timeOut > 0 ? timeOut : kDefaultFlyTimeOut;
    s->flyDir = dir >= FLY_VARIABLE && dir <= FLY_RIGHT ? dir : FLY_VARIABLE;
    s->flyColumns = columns > 0 ? columns : 1;
    Invalidate(s);
  }
  int GetCurFlyOff() override { return S() ? S()->curFlyOff : 0; }
  void SetCurFlyOff(int choice, BOOL notify) override {
    ButtonState* s = S();
    if (!s || choice < 0 || choice >= (int)s->flyOffs.size()) return;
    s->curFlyOff = choice;
    Invalidate(s);
    if (notify) Click(hwnd);
  }
  void SetDADMgr(DADMgr* mgr) override {
    if (ButtonState* s = S()) s->dad = mgr;
  }
  DADMgr* GetDADMgr() override { return S() ? S()->dad : nullptr; }

 private:
  ButtonState* S() const { return ButtonOf(hwnd); }
};

POINT PointOf(LPARAM lp) { return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

}  // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  ButtonState* s = ButtonOf(hwnd);
  if (msg == WM_NCCREATE) {
    s = new ButtonState{};
    s->hwnd = hwnd;
    s->type = CBT_PUSH;
    s->highlightColor = kDefaultHighlight;
    s->flyTimeOut = kDefaultFlyTimeOut;
    s->flyDir = FLY_VARIABLE;
    s->flyColumns = 1;
    s->press = Press::Idle;
    s->stripDir = FLY_DOWN;
    s->hot = -1;
    SetPropA(hwnd, kButtonProp, s);
  }
  if (!s) return DefWindowProcA(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_LBUTTONDOWN:
      OnLeftDown(s, PointOf(lp));
      return 0;
    case WM_MOUSEMOVE:
      OnMove(s, PointOf(lp));
      return 0;
    case WM_LBUTTONUP:
      OnLeftUp(s, PointOf(lp));
      return 0;
    case WM_TIMER:
      if (wp != kFlyTimer) break;
      KillTimer(hwnd, kFlyTimer);
      if (s->press == Press::Down && s->inside) OpenStrip(s);
      return 0;
    case WM_CAPTURECHANGED:
      // Capture taken away mid-press (another window, a disabled button) drops the press.
      if ((HWND)lp != hwnd && s->press != Press::Idle) EndPress(s);
      return 0;
    case WM_ENABLE:
      if (!wp && s->press != Press::Idle) EndPress(s);
      Invalidate(s);
      return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcA(hwnd, msg, wp, lp);
      Invalidate(s);
      return r;
    }
    case WM_SETFONT:
      s->font = (HFONT)wp;
      if (lp) Invalidate(s);
      return 0;
    case WM_GETFONT:
      return (LRESULT)s->font;
    case WM_GETDLGCODE:
      return DLGC_BUTTON;
    case WM_PAINT:
      PaintWith(hwnd, s, Draw);
      return 0;
    case WM_PRINTCLIENT:
      Draw(s, (HDC)wp);
      return 0;
    case WM_DESTROY:
      EndPress(s);
      SetTip(s, FALSE, nullptr);
      break;
    case WM_NCDESTROY:
      RemovePropA(hwnd, kButtonProp);
      delete s;
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace custctrl

ICustButton* GetICustButton(HWND hCtrl) {
  return custctrl::ButtonOf(hCtrl) ? new custctrl::ButtonRef(hCtrl) : nullptr;
}

void ReleaseICustButton(ICustButton* button) { delete static_cast<custctrl::ButtonRef*>(button); }
