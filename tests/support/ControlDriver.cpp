#include "ControlDriver.h"

#include <commctrl.h>

#include <math.h>
#include <string.h>

#include <sstream>

namespace quortest {

namespace {

const char kParentClass[] = "QuorTestControlParent";

bool Recorded(UINT msg) { return msg == WM_COMMAND || (msg >= 0x658 && msg <= 0x6AD); }

void Describe(std::ostream& os, UINT msg, WPARAM wp, LPARAM lp, double probe, bool withProbe) {
  os << "msg 0x" << std::hex << msg << " id " << std::dec << LOWORD(wp) << " code " << HIWORD(wp) << " lParam 0x"
     << std::hex << (unsigned long long)lp << std::dec;
  if (withProbe) os << " probe " << probe;
}

BOOL CALLBACK CountOne(HWND, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

}  // namespace

double NoProbe() { return NAN; }

ControlDriver::ControlDriver() {
  HINSTANCE self = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  if (!GetClassInfoA(self, kParentClass, &wc)) {
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = self;
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kParentClass;
    RegisterClassA(&wc);
  }
  parent = CreateWindowExA(0, kParentClass, "controls", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 100, 100, 400, 300,
                           nullptr, nullptr, self, nullptr);
  SetWindowLongPtrA(parent, GWLP_USERDATA, (LONG_PTR)this);
  ShowWindow(parent, SW_SHOW);
}

ControlDriver::~ControlDriver() {
  if (GetCapture()) ReleaseCapture();
  DestroyWindow(parent);
}

HWND ControlDriver::Create(HINSTANCE inst, const char* cls, int id, int x, int y, int w, int h, const char* text,
                           bool visible) {
  return CreateWindowExA(0, cls, text, WS_CHILD | WS_TABSTOP | (visible ? WS_VISIBLE : 0), x, y, w, h, parent,
                         (HMENU)(INT_PTR)id, inst, nullptr);
}

LRESULT CALLBACK ControlDriver::ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = reinterpret_cast<ControlDriver*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (d && Recorded(msg)) {
    d->log.push_back({msg, wp, lp, d->probe ? d->probe() : 0.0});
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void ControlDriver::Mouse(HWND ctl, UINT msg, int x, int y) {
  HWND target = GetCapture() ? GetCapture() : ctl;
  POINT p = {x, y};
  if (target != ctl) MapWindowPoints(ctl, target, &p, 1);
  SendMessageA(target, msg, buttons, MAKELPARAM((short)p.x, (short)p.y));
}

void ControlDriver::MouseButton(HWND ctl, UINT msg, WPARAM button, bool down, int x, int y) {
  buttons = down ? buttons | button : buttons & ~button;
  Mouse(ctl, msg, x, y);
}

void ControlDriver::LeftDown(HWND ctl, int x, int y) { MouseButton(ctl, WM_LBUTTONDOWN, MK_LBUTTON, true, x, y); }
void ControlDriver::LeftUp(HWND ctl, int x, int y) { MouseButton(ctl, WM_LBUTTONUP, MK_LBUTTON, false, x, y); }
void ControlDriver::RightDown(HWND ctl, int x, int y) { MouseButton(ctl, WM_RBUTTONDOWN, MK_RBUTTON, true, x, y); }
void ControlDriver::RightUp(HWND ctl, int x, int y) { MouseButton(ctl, WM_RBUTTONUP, MK_RBUTTON, false, x, y); }
void ControlDriver::MoveTo(HWND ctl, int x, int y) { Mouse(ctl, WM_MOUSEMOVE, x, y); }

void ControlDriver::Click(HWND ctl, int x, int y) {
  LeftDown(ctl, x, y);
  LeftUp(ctl, x, y);
}

void ControlDriver::RightClick(HWND ctl, int x, int y) {
  RightDown(ctl, x, y);
  RightUp(ctl, x, y);
}

void ControlDriver::Focus(HWND ctl) { SetFocus(ctl); }

void ControlDriver::SelectAll() { SendMessageA(GetFocus(), EM_SETSEL, 0, -1); }

void ControlDriver::Type(const char* text) {
  for (const char* c = text; *c; c++) SendMessageA(GetFocus(), WM_CHAR, (WPARAM)(unsigned char)*c, 1);
}

void ControlDriver::Key(UINT vk) {
  HWND focus = GetFocus();
  SendMessageA(focus, WM_KEYDOWN, vk, 1);
  SendMessageA(focus, WM_KEYUP, vk, 0xC0000001);
}

bool ControlDriver::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

testing::AssertionResult SequenceIs(const std::vector<ParentMessage>& got, const std::vector<Expected>& want) {
  std::ostringstream os;
  size_t n = got.size() < want.size() ? got.size() : want.size();
  for (size_t i = 0; i < n; i++) {
    const ParentMessage& g = got[i];
    const Expected& w = want[i];
    bool probeOk = isnan(w.probe) || fabs(g.probe - w.probe) <= 1e-6 * (1.0 + fabs(w.probe));
    if (g.message != w.message || g.wParam != w.wParam || g.lParam != w.lParam || !probeOk) {
      os << "message " << i << " differs: expected ";
      Describe(os, w.message, w.wParam, w.lParam, w.probe, !isnan(w.probe));
      os << ", got ";
      Describe(os, g.message, g.wParam, g.lParam, g.probe, !isnan(w.probe));
      return testing::AssertionFailure() << os.str();
    }
  }
  if (got.size() != want.size()) {
    os << "expected " << want.size() << " messages, got " << got.size();
    const auto* extra = got.size() > want.size() ? &got[n] : nullptr;
    if (extra) {
      os << "; first extra: ";
      Describe(os, extra->message, extra->wParam, extra->lParam, extra->probe, true);
    } else {
      os << "; first missing: ";
      Describe(os, want[n].message, want[n].wParam, want[n].lParam, want[n].probe, !isnan(want[n].probe));
    }
    return testing::AssertionFailure() << os.str();
  }
  return testing::AssertionSuccess();
}

Printed PrintClient(HWND ctl) {
  Printed out;
  RECT r;
  GetClientRect(ctl, &r);
  if (r.right <= 0 || r.bottom <= 0) return out;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = r.right;
  bi.bmiHeader.biHeight = -r.bottom;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  SendMessageA(ctl, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
  GdiFlush();
  out.width = r.right;
  out.height = r.bottom;
  out.pixels.resize((size_t)r.right * r.bottom);
  const DWORD* px = static_cast<const DWORD*>(bits);
  for (size_t i = 0; i < out.pixels.size(); i++)
    out.pixels[i] = RGB((px[i] >> 16) & 0xFF, (px[i] >> 8) & 0xFF, px[i] & 0xFF);
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return out;
}

bool Printed::Find(COLORREF c, POINT& at) const {
  for (size_t i = 0; i < pixels.size(); i++)
    if (pixels[i] == c) {
      at = {(LONG)(i % width), (LONG)(i / width)};
      return true;
    }
  return false;
}

COLORREF PrintedPixel(HWND ctl, int x, int y) { return PrintClient(ctl).At(x, y); }

std::string TooltipOf(HWND parent, HWND ctl) {
  HWND tip = nullptr;
  while ((tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr))) {
    if (GetWindowThreadProcessId(tip, nullptr) != GetCurrentThreadId()) continue;
    char buf[80] = "";
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = parent;
    ti.uId = (UINT_PTR)ctl;
    ti.lpszText = buf;
    SendMessageA(tip, TTM_GETTEXTA, sizeof buf, (LPARAM)&ti);
    if (buf[0]) return buf;
  }
  return "(none)";
}

int CountChildren(HWND parent) {
  int n = 0;
  EnumChildWindows(parent, CountOne, (LPARAM)&n);
  return n;
}

int CountThreadWindows() {
  int n = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountOne, (LPARAM)&n);
  return n;
}

}  // namespace quortest
