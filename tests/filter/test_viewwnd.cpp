// The image view on the interface thread: attaching, the resolution setting and its menu, the
// computed sizes, replication and the panel, colour conversion, the result codes, installing
// with the display gamma, painting and the progress line.
#include "FilterTest.h"
#include "ViewWndTest.h"

#include "vbmm.h"

#include <string>

using namespace viewtest;

namespace {

// A render function's record of its calls; it draws x, y and x + y + time into red, green and blue.
struct RenderLog {
  struct Call {
    int time, width, height;
    float aspect;
    HWND window;
  };
  std::vector<Call> calls;
  int result = 1;
};

int Pattern(BMM_Color_24* out, void* user, int time, int width, int height, float aspect, HWND window) {
  RenderLog* log = static_cast<RenderLog*>(user);
  log->calls.push_back({time, width, height, aspect, window});
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) out[y * width + x] = BMM_Color_24{(BYTE)x, (BYTE)y, (BYTE)(x + y + time)};
  return log->result;
}

const int kSmallW = 9, kSmallH = 5;

int MenuCheck(HMENU menu, int id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) ? 1 : 0; }

HMENU MenuOf(JViewWnd* v) {
  int m = 0;
  v->Extensions().FindExtProperty(PopupMenuKey(), &m);
  return (HMENU)(INT_PTR)m;
}

}  // namespace

TEST(ViewWndAttach, ImageRectWindowAndMenuFollowTheDialogItem) {
  Bench b(kSmallW, kSmallH);
  ProbeView* missing = ProbeView::Make(b.data, kViewId + 1);
  *b.dialog += missing;
  EXPECT_EQ(missing->Init(0), 0) << "no dialog item with that id";
  EXPECT_EQ(missing->Compute(), JViewWnd::kNoWidth) << "an unattached view has no image size";
  missing->Destroy();

  ProbeView* v = b.Attach(ProbeView::Make(b.data));
  const RECT r = v->ImageRect();
  EXPECT_EQ(r.left, kFrame);
  EXPECT_EQ(r.top, kFrame);
  EXPECT_EQ(r.right - r.left, kSmallW);
  EXPECT_EQ(r.bottom - r.top, kSmallH);
  EXPECT_EQ(GetWinProc(b.window), static_cast<JWinProc*>(v));
  EXPECT_EQ(v->Own(kViewId), 1);
  EXPECT_EQ(v->Own(kViewId + 1), 0);

  // A data object without a setting: full size, fitted.
  HMENU menu = MenuOf(v);
  ASSERT_NE(menu, nullptr);
  const struct {
    int id;
    const char* text;
    int checked;
  } items[] = {{1300, "1:1", 1}, {1301, "1:2", 0}, {1302, "1:4", 0}, {0, "", 0}, {1303, "Fit to Window", 1}};
  ASSERT_EQ(GetMenuItemCount(menu), 5);
  for (int i = 0; i < 5; i++) {
    EXPECT_EQ((int)GetMenuItemID(menu, i), items[i].id);
    char text[64] = "";
    GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, items[i].text);
    if (items[i].id) {
      EXPECT_EQ(MenuCheck(menu, items[i].id), items[i].checked) << items[i].text;
    }
  }
  EXPECT_EQ(GetMenuState(menu, 3, MF_BYPOSITION) & MF_SEPARATOR, (UINT)MF_SEPARATOR);

  v->Destroy();
  EXPECT_FALSE(IsMenu(menu)) << "the view destroys its menu";
  EXPECT_EQ(GetWinProc(b.window), nullptr) << "the window is detached";
}

namespace {
// What a right click on the bench's view window showed: whether a menu came and the check marks of
// v's menu, read inside the menu's modal loop before it is closed.
struct MenuPeek {
  bool tracked = false;
  std::vector<int> checks;
};
MenuPeek RightClickPeek(Bench& b, JViewWnd* v) {
  MenuPeek peek;
  HMENU menu = MenuOf(v);
  filtertest::Script inside({[&] {
    peek.tracked = true;
    for (int id : {1300, 1301, 1302, 1303}) peek.checks.push_back(MenuCheck(menu, id));
    EndMenu();
    return true;
  }});
  b.driver.RightClick(b.window, 3, 3);
  return peek;
}
}  // namespace

