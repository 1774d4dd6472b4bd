// A filter as a client writes one, for the filter tests: its parameters are a node with a gain and
// an enabled switch; how its settings dialog behaves is up to each test. And the steps a test runs
// from inside a modal loop.
#pragma once

#include "Quorlib.h"

#include <functional>
#include <vector>

namespace filtertest {

extern const Class_ID kParamsID;
extern const Class_ID kOtherParamsID;

// The filter's parameter block; counts the blocks alive so that a test sees one die.
class Params : public JDataNode {
 public:
  enum { kGain, kEnabled };
  static constexpr float kDefaultGain = 2.5f;
  explicit Params(int loading);
  ~Params() override;
  JClassDescBase* GetCD() override;
  float Gain(int t = 0);
  void SetGain(float v, int t = 0);
  static int alive;
};

// A block of another class with the same children.
class OtherParams : public Params {
 public:
  explicit OtherParams(int loading) : Params(loading) {}
  JClassDescBase* GetCD() override;
};

Params* NewParams();
OtherParams* NewOtherParams();

class TestFilter : public JFilterBase {
 public:
  TestFilter() = default;
  JClassDescBase* GetCD() override;
  const char* Description() override { return "Test Filter"; }
  const char* AuthorName() override { return "tests"; }
  const char* CopyrightMessage() override { return ""; }
  UINT Version() override { return 1; }
  DWORD Capability() override { return IMGFLT_FILTER | IMGFLT_CONTROL; }
  BOOL ShowControl(HWND hWnd) override { return ShowControlProtected(JPrepFilterDlg(hWnd)); }

  JClassDescBase* GetDataCD() override;
  JData* CreateData() override { return makeData ? NewParams() : nullptr; }
  int DoShowControl(HWND parent) override { return dialog ? dialog(parent) : 0; }
  INT_PTR InitAbout(HWND dlg) override {
    aboutDialog = dlg;
    return aboutResult;
  }
  BOOL DoRender(HWND hWnd) override {
    renderedFor = hWnd;
    return renderResult;
  }

  Params* P() { return dynamic_cast<Params*>(Data()); }

  bool makeData = true;                // CreateData gives null when false
  std::function<int(HWND)> dialog;     // what DoShowControl does; 0 without one
  HWND aboutDialog = nullptr;
  INT_PTR aboutResult = TRUE;
  HWND renderedFor = nullptr;
  BOOL renderResult = TRUE;
};

// The title of the host's event dialog for a new filter event.
const char kNewEventTitle[] = "Add Image Filter Event";

// Ends a filter dialog that JPrepFilterDlg began without opening one.
inline void EndWithoutDialog() {
  JOneModelessBase* none = nullptr;
  JDoFilterDlg(&none, nullptr);
}

// Runs the steps of a test from a thread timer, that is from inside whatever modal loop or wait
// the test's thread is in; a step answers true when it is done and the next may run.
struct Script {
  static const UINT kTick = 50;  // milliseconds between two tries of a step
  static const DWORD kTestTimeout = 30000;
  explicit Script(std::vector<std::function<bool()>> s) {
    steps = std::move(s);
    next = 0;
    started = GetTickCount();
    timer = SetTimer(nullptr, 0, kTick, Tick);
  }
  ~Script() { KillTimer(nullptr, timer); }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    static bool busy = false;  // a step may pump messages itself
    if (busy) return;
    busy = true;
    if (next < steps.size() && steps[next]()) next++;
    if (GetTickCount() - started > kTestTimeout) {
      // Something did not appear: cancel whatever dialog is in front so that the test ends.
      HWND front = GetActiveWindow();
      if (front) PostMessageA(front, WM_COMMAND, IDCANCEL, 0);
    }
    busy = false;
  }
  static inline std::vector<std::function<bool()>> steps;
  static inline size_t next = 0;
  static inline DWORD started = 0;
  UINT_PTR timer;
};

}  // namespace filtertest
