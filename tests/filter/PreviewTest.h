// What the preview and toolbar tests share: a filter that records what the host's preview and its
// own rendering are asked, a modeless filter dialog from the test program's template that
// follows a switch of its data.
#pragma once

#include "FilterTest.h"
#include "TestSupport.h"
#include "testres.h"

#include <atomic>
#include <string>
#include <vector>

namespace previewtest {

// A filter whose host preview and rendering are recorded. Its own rendering leaves the picture
// as it gets it (so a test sees the source the library prepared) unless it is told to paint.
class PreviewFilter : public filtertest::TestFilter {
 public:
  struct PreviewCall {
    int t, width, height;
    float aspect;
    DWORD type;
    int sourceFlag;   // the filter's preview source flag during the call
    bool wantsSecond;
    std::string window;  // the title of the window the host reports progress to
  };
  struct RenderCall {
    int width, height;     // of the source bitmap
    BMM_Color_64 first;    // its first pixel
    bool foreground;       // a second input was there
    int previewFlags;
    int frame;
    HWND window;
  };

  DWORD Capability() override { return caps; }
  BOOL CreatePreview(HWND hWnd, Bitmap** out, TimeValue t, int width, int height, float aspect, Bitmap** second,
                     DWORD type) override {
    char title[256] = "";
    if (hWnd) GetWindowTextA(hWnd, title, sizeof title);
    previews.push_back({t, width, height, aspect, type, GetPreviewSource(), second != nullptr, title});
    if (faultPreview) quortest::WriteThroughNull();
    if (failPreview) {
      *out = nullptr;
      return FALSE;
    }
    return ImageFilter::CreatePreview(hWnd, out, t, width, height, aspect, second, type);
  }
  BOOL DoRender(HWND hWnd) override {
    Bitmap* s = Source();
    RenderCall c = {};
    if (s) {
      c.width = s->Width();
      c.height = s->Height();
      s->GetLinearPixels(0, 0, 1, &c.first);
      if (paint) s->Fill(paintColor.r, paintColor.g, paintColor.b, paintColor.a);
    }
    c.foreground = Foreground() != nullptr;
    c.previewFlags = GetPreviewFlags();
    c.frame = FilterInfo()->frame;
    c.window = hWnd;
    renders.push_back(c);
    renderCount.fetch_add(1, std::memory_order_release);
    if (faultRender) quortest::WriteThroughNull();
    return renderResult;
  }

  DWORD caps = IMGFLT_FILTER | IMGFLT_CONTROL;
  bool failPreview = false;
  bool faultPreview = false;  // the host's preview faults after it was recorded
  bool faultRender = false;   // the filter's rendering faults after it was recorded
  bool paint = false;
  BMM_Color_64 paintColor = {0, 0xFFFF, 0, 0xFFFF};
  std::vector<PreviewCall> previews;
  std::vector<RenderCall> renders;
  std::atomic<int> renderCount{0};  // renders.size(), for a thread that waits for a worker
};

// A filter dialog over the test program's preview template. Switching its data rebinds every
// control that showed the previous data, as a client's dialog does.
class FilterDialog : public JOneModelessBase {
 public:
  explicit FilterDialog(JDataBase* data) : bound(data) {}
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int IdDlg() override { return IDD_TEST_PREVIEW; }
  const char* ActionName() override { return "Test Preview"; }
  int SwitchData(JDataBase* data, void*) override {
    for (int i = 0; i < NumControls(); i++)
      if (GetControl(i)->Data() == bound) GetControl(i)->Set(data, GetTime());
    bound = data;
    switches++;
    return 1;
  }
  HWND Item(int id) { return GetDlgItem(GetHwnd(), id); }
  // A control's WM_COMMAND as the control sends it.
  void Command(int id) { SendMessageA(GetHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)Item(id)); }
  void Close() { SendMessageA(GetHwnd(), WM_CLOSE, 0, 0); }

  JDataBase* bound;
  int switches = 0;
};

// The last host event dialog the filter dialog saw was titled title (JNewFilterEvent follows
// it until the next one): an event dialog is prepared for a filter dialog and restored at once.
inline void SeenEventDialog(const char* title) {
  HWND event = CreateWindowExA(0, "STATIC", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  JPrepFilterDlg(event);
  filtertest::EndWithoutDialog();
  DestroyWindow(event);
}
using filtertest::kNewEventTitle;
// The progress dialog of a host render for the test filter.
const char kProgressTitle[] = "Test Filter in progress...";
const char kEditEventTitle[] = "Edit Image Filter Event";

inline bool IsBlack(const BMM_Color_24& c) { return c.r == 0 && c.g == 0 && c.b == 0; }

}  // namespace previewtest