// The setting lives in the data's properties with a no-fit bit; the menu's commands store it
// through the setter (a derived class's override) and recompute at the dialog's time.
TEST(ViewWndResolution, StoredWithTheNoFitBitByTheMenuAndShownOnARightClick) {
  Bench b(kSmallW, kSmallH);
  ProbeView* v = b.Attach(ProbeView::Make(b.data));
  const uint32_t kNoFit = 0x80000000u;
  v->SetResolution(b.data, 2, 1);
  EXPECT_EQ(b.data->Properties().Value(ResolutionKey()), kNoFit + 2);
  // Changed behind the menu's back: the right click re-checks the items.
  const MenuPeek peek = RightClickPeek(b, v);
  ASSERT_TRUE(peek.tracked) << "the menu was shown";
  EXPECT_EQ(peek.checks, (std::vector<int>{0, 0, 1, 0}))
      << "1:4 checked; no-fit: Fit to Window unchecked";
  v->SetResolution(b.data, 1, 0);
  EXPECT_EQ(b.data->Properties().Value(ResolutionKey()), 1u);
  int res = -1, noFit = -1;
  b.data->Properties().Add(ResolutionKey(), kNoFit + 0x7FFFFFFF);
  v->GetResolution(b.data, res, noFit);
  EXPECT_EQ(res, 0x7FFFFFFF);
  EXPECT_EQ(noFit, 1);
  v->GetResolution(nullptr, res, noFit);
  EXPECT_EQ(res, 0);
  EXPECT_EQ(noFit, 0);
  v->SetResolution(nullptr, 2, 1);  // nothing to store into

  RenderLog log;
  v->SetRender(Pattern, &log);
  v->SetResolution(b.data, 0, 0);
  const int kDialogTime = 4800;
  b.dialog->time = kDialogTime;
  struct Step {
    int command;
    int resolution, noFit;
    bool recomputes;
  } steps[] = {
      {1301, 1, 0, true},  {1301, 1, 0, false}, {1302, 2, 0, true}, {1303, 2, 1, true},
      {1300, 0, 1, true},  {1300, 0, 1, false}, {1303, 0, 0, true}, {1299, 0, 0, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "command " << s.command);
    const size_t before = log.calls.size();
    const int setter = v->setterCalls;
    SendMessageA(b.window, WM_COMMAND, MAKEWPARAM(s.command, 0), 0);
    v->GetResolution(b.data, res, noFit);
    EXPECT_EQ(res, s.resolution);
    EXPECT_EQ(noFit, s.noFit);
    EXPECT_EQ(log.calls.size(), before + (s.recomputes ? 1 : 0));
    EXPECT_EQ(v->setterCalls, setter + (s.recomputes ? 1 : 0));
    if (s.recomputes) {
      EXPECT_EQ(log.calls.back().time, kDialogTime);
    }
  }
  // 1:4 is "2 or more": a stored 3 is left alone by the 1:4 command.
  v->SetResolution(b.data, 3, 0);
  const size_t before = log.calls.size();
  SendMessageA(b.window, WM_COMMAND, MAKEWPARAM(1302, 0), 0);
  EXPECT_EQ(log.calls.size(), before);
  v->Destroy();

  // A view told to have no resolution menu ignores right clicks.
  ProbeView* plain = ProbeView::Make(b.data);
  plain->Extensions().AddExtProperty(JViewWnd_resolution_off(), 1);
  b.Attach(plain);
  EXPECT_EQ(MenuOf(plain), nullptr);
  EXPECT_FALSE(RightClickPeek(b, plain).tracked);
  plain->Destroy();
}

