// Rollup windows' panel interface and the user interface's colour manager.
#include "vcore.h"

#include <new>

namespace {

// The interface of one rollup window, made for each GetIRollup and deleted by ReleaseIRollup.
class Rollup : public IRollup {
 public:
  explicit Rollup(HWND w) : window(w) {}
  virtual ~Rollup() = default;
  int GetNumPanels() override {
    int n = 0;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) n++;
    return n;
  }
  void SetPanelOpen(int index, BOOL isOpen, BOOL) override {
    if (HWND panel = Panel(index)) ShowWindow(panel, isOpen ? SW_SHOWNA : SW_HIDE);
  }
  BOOL IsPanelOpen(int index) override {
    HWND panel = Panel(index);
    return panel && (GetWindowLongPtrA(panel, GWL_STYLE) & WS_VISIBLE) != 0;
  }

 private:
  HWND Panel(int index) {
    if (index < 0) return nullptr;
    HWND c = GetWindow(window, GW_CHILD);
    while (c && index-- > 0) c = GetWindow(c, GW_HWNDNEXT);
    return c;
  }
  HWND window;
};

// The stand-in's interface shows the system's colours.
class ColorManager : public IColorManager {
 public:
  COLORREF GetColor(int id) override { return GetSysColor(id); }
  HBRUSH GetBrush(int id) override { return GetSysColorBrush(id); }
};

}  // namespace

IRollup* GetIRollup(HWND hwnd) {
  char name[32];
  if (!hwnd || !GetClassNameA(hwnd, name, sizeof name) || lstrcmpA(name, ROLLUPWINDOWCLASS) != 0)
    return nullptr;
  return new (std::nothrow) Rollup(hwnd);
}

void ReleaseIRollup(IRollup* rollup) { delete static_cast<Rollup*>(rollup); }

IColorManager* GetColorManager() {
  static ColorManager manager;
  return &manager;
}
