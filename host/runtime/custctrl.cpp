// The host's custom-control window classes. Each module that places them in its dialog templates
// registers them for its own instance handle with InitCustomControls; the controls themselves live
// in custbutton.cpp, custedit.cpp, spinner.cpp and colorswatch.cpp, the
// colour picker in colorpicker.cpp.
#include "custctrl.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <vector>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace custctrl {

namespace {

std::atomic<int> liveInterfaces{0};

struct ClassEntry {
  const char* name;
  WNDPROC proc;
};
// A rollup is a plain container: its panels are child windows that paint themselves.
const ClassEntry kClasses[] = {{CUSTBUTTONWINDOWCLASS, ButtonProc},
                               {CUSTEDITWINDOWCLASS, EditProc},
                               {SPINNERWINDOWCLASS, SpinnerProc},
                               {COLORSWATCHWINDOWCLASS, SwatchProc},
                               {ROLLUPWINDOWCLASS, DefWindowProcA}};

std::vector<HINSTANCE>& Registered() {
  static std::vector<HINSTANCE> r;
  return r;
}

// The controls watched for their destruction, and the thread's CBT hook that tells of it,
// installed while there are any.
struct DestroyWatch {
  HWND control;
  void (*going)(HWND control, bool alone);
};
std::vector<DestroyWatch> destroyWatches;
HHOOK destroyHook = nullptr;

LRESULT CALLBACK DestroyHookProc(int code, WPARAM wp, LPARAM lp);

void UpdateDestroyHook() {
  if (!destroyWatches.empty() && !destroyHook) {
    destroyHook = SetWindowsHookExA(WH_CBT, DestroyHookProc, nullptr, GetCurrentThreadId());
  } else if (destroyWatches.empty() && destroyHook) {
    UnhookWindowsHookEx(destroyHook);
    destroyHook = nullptr;
  }
}

// HCBT_DESTROYWND comes as DestroyWindow begins, before anything is hidden or destroyed. A watch
// is dropped before its call, and the list is searched again after each call, which may destroy
// windows or start and end watches of its own.
LRESULT CALLBACK DestroyHookProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_DESTROYWND) {
    HWND gone = reinterpret_cast<HWND>(wp);
    for (;;) {
      auto it = std::find_if(destroyWatches.begin(), destroyWatches.end(), [gone](const DestroyWatch& w) {
        return w.control == gone || IsChild(gone, w.control);
      });
      if (it == destroyWatches.end()) break;
      DestroyWatch w = *it;
      destroyWatches.erase(it);
      w.going(w.control, w.control == gone);
    }
    UpdateDestroyHook();
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

void WatchDestroy(HWND control, void (*going)(HWND control, bool alone)) {
  StopWatchingDestroy(control);
  destroyWatches.push_back(DestroyWatch{control, going});
  UpdateDestroyHook();
}

void StopWatchingDestroy(HWND control) {
  destroyWatches.erase(std::remove_if(destroyWatches.begin(), destroyWatches.end(),
                                      [control](const DestroyWatch& w) { return w.control == control; }),
                       destroyWatches.end());
  UpdateDestroyHook();
}

const char kButtonProp[] = "VantorCustButton";
const char kEditProp[] = "VantorCustEdit";
const char kSpinnerProp[] = "VantorSpinner";

LRESULT NotifyParent(HWND ctl, UINT msg, WORD code) {
  if (!(GetWindowLongPtrA(ctl, GWL_STYLE) & WS_CHILD)) return 0;
  HWND parent = GetParent(ctl);
  if (!parent) return 0;
  WORD id = (WORD)GetDlgCtrlID(ctl);
  return SendMessageA(parent, msg, MAKEWPARAM(id, code), (LPARAM)ctl);
}

HINSTANCE HostInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

void InterfaceCreated() { liveInterfaces.fetch_add(1, std::memory_order_relaxed); }
void InterfaceReleased() { liveInterfaces.fetch_sub(1, std::memory_order_relaxed); }

bool ParseNumber(const char* text, double* value) {
  if (!text) return false;
  char* end = nullptr;
  double v = strtod(text, &end);
  if (end == text) return false;
  while (*end == ' ' || *end == '\t') end++;
  if (*end != '\0' || !isfinite(v)) return false;
  *value = v;
  return true;
}

}  // namespace custctrl

void InitCustomControls(HINSTANCE hInst) {
  if (!hInst) return;
  for (HINSTANCE h : custctrl::Registered())
    if (h == hInst) return;
  custctrl::Registered().push_back(hInst);
  for (const custctrl::ClassEntry& c : custctrl::kClasses) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;  // no CS_DBLCLKS: a quick second press is a press
    wc.lpfnWndProc = c.proc;
    wc.hInstance = hInst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = c.name;
    RegisterClassA(&wc);
  }
}

int GetLiveCustomControlCount() {
  return custctrl::liveInterfaces.load(std::memory_order_relaxed);
}

void CenterWindow(HWND hwnd, HWND parent) {
  if (!hwnd) return;
  RECT work, area, self;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  // A parent without an area (the material editor's window behind its panels has none) gives no
  // place to centre on: the work area does.
  if (!parent || !GetWindowRect(parent, &area) || IsRectEmpty(&area)) area = work;
  GetWindowRect(hwnd, &self);
  int w = self.right - self.left, h = self.bottom - self.top;
  int x = area.left + (area.right - area.left - w) / 2;
  int y = area.top + (area.bottom - area.top - h) / 2;
  // Near the screen's edge the window is moved onto the work area, its title bar first.
  x = std::max((int)work.left, std::min(x, (int)work.right - w));
  y = std::max((int)work.top, std::min(y, (int)work.bottom - h));
  SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void custctrl::DrawKeyBrackets(HDC dc, const RECT& r, int frame) {
  const int kArm = 5;  // length of a bracket's top and bottom ticks
  HBRUSH red = CreateSolidBrush(RGB(220, 0, 0));
  int w = r.right, h = r.bottom;
  const RECT parts[] = {{0, 0, frame, h},          {0, 0, kArm, frame}, {0, h - frame, kArm, h},
                        {w - frame, 0, w, h},      {w - kArm, 0, w, frame}, {w - kArm, h - frame, w, h}};
  for (const RECT& p : parts) FillRect(dc, &p, red);
  DeleteObject(red);
}