TEST(ViewWndCompute, ReducedSizesAndFitReplicationCutAtTheEdges) {
  // 9 wide: the groups of four are columns 0-3, 4-7 and 8. 70 wide: whole steps of sixteen
  // output pixels and a cut group of two.
  struct Size {
    int W, H;
  } sizes[] = {{kSmallW, kSmallH}, {70, 9}};
  for (const Size& size : sizes) {
    Bench b(size.W, size.H);
    RenderLog log;
    ProbeView* v = b.Attach(ProbeView::Make(b.data));
    v->SetRender(Pattern, &log);
    for (int resolution = 0; resolution < 3; resolution++) {
      const int f = 1 << resolution;
      v->SetResolution(b.data, resolution, 0);
      ASSERT_EQ(v->Compute(), JViewWnd::kInstalled);
      EXPECT_EQ(log.calls.back().width, (size.W + f - 1) / f) << "resolution " << resolution;
      EXPECT_EQ(log.calls.back().height, (size.H + f - 1) / f) << "resolution " << resolution;
      EXPECT_EQ(log.calls.back().aspect, 1.0f);
      EXPECT_EQ(log.calls.back().window, b.window);
      std::vector<BMM_Color_24> img = v->Image();
      ASSERT_EQ(img.size(), (size_t)size.W * size.H);
      // Output pixel (x, y) shows source pixel (x / f, y / f), every byte of it.
      for (int y = 0; y < size.H; y++)
        for (int x = 0; x < size.W; x++) {
          const BMM_Color_24 want{(BYTE)(x / f), (BYTE)(y / f), (BYTE)(x / f + y / f)};
          ASSERT_TRUE(Same(img[y * size.W + x], want))
              << size.W << " wide at resolution " << resolution << ": pixel " << x << "," << y;
        }
    }
    v->Destroy();
  }
}

TEST(ViewWndCompute, NoFitCentresTheImageOnASunkenPanelWhoseEdgesWin) {
  const int W = 10, H = 8;
  Bench b(W, H);
  RenderLog log;
  ProbeView* v = b.Attach(ProbeView::Make(b.data));
  v->SetRender(Pattern, &log);
  auto colour = [](int index) {
    COLORREF c = GetColorManager()->GetColor(index);
    return BMM_Color_24{GetRValue(c), GetGValue(c), GetBValue(c)};
  };
  const BMM_Color_24 shadow = colour(COLOR_BTNSHADOW), face = colour(COLOR_BTNFACE), light = colour(COLOR_BTNHIGHLIGHT);
  struct Case {
    int resolution, w, h;
  } cases[] = {{1, 5, 4}, {2, 3, 2}, {3, W, H}};  // a stored 3 computes at full size
  for (const Case& c : cases) {
    v->SetResolution(b.data, c.resolution, 1);
    ASSERT_EQ(v->Compute(), JViewWnd::kInstalled);
    std::vector<BMM_Color_24> img = v->Image();
    ASSERT_EQ(img.size(), (size_t)W * H);
    const int offX = (W - c.w) / 2, offY = (H - c.h) / 2;
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W; x++) {
        BMM_Color_24 want = face;
        if (x >= offX && x < offX + c.w && y >= offY && y < offY + c.h)
          want = BMM_Color_24{(BYTE)(x - offX), (BYTE)(y - offY), (BYTE)(x - offX + y - offY)};
        if (x == 0) want = shadow;
        if (x == W - 1) want = light;
        if (y == 0) want = shadow;
        if (y == H - 1) want = light;
        ASSERT_TRUE(Same(img[y * W + x], want)) << "resolution " << c.resolution << " at " << x << "," << y;
      }
  }
  v->Destroy();
}

namespace {
struct ColourProbe {
  float value;  // every component
  std::vector<std::pair<float, float>> at;
};
AColor Flat(void* user, float u, float v) {
  ColourProbe* p = static_cast<ColourProbe*>(user);
  p->at.push_back({u, v});
  return AColor(p->value, p->value, p->value, 0.25f);
}
AColor FaultingColour(void*, float, float) {
  volatile float* nowhere = nullptr;
  return AColor(*nowhere, 0, 0);
}
}  // namespace

