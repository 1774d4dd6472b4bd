// What the image view tests share: a dialog with a time of its own, a view that lets a test look
// at its image and its codes, and a bench that places a view window of a given image size.
#pragma once

#include "ControlDriver.h"
#include "TestSupport.h"

#include "JViewWndInternal.h"
#include "PlainDialog.h"
#include "Quorlib.h"

#include <gtest/gtest.h>

#include <vector>

namespace viewtest {

const int kViewId = 1200;
// The window is one pixel larger than the image on every side (the frame).
const int kFrame = 1;

// A dialog that shows its views at a time of its own.
using TimeDialog = PlainDialog;

// The image and the computation of any view, reached through the view's protected members.
struct ViewAccess : JViewWnd {
  // A copy of the shown image (empty without one).
  static std::vector<BMM_Color_24> Image(JViewWnd* v) {
    State* JViewWnd::*state = &ViewAccess::state;
    RECT JViewWnd::*rect = &ViewAccess::imageRect;
    State* s = v->*state;
    const RECT& r = v->*rect;
    JLock hold(s->bufferLock);
    if (!s->pixels) return {};
    return std::vector<BMM_Color_24>(s->pixels, s->pixels + (size_t)(r.right - r.left) * (r.bottom - r.top));
  }
  // Computes one image on the calling thread and answers the view's result code.
  static unsigned long Compute(JViewWnd* v) {
    unsigned long (JViewWnd::*compute)() = &ViewAccess::UpdateView_Thread;
    return (v->*compute)();
  }
};

// A view whose image, codes and abort value a test can reach, and which counts the calls of its
// resolution setter (a derived class's override must run from the menu).
class ProbeView : public JViewWnd {
 public:
  static ProbeView* Make(JDataBase* data, int id = kViewId) {
    return static_cast<ProbeView*>(Setup(new ProbeView, data, -1, id));
  }
  void SetRender(JViewRenderFunc f, void* user) {
    renderFunc = f;
    renderUser = user;
  }
  void SetColor(JViewColorFunc f, void* user) {
    colorFunc = f;
    colorUser = user;
  }
  unsigned long Compute() { return ViewAccess::Compute(this); }
  void RaiseAbort() { state->abortValue.store(-1); }
  void ClearAbort() { state->abortValue.store(0); }
  int Abort() { return AbortValue(); }
  bool HasWorker() { return state->worker.load() != nullptr; }
  // The exit code of the latest worker once it has ended (STILL_ACTIVE while it runs).
  DWORD WorkerExitCode(DWORD waitMs) {
    DWORD code = 0;
    if (!state->ending || WaitForSingleObject(state->ending, waitMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    GetExitCodeThread(state->ending, &code);
    return code;
  }
  std::vector<BMM_Color_24> Image() { return ViewAccess::Image(this); }
  const BMM_Color_24* Raw() { return state->pixels; }
  RECT ImageRect() { return imageRect; }
  void SetResolution(JDataBase* d, int resolution, int noFit) override {
    setterCalls++;
    JViewWnd::SetResolution(d, resolution, noFit);
  }
  int setterCalls = 0;
  using JViewWnd::WinProc;
  using JViewWnd::operator=;
};

// A top-level window holding one view window of width x height image pixels, the dialog object
// of that window, and a data object for the view's settings.
struct Bench {
  Bench(int width, int height) {
    window = driver.Create(nullptr, "JUniversalWindow", kViewId, 10, 10, width + 2 * kFrame, height + 2 * kFrame);
    dialog = new TimeDialog(driver.Parent());
    data = Create_JFloatData();
  }
  ~Bench() {
    data->DeleteMe();
    dialog->DeleteThis();
  }
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;
  // A view of the window, added to the dialog, initialised and unfrozen as a dialog does it.
  template <class V = ProbeView>
  V* Attach(V* view) {
    *dialog += view;
    EXPECT_EQ(view->Init(dialog->time), 1);
    view->SetFreeze(0);
    return view;
  }
  quortest::ControlDriver driver;
  HWND window;
  TimeDialog* dialog;
  JFloatData* data;
};

// The resolution setting's key in a data object's properties, and the popup menu's key among
// the view's extension properties.
inline const Class_ID& ResolutionKey() {
  static const Class_ID id(0x282D35C6, 0x44985440);
  return id;
}
inline const Class_ID& PopupMenuKey() {
  static const Class_ID id(0x0CE61298, 0x19C52C21);
  return id;
}

inline bool Same(const BMM_Color_24& a, const BMM_Color_24& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// A render function with a fault in it.
inline int FaultingRender(BMM_Color_24*, void*, int, int, int, float, HWND) {
  quortest::WriteThroughNull();
  return 0;
}

// Dispatches the thread's messages for ms milliseconds.
inline void PumpFor(DWORD ms) {
  quortest::ControlDriver::PumpUntil([] { return false; }, ms);
}

}  // namespace viewtest
