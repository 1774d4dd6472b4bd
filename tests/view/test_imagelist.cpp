// The image-list view: a "JUniversalWindow" control of a real dialog showing the image of a strip
// that a parameter chooses, read back pixel by pixel.
#include "Canvas.h"
#include "DialogHarness.h"
#include "Recorder.h"
#include "TestSupport.h"

#include "Quorlib.h"
#include "testres.h"

#include <gtest/gtest.h>

namespace {

using quortest::Canvas;

// strip.bmp: ten 9 x 9 cells; cell k is (20 k + 5, 250 - 20 k, 7 k + 30) away from its corners.
constexpr int kStripBitmap = IDB_TEST_STRIP;
constexpr int kCells = 10;
constexpr uint32_t kSentinel = 0x00FF00FF;
constexpr int kNoSuchControl = 999;

uint32_t CellColour(int k) { return (uint32_t)(20 * k + 5) << 16 | (uint32_t)(250 - 20 * k) << 8 | (7 * k + 30); }

uint32_t Rgb(COLORREF c) { return (uint32_t)GetRValue(c) << 16 | (uint32_t)GetGValue(c) << 8 | GetBValue(c); }

// Lets a test paint the view into a canvas of its own.
class Probe : public JImageListView {
 public:
  using JImageListView::OnPaint;
};

// A mapping from a value of the test's choice, recording what it was asked.
struct MapState {
  int index = 0;
  int calls = 0;
  int lastTime = -1;
  JData* lastData = nullptr;
} mapState;

int MapIndex(int t, JData* data, int* index) {
  mapState.calls++;
  mapState.lastTime = t;
  mapState.lastData = data;
  return index ? 0 : mapState.index;
}

struct ImageListView : HarnessTest {
  void SetUp() override { mapState = MapState(); }
  void TearDown() override {
    HarnessTest::TearDown();
    EXPECT_EQ(JAttachedCount(), attached);
  }
  Probe* Open(JImageListView::Mapping mapping = nullptr, int id = IDC_IMAGE) {
    Probe* v = new Probe;
    v->Setup(choice, -1, id, GetModuleHandleA(nullptr), kStripBitmap, kCells, mapping);
    *dlg += v;
    EXPECT_TRUE(dlg->Open(IDD_SMALL));
    window = GetDlgItem(dlg->GetHwnd(), IDC_IMAGE);
    GetClientRect(window, &client);
    return v;
  }
  // What the view draws at t, in a canvas of the window's size.
  void PaintInto(Probe* v, Canvas& canvas, int t) { v->OnPaint(window, canvas.dc, t); }

  int attached = JAttachedCount();
  JFloatData* choice = Hold(Create_JFloatData());
  HWND window = nullptr;
  RECT client = {};
};

}  // namespace

// Sets a system colour for the life of the object, then puts the old one back.
struct SystemColour {
  SystemColour(int index, COLORREF c) : index(index), old(GetSysColor(index)) { SetSysColors(1, &index, &c); }
  ~SystemColour() { SetSysColors(1, &index, &old); }
  int index;
  COLORREF old;
};

TEST_F(ImageListView, ShowsTheImageTheParameterChoosesAndNothingOutsideTheStrip) {
  // The two border colours differ, so that the background shows which one is drawn.
  SystemColour border(COLOR_ACTIVEBORDER, RGB(12, 34, 56));
  ASSERT_NE(GetSysColor(COLOR_ACTIVEBORDER), GetSysColor(COLOR_INACTIVEBORDER));
  choice->SetValue(0, 3.0f);
  Probe* v = Open();
  ASSERT_EQ(GetWinProc(window), static_cast<JWinProc*>(v)) << "Init attaches the view to its window";
  EXPECT_EQ(v->Valid(0), 1) << "opening the dialog drew image 3";
  const int w = client.right, h = client.bottom;
  ASSERT_GT(w, 2 * kCells);

  for (float value : {3.0f, 7.9f, 0.0f, 9.0f, (float)kCells, -1.0f, 250.0f}) {
    choice->SetValue(0, value);
    EXPECT_EQ(v->Valid(0), 1) << value << ": the change was painted at once, the index remembered even when "
                                 "nothing is drawn";
    Canvas canvas(w, h, kSentinel);
    PaintInto(v, canvas, 0);
    int k = (int)value;
    if (k < 0 || k >= kCells) {
      EXPECT_EQ(canvas.At(w / 2, h / 2), kSentinel & 0xFFFFFF) << value << " is outside the strip";
      continue;
    }
    // The image fills the window, stretched; its cell colour lies away from the corners.
    EXPECT_EQ(canvas.At(w / 3, h / 3), CellColour(k)) << value;
    EXPECT_EQ(canvas.At(w / 2, h / 2), CellColour(k)) << value;
    EXPECT_EQ(canvas.At(w * 2 / 3, h / 2), CellColour(k)) << value;
    // The bitmap is one pixel larger than the image; the extra column and row keep the background.
    const uint32_t background = Rgb(GetSysColor(COLOR_ACTIVEBORDER));
    EXPECT_EQ(canvas.At(w - 1, h / 2), background) << value;
    EXPECT_EQ(canvas.At(w / 2, h - 1), background) << value;
  }
}

TEST_F(ImageListView, PaintMessagesAskTheMappingAtTheDialogsTime) {
  const int kTime = 320;
  dlg->time = kTime;
  mapState.index = 2;
  Probe* v = Open(MapIndex);
  EXPECT_EQ(mapState.lastData, static_cast<JData*>(choice));
  mapState.index = 5;
  EXPECT_EQ(v->Valid(kTime), 0) << "the window still shows image 2";
  mapState.lastTime = -1;
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  EXPECT_EQ(mapState.lastTime, kTime);
  EXPECT_EQ(v->Valid(kTime), 1) << "WM_PAINT drew image 5";
  Canvas canvas(client.right, client.bottom, kSentinel);
  PaintInto(v, canvas, kTime);
  EXPECT_EQ(canvas.At(client.right / 2, client.bottom / 2), CellColour(5));

  HDC dc = GetDC(window);
  EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, (WPARAM)dc, 0), 1) << "the view paints its whole window";
  ReleaseDC(window, dc);
}

TEST_F(ImageListView, ACreatedViewFollowsItsParameterAndDestroyDetaches) {
  JImageListView* v = JImageListView::Create(choice, -1, IDC_IMAGE, GetModuleHandleA(nullptr), kStripBitmap,
                                             kCells, nullptr);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->IdCtl(), IDC_IMAGE);
  EXPECT_EQ(v->Own(IDC_IMAGE), 0) << "the window takes no commands";
  choice->SetValue(0, 4.0f);
  *dlg += v;
  ASSERT_TRUE(dlg->Open(IDD_SMALL));
  window = GetDlgItem(dlg->GetHwnd(), IDC_IMAGE);
  EXPECT_EQ(v->Valid(0), 1);
  choice->SetValue(0, 6.0f);
  EXPECT_EQ(v->Valid(0), 1);

  // A view whose window is missing fails its Init.
  Probe* lost = new Probe;
  lost->Setup(choice, -1, kNoSuchControl, GetModuleHandleA(nullptr), kStripBitmap, kCells, nullptr);
  *dlg += lost;
  EXPECT_EQ(lost->Init(0), 0);
  *dlg -= lost;
  lost->Destroy();

  *dlg -= v;
  v->Destroy();
  EXPECT_EQ(GetWinProc(window), nullptr);
  EXPECT_EQ(choice->NumViews(), 0);
  EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, 0, 0), 0) << "the window is back to default processing";
}