TEST(ViewWndCompute, ColourFunctionRoundsHalfAwayFromZeroAndKeepsTheLowByte) {
  const int W = 4, H = 2;
  Bench b(W, H);
  ProbeView* v = b.Attach(ProbeView::Make(b.data));
  ColourProbe probe;
  v->SetColor(Flat, &probe);
  struct Case {
    float value;
    BYTE byte;
  } cases[] = {{0.5f, 128}, {1.0f, 255}, {0.0f, 0}, {0.002f, 1}, {-0.003f, 255}, {1.003f, 0}, {-2.0f, 2}};
  for (const Case& c : cases) {
    probe.value = c.value;
    probe.at.clear();
    ASSERT_EQ(v->Compute(), JViewWnd::kInstalled);
    std::vector<BMM_Color_24> img = v->Image();
    ASSERT_EQ(img.size(), (size_t)W * H);
    EXPECT_EQ(img[0].r, c.byte) << c.value;
    EXPECT_EQ(img[W * H - 1].b, c.byte) << c.value;
  }
  // Row by row from the top, u and v from 0 in steps of 1/w and 1/h: never 1.
  ASSERT_EQ(probe.at.size(), (size_t)W * H);
  EXPECT_EQ(probe.at[1].first, 0.25f);
  EXPECT_EQ(probe.at[1].second, 0.0f);
  EXPECT_EQ(probe.at[W].first, 0.0f);
  EXPECT_EQ(probe.at[W].second, 0.5f);
  EXPECT_EQ(probe.at.back().first, 0.75f);

  // The render function wins when both are set.
  RenderLog log;
  v->SetRender(Pattern, &log);
  probe.at.clear();
  ASSERT_EQ(v->Compute(), JViewWnd::kInstalled);
  EXPECT_EQ(log.calls.size(), 1u);
  EXPECT_TRUE(probe.at.empty());
  v->Destroy();
}

TEST(ViewWndCompute, EveryFailureKeepsTheOldImage) {
  Bench b(kSmallW, kSmallH);
  RenderLog log;
  ProbeView* v = b.Attach(ProbeView::Make(b.data));
  EXPECT_EQ(v->Compute(), JViewWnd::kInstalled) << "no callback: nothing to do";
  EXPECT_EQ(v->Raw(), nullptr);
  v->SetRender(Pattern, &log);
  ASSERT_EQ(v->Compute(), JViewWnd::kInstalled);
  const std::vector<BMM_Color_24> good = v->Image();
  const BMM_Color_24* shown = v->Raw();
  auto unchanged = [&] {
    std::vector<BMM_Color_24> now = v->Image();
    return v->Raw() == shown && now.size() == good.size() &&
           memcmp(now.data(), good.data(), good.size() * sizeof(BMM_Color_24)) == 0;
  };

  log.result = 0;
  EXPECT_EQ(v->Compute(), JViewWnd::kRenderFailed);
  EXPECT_TRUE(unchanged());
  log.result = 1;
  v->RaiseAbort();  // set while the render function ran
  EXPECT_EQ(v->Compute(), JViewWnd::kRenderFailed);
  EXPECT_TRUE(unchanged());

  ColourProbe probe{0.5f, {}};
  v->SetRender(nullptr, nullptr);
  v->SetColor(Flat, &probe);
  EXPECT_EQ(v->Compute(), JViewWnd::kAborted);
  EXPECT_TRUE(probe.at.empty()) << "the abort value is polled before the first pixel";
  EXPECT_TRUE(unchanged());
  v->ClearAbort();

  // Faults in either callback, at full and reduced resolution.
  for (int resolution : {0, 2}) {
    v->SetResolution(b.data, resolution, 0);
    v->SetColor(FaultingColour, nullptr);
    EXPECT_EQ(v->Compute(), JViewWnd::kFaulted);
    EXPECT_TRUE(unchanged());
    v->SetColor(nullptr, nullptr);
    v->SetRender(FaultingRender, nullptr);
    EXPECT_EQ(v->Compute(), JViewWnd::kFaulted);
    EXPECT_TRUE(unchanged());
  }
  // The trap is disarmed again: a good computation afterwards installs.
  v->SetRender(Pattern, &log);
  EXPECT_EQ(v->Compute(), JViewWnd::kInstalled);
  EXPECT_NE(v->Raw(), shown);
  v->Destroy();

  // An image without height.
  Bench flat(kSmallW, 0);
  ProbeView* thin = flat.Attach(ProbeView::Make(flat.data));
  thin->SetRender(Pattern, &log);
  EXPECT_EQ(thin->Compute(), JViewWnd::kNoHeight);
  thin->Destroy();
}

TEST(ViewWndCompute, FirstUpdateIsSynchronousAndUpdatedStaysSet) {
  Bench b(kSmallW, kSmallH);
  RenderLog log;
  ProbeView* v = b.Attach(ProbeView::Make(b.data));
  v->SetRender(Pattern, &log);
  // Whether a paint message came by meanwhile is not this test's business.
  auto flags = [&] { return v->GetUpdateFlags() & ~JVWF_PAINTED; };
  EXPECT_EQ(v->SetUpdateFlags(JVWF_THREAD | JVWF_PROGRESS) & ~JVWF_PAINTED, 0u);
  log.result = 0;
  v->UpdateView(10, nullptr);
  EXPECT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(v->GetUpdateFlags() & JVWF_UPDATED, 0u) << "a failed first update does not count";
  log.result = 1;
  v->UpdateView(20, nullptr);
  EXPECT_EQ(log.calls.size(), 2u) << "still synchronous";
  EXPECT_EQ(log.calls.back().time, 20);
  EXPECT_FALSE(v->HasWorker());
  EXPECT_EQ(flags(), JVWF_THREAD | JVWF_PROGRESS | JVWF_UPDATED);
  EXPECT_EQ(v->SetUpdateFlags(0) & ~JVWF_PAINTED, JVWF_THREAD | JVWF_PROGRESS | JVWF_UPDATED);
  EXPECT_EQ(v->GetUpdateFlags(), JVWF_UPDATED) << "only the updated flag stays";
  // Without the thread flag every update stays on the calling thread.
  v->UpdateView(30, nullptr);
  EXPECT_EQ(log.calls.size(), 3u);
  EXPECT_FALSE(v->HasWorker());
  // A frozen view ignores updates.
  v->SetFreeze(1);
  v->UpdateView(40, nullptr);
  EXPECT_EQ(log.calls.size(), 3u);
  // The priority setter answers the previous priority, the normal one at first.
  EXPECT_EQ(v->SetUpdatePriority(THREAD_PRIORITY_BELOW_NORMAL), THREAD_PRIORITY_NORMAL);
  EXPECT_EQ(v->SetUpdatePriority(THREAD_PRIORITY_NORMAL), THREAD_PRIORITY_BELOW_NORMAL);
  v->Destroy();
}

TEST(ViewWndInstall, DisplayGammaAppliesToEveryByteAndTheSamePointerIsKept) {
  Bench b(kSmallW, kSmallH);
  ProbeView* v = b.Attach(ProbeView::Make(b.data));
  const size_t n = (size_t)kSmallW * kSmallH;
  auto make = [&](BYTE r, BYTE g, BYTE bl) {
    BMM_Color_24* p = static_cast<BMM_Color_24*>(malloc(n * sizeof(BMM_Color_24)));
    for (size_t i = 0; i < n; i++) p[i] = BMM_Color_24{r, g, bl};
    return p;
  };
  const GammaMgr saved = gammaMgr;
  for (int i = 0; i < 256; i++) gammaMgr.dispTable[i] = (BYTE)(255 - i);
  gammaMgr.enable = TRUE;
  *v = make(0, 100, 255);
  gammaMgr = saved;
  std::vector<BMM_Color_24> img = v->Image();
  ASSERT_EQ(img.size(), n);
  for (const BMM_Color_24& p : img) ASSERT_TRUE(Same(p, BMM_Color_24{255, 155, 0}));
  // Disabled: bytes as they are. Installing the shown pointer again keeps it (and frees nothing).
  BMM_Color_24* plain = make(1, 2, 3);
  *v = plain;
  *v = plain;
  EXPECT_EQ(v->Raw(), plain);
  EXPECT_TRUE(Same(v->Image()[n - 1], BMM_Color_24{1, 2, 3}));
  v->Destroy();
}

TEST(ViewWndPaint, FrameImageWhiteFillAndProgressLine) {
  Bench b(kSmallW, kSmallH);
  ProbeView* v = b.Attach(ProbeView::Make(b.data));
  const COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255);
  // Without an image: white inside a black frame.
  v->Redraw();
  EXPECT_EQ(quortest::WindowPixel(b.window, 0, 0), kBlack);
  EXPECT_EQ(quortest::WindowPixel(b.window, kSmallW + 1, kSmallH + 1), kBlack);
  EXPECT_EQ(quortest::WindowPixel(b.window, kFrame, kFrame), kWhite);
  EXPECT_EQ(quortest::WindowPixel(b.window, kSmallW, kSmallH), kWhite);

  RenderLog log;
  v->SetRender(Pattern, &log);
  b.dialog->time = 0x40;
  v->UpdateView(b.dialog->time, nullptr);
  EXPECT_EQ(quortest::WindowPixel(b.window, kFrame + 3, kFrame + 2), RGB(3, 2, 3 + 2 + 0x40))
      << "installing draws at once";

  // The paint message sets the painted flag.
  EXPECT_EQ(v->GetUpdateFlags() & JVWF_PAINTED, 0u);
  RedrawWindow(b.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(v->GetUpdateFlags() & JVWF_PAINTED, JVWF_PAINTED);

  // The progress line lies on the image's bottom row: white from left + 1 up to the share done,
  // black to right - 1 (exclusive), only while the progress flag is set.
  const int row = kFrame + kSmallH - 1;
  auto line = [&] {
    std::string s;
    for (int x = kFrame; x < kFrame + kSmallW; x++) {
      COLORREF c = quortest::WindowPixel(b.window, x, row);
      s += c == kWhite ? 'w' : c == kBlack ? 'k' : '.';
    }
    return s;
  };
  v->Redraw();
  const std::string image = line();
  SendMessageA(b.window, JWM_PROGRESS, 4, 8);
  EXPECT_EQ(line(), image) << "no progress flag, no line";
  v->SetUpdateFlags(JVWF_PROGRESS);
  SendMessageA(b.window, JWM_PROGRESS, 4, 8);  // x = 1 + (8 * 4) / 8 = 5
  EXPECT_EQ(line(), image.substr(0, 1) + "wwwkkkk" + image.substr(8));
  v->Redraw();
  SendMessageA(b.window, JWM_PROGRESS, 3, 0);
  EXPECT_EQ(line(), image) << "a total of 0 draws nothing";
  SendMessageA(b.window, JWM_PROGRESS, 12, 8);
  EXPECT_EQ(line(), image.substr(0, 1) + "wwwwwww" + image.substr(8)) << "done above total reaches the right end";

  int answer = 7;
  EXPECT_EQ(SendMessageA(b.window, JWM_QUERYABORT, 0, (LPARAM)&answer), 0);
  EXPECT_EQ(answer, 0);
  v->RaiseAbort();
  SendMessageA(b.window, JWM_QUERYABORT, 0, (LPARAM)&answer);
  EXPECT_EQ(answer, -1);
  EXPECT_EQ(SendMessageA(b.window, JWM_QUERYABORT, 0, 0), 0) << "a null pointer is left alone";
  v->ClearAbort();
  v->Destroy();
}
