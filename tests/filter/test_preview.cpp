// Filter preview windows: the letterbox, the on/off and Postline switches, the cached source
// image from the host's queue and when it is asked for again, the secondary previews that follow
// the main one, and the update button in a real dialog.
#include "PreviewTest.h"
#include "TestSupport.h"
#include "ViewWndTest.h"

#include <gtest/gtest.h>

#include <algorithm>

using previewtest::FilterDialog;
using previewtest::IsBlack;
using previewtest::kProgressTitle;
using previewtest::PreviewFilter;
using viewtest::ViewAccess;

namespace {

// The host's queue lives in the scene from its first use on: it is made before any test counts
// the live reference targets.
class QueueEnvironment : public testing::Environment {
 public:
  void SetUp() override { GetPostline(); }
};
testing::Environment* const queueEnvironment = testing::AddGlobalTestEnvironment(new QueueEnvironment);

const int kSecondId = viewtest::kViewId + 1;
const int kViewW = 200, kViewH = 150;
const int kSecondW = 100, kSecondH = 80;
const int kTicksPerFrame = 160;
const int kTime = 5 * kTicksPerFrame;
const int kLaterTime = 9 * kTicksPerFrame;
const DWORD kSourceType = 1;  // what the preview asks the host for: the image that reaches the filter
const unsigned kMsgInit = WM_INITDIALOG;

// The host's test scene has a sky at the top (more blue than red); the library's default
// background starts with a red bar.
bool FromScene(const BMM_Color_64& c) { return c.b > c.r; }
bool DefaultBackground(const BMM_Color_64& c) { return c.r > c.b && c.g == 0; }

JFloatData* Switch(float v) {
  JFloatData* s = Create_JFloatData();
  s->SetValue(0, v);
  return s;
}

// A main preview of kViewW x kViewH image pixels in a bench, with a secondary window beside it.
struct PreviewBench {
  PreviewBench() : bench(kViewW, kViewH) {
    second = bench.driver.Create(nullptr, "JUniversalWindow", kSecondId, 300, 10, kSecondW + 2, kSecondH + 2);
  }
  ~PreviewBench() {
    for (JFloatData* s : switches) s->DeleteMe();
  }
  JFloatData* Hold(JFloatData* s) {
    switches.push_back(s);
    return s;
  }
  JFloatData* On() { return Hold(Switch(1.0f)); }
  JFilterPreviewWnd* Main(JFloatData* onOff = nullptr, JFloatData* postline = nullptr) {
    JFilterPreviewWnd* v = JFilterPreviewWnd::Create(&filter, bench.data, viewtest::kViewId, onOff, postline);
    return v ? bench.Attach(v) : nullptr;
  }
  JFilterSecondaryPreviewWnd* Secondary(JFilterPreviewWnd* main, JFilterSecondaryRenderFunc f, void* user,
                                        JFloatData* onOff = nullptr) {
    JFilterSecondaryPreviewWnd* v = JFilterSecondaryPreviewWnd::Create(main, bench.data, kSecondId, f, user, onOff);
    return v ? bench.Attach(v) : nullptr;
  }
  PreviewFilter filter;
  viewtest::Bench bench;
  HWND second;
  std::vector<JFloatData*> switches;
};

// What a secondary's client callback was given.
struct SecondaryLog {
  struct Call {
    int width, height;        // the arguments
    int bitmapW, bitmapH;     // the bitmap's own size
    BMM_Color_64 first;
    HWND window;
  };
  std::vector<Call> calls;
  int result = 1;
};

int LogSecondary(Bitmap* bm, void* user, int, int width, int height, float, HWND window) {
  SecondaryLog* log = static_cast<SecondaryLog*>(user);
  SecondaryLog::Call c = {width, height, bm->Width(), bm->Height(), {}, window};
  bm->GetLinearPixels(0, 0, 1, &c.first);
  log->calls.push_back(c);
  return log->result;
}

bool SameImage(const std::vector<BMM_Color_24>& a, const std::vector<BMM_Color_24>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), viewtest::Same);
}

int PaintGreen(Bitmap* bm, JFilterBase*, int) {
  bm->Fill(0, 0xFFFF, 0, 0xFFFF);
  return 1;
}
int PaintNothing(Bitmap*, JFilterBase*, int) { return 0; }
int PaintFaulting(Bitmap*, JFilterBase*, int) {
  quortest::WriteThroughNull();
  return 1;
}

}  // namespace

TEST(PreviewLetterbox, ThePictureKeepsTheOutputsAspectInsideTheView) {
  const struct {
    int width, height;
    float aspect;
    int pictureW, pictureH;
  } cases[] = {
      {640, 480, 1.0f, 199, 150},   // ratio 100 x a single-precision hundredth: just below 1
      {720, 486, 0.9f, 199, 150},   // the same ratio through the pixel aspect
      {1920, 1080, 1.0f, 200, 112},  // 16:9: 133 hundredths, the picture lower than the view
      {480, 640, 1.0f, 111, 150},   // portrait: 56 hundredths, narrower
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width);
    PreviewBench b;
    ImageFilterInfo info = *b.filter.FilterInfo();
    info.width = c.width;
    info.height = c.height;
    info.aspect = c.aspect;
    b.filter.SetFilterInfo(&info);
    JFilterPreviewWnd* v = b.Main();
    ASSERT_NE(v, nullptr);
    v->UpdateView(kTime, nullptr);
    ASSERT_EQ(b.filter.renders.size(), 1u);
    const PreviewFilter::RenderCall& r = b.filter.renders[0];
    EXPECT_EQ(r.width, c.pictureW);
    EXPECT_EQ(r.height, c.pictureH);
    EXPECT_TRUE(DefaultBackground(r.first)) << "no Postline switch: the default background";
    EXPECT_FALSE(r.foreground);
    EXPECT_EQ(r.previewFlags, 1) << "the filter knows it renders a preview";
    EXPECT_EQ(b.filter.GetPreviewFlags(), 0) << "and afterwards that it does not";
    EXPECT_EQ(r.frame, kTime / kTicksPerFrame);
    EXPECT_EQ(r.window, b.bench.window) << "without a progress dialog the view's window hears the progress";
    EXPECT_TRUE(b.filter.previews.empty());
    // The bars outside the picture are black, the picture is not.
    const std::vector<BMM_Color_24> image = ViewAccess::Image(v);
    ASSERT_EQ(image.size(), (size_t)kViewW * kViewH);
    const int offX = (kViewW - c.pictureW) / 2, offY = (kViewH - c.pictureH) / 2;
    EXPECT_FALSE(IsBlack(image[(size_t)offY * kViewW + offX]));
    if (c.pictureW < kViewW) {
      EXPECT_TRUE(IsBlack(image[(size_t)offY * kViewW + kViewW - 1]));
    }
    if (c.pictureH < kViewH) {
      EXPECT_TRUE(IsBlack(image[(size_t)(kViewH - 1) * kViewW + offX]));
    }
  }
}

TEST(PreviewSwitches, OffIsBlackWithoutAskingTheHostOrTheFilter) {
  PreviewBench b;
  JFloatData* onOff = b.Hold(Switch(0.0f));
  JFilterPreviewWnd* v = b.Main(onOff, b.On());
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(ViewAccess::Compute(v), JViewWnd::kInstalled);
  for (const BMM_Color_24& p : ViewAccess::Image(v)) ASSERT_TRUE(IsBlack(p));
  EXPECT_TRUE(b.filter.previews.empty());
  EXPECT_TRUE(b.filter.renders.empty());

  // The main preview tests its switch as a float: 0.5 is on.
  onOff->SetValue(0, 0.5f);
  EXPECT_EQ(b.filter.renders.size(), 1u) << "the view follows its switch";
  EXPECT_EQ(ViewAccess::Compute(v), JViewWnd::kInstalled);
  EXPECT_EQ(b.filter.renders.size(), 2u);
}

TEST(PreviewSwitches, SetPutsTheSwitchesIntoTheirSlotsAndAnotherClassCountsAsNone) {
  PreviewBench b;
  JFilterPreviewWnd* v = b.Main();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->GetOnOff(), nullptr);
  EXPECT_EQ(v->GetVPOnOff(), nullptr);
  JFloatData* postline = b.On();
  v->Set(b.bench.data, kTime, nullptr, postline);
  EXPECT_EQ(v->GetDataCount(), 3);
  EXPECT_EQ(v->GetOnOff(), nullptr);
  EXPECT_EQ(v->GetVPOnOff(), postline);
  EXPECT_EQ(b.filter.previews.size(), 1u) << "Set shows the data: the host is asked for the source";

  JBoolData* other = Create_JBoolData();
  v->Set(b.bench.data, kTime, nullptr, nullptr);
  v->SetData(other, 1);
  EXPECT_EQ(v->GetOnOff(), nullptr) << "only a JFloatData is a switch";
  v->SetData(nullptr, 1);
  other->DeleteMe();
}

TEST(PreviewCache, TheHostIsAskedOnceUntilTheCacheIsDropped) {
  PreviewBench b;
  JFloatData* postline = b.On();
  JFilterPreviewWnd* v = b.Main(b.On(), postline);
  ASSERT_NE(v, nullptr);
  v->UpdateView(kTime, nullptr);
  ASSERT_EQ(b.filter.previews.size(), 1u);
  const PreviewFilter::PreviewCall& p = b.filter.previews[0];
  EXPECT_EQ(p.t, kTime);
  EXPECT_EQ(p.width, 199);
  EXPECT_EQ(p.height, kViewH);
  EXPECT_EQ(p.type, kSourceType);
  EXPECT_EQ(p.sourceFlag, 1) << "the flag is up while the host renders";
  EXPECT_EQ(b.filter.GetPreviewSource(), 0) << "and down again afterwards";
  EXPECT_FALSE(p.wantsSecond) << "only a filter with capability 8 gets a second input";
  EXPECT_EQ(p.window, kProgressTitle) << "the host reports to the progress dialog";
  ASSERT_EQ(b.filter.renders.size(), 1u);
  EXPECT_TRUE(FromScene(b.filter.renders[0].first)) << "the filter renders on the host's image";
  EXPECT_NE(b.filter.renders[0].window, b.bench.window) << "its progress goes to the progress dialog";
  ASSERT_NE(b.filter.Source(), nullptr) << "afterwards the cached source is the filter's again";
  EXPECT_EQ(b.filter.Source()->Width(), 199);

  // Another time re-runs the filter on the cached source.
  v->UpdateView(kLaterTime, nullptr);
  EXPECT_EQ(b.filter.previews.size(), 1u);
  ASSERT_EQ(b.filter.renders.size(), 2u);
  EXPECT_TRUE(FromScene(b.filter.renders[1].first));
  EXPECT_EQ(b.filter.renders[1].frame, kLaterTime / kTicksPerFrame);
  EXPECT_EQ(b.filter.renders[1].window, b.bench.window) << "no progress dialog without a host render";

  v->FullUpdate(kLaterTime);
  EXPECT_EQ(b.filter.previews.size(), 2u) << "FullUpdate drops the cache";
  EXPECT_EQ(b.filter.previews[1].t, kLaterTime);

  v->SetResolution(b.bench.data, 1, 0);  // 1:2
  v->UpdateView(kLaterTime, nullptr);
  ASSERT_EQ(b.filter.previews.size(), 3u) << "a new resolution drops the cache";
  EXPECT_EQ(b.filter.previews[2].width, (kViewW + 1) / 2 - 1);

  // Switching the Postline off drops the cache: the default background, and the host is asked
  // again when it comes back on.
  postline->SetValue(0, 0.0f);
  v->UpdateView(kLaterTime, nullptr);
  EXPECT_EQ(b.filter.previews.size(), 3u);
  EXPECT_TRUE(DefaultBackground(b.filter.renders.back().first));
  postline->SetValue(0, 1.0f);
  v->UpdateView(kLaterTime, nullptr);
  EXPECT_EQ(b.filter.previews.size(), 4u);
  EXPECT_TRUE(FromScene(b.filter.renders.back().first));
}

TEST(PreviewCache, AFailedHostPreviewOrRenderKeepsThePreviousImage) {
  PreviewBench b;
  JFloatData* postline = b.On();
  JFilterPreviewWnd* v = b.Main(b.On(), postline);
  ASSERT_NE(v, nullptr);
  ASSERT_EQ(ViewAccess::Compute(v), JViewWnd::kInstalled);
  const std::vector<BMM_Color_24> before = ViewAccess::Image(v);
  const size_t renders = b.filter.renders.size();

  b.filter.failPreview = true;
  v->FullUpdate(kTime);
  EXPECT_EQ(ViewAccess::Compute(v), JViewWnd::kRenderFailed);
  EXPECT_EQ(b.filter.renders.size(), renders) << "the filter is not run without its source";
  EXPECT_TRUE(SameImage(ViewAccess::Image(v), before));

  b.filter.failPreview = false;
  b.filter.renderResult = FALSE;
  b.filter.paint = true;
  EXPECT_EQ(ViewAccess::Compute(v), JViewWnd::kRenderFailed);
  EXPECT_TRUE(SameImage(ViewAccess::Image(v), before)) << "a failed render leaves the view as it was";
}

TEST(PreviewCache, AFaultInTheHostOrTheFilterGivesBackWhatThePreviewHeld) {
  PreviewBench b;
  JFilterPreviewWnd* v = b.Main(b.On(), b.On());
  ASSERT_NE(v, nullptr);
  HWND owner = GetAncestor(b.bench.window, GA_ROOT);
  const int bitmaps = TheManager->Count();

  // The filter faults while the progress dialog of a host render is up.
  b.filter.faultRender = true;
  EXPECT_EQ(ViewAccess::Compute(v), JViewWnd::kFaulted);
  ASSERT_EQ(b.filter.renders.size(), 1u);
  EXPECT_EQ(b.filter.renders[0].previewFlags, 1);
  EXPECT_EQ(b.filter.GetPreviewFlags(), 0);
  EXPECT_EQ(quortest::FindOwnWindow(nullptr, kProgressTitle), nullptr) << "the progress dialog is closed";
  EXPECT_TRUE(IsWindowEnabled(owner)) << "and its owner enabled again";
  ASSERT_NE(b.filter.Source(), nullptr) << "the cached source is the filter's again";
  EXPECT_EQ(b.filter.Source()->Width(), 199);
  EXPECT_EQ(TheManager->Count(), bitmaps + 1) << "the cache stays, the working bitmap is gone";

  b.filter.faultRender = false;
  EXPECT_EQ(ViewAccess::Compute(v), JViewWnd::kInstalled) << "the next render works, on the cache";
  EXPECT_EQ(b.filter.previews.size(), 1u);
  EXPECT_EQ(b.filter.renders.size(), 2u);

  // The host faults while it renders the source.
  b.filter.faultPreview = true;
  v->FullUpdate(kTime);
  const size_t previews = b.filter.previews.size();
  EXPECT_EQ(ViewAccess::Compute(v), JViewWnd::kFaulted);
  EXPECT_EQ(b.filter.previews.size(), previews + 1);
  EXPECT_EQ(b.filter.previews.back().sourceFlag, 1);
  EXPECT_EQ(b.filter.GetPreviewSource(), 0);
  EXPECT_EQ(quortest::FindOwnWindow(nullptr, kProgressTitle), nullptr);
  EXPECT_TRUE(IsWindowEnabled(owner));
  b.filter.faultPreview = false;
  EXPECT_EQ(ViewAccess::Compute(v), JViewWnd::kInstalled);
  EXPECT_TRUE(FromScene(b.filter.renders.back().first));

  // The client's background faults: without a Postline switch nothing is cached.
  PreviewBench plain;
  JFilterPreviewWnd* w = plain.Main();
  ASSERT_NE(w, nullptr);
  w->SetDefaultBack(PaintFaulting);
  const int plainBitmaps = TheManager->Count();
  EXPECT_EQ(ViewAccess::Compute(w), JViewWnd::kFaulted);
  EXPECT_TRUE(plain.filter.renders.empty());
  EXPECT_EQ(TheManager->Count(), plainBitmaps) << "the working bitmap is gone";
  EXPECT_EQ(plain.filter.Source(), nullptr);
  w->SetDefaultBack(nullptr);
  EXPECT_EQ(ViewAccess::Compute(w), JViewWnd::kInstalled);
}

TEST(PreviewCache, ACompositorGetsTheSecondInputWithItsSource) {
  PreviewBench b;
  b.filter.caps |= IMGFLT_COMPOSITOR;
  JFilterPreviewWnd* v = b.Main(b.On(), b.On());
  ASSERT_NE(v, nullptr);
  v->UpdateView(kTime, nullptr);
  ASSERT_EQ(b.filter.previews.size(), 1u);
  EXPECT_TRUE(b.filter.previews[0].wantsSecond);
  ASSERT_EQ(b.filter.renders.size(), 1u);
  EXPECT_TRUE(b.filter.renders[0].foreground);
  ASSERT_NE(b.filter.Foreground(), nullptr) << "the cached second input stays the filter's";
  EXPECT_EQ(b.filter.Foreground()->Width(), 199);
  v->UpdateView(kLaterTime, nullptr);
  EXPECT_TRUE(b.filter.renders[1].foreground) << "from the cache as well";
}

TEST(PreviewBackground, TheClientsBackgroundOrTheDefault) {
  PreviewBench b;
  JFilterPreviewWnd* v = b.Main();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->SetDefaultBack(PaintGreen), nullptr);
  v->UpdateView(kTime, nullptr);
  ASSERT_EQ(b.filter.renders.size(), 1u);
  EXPECT_EQ(b.filter.renders[0].first.g, 0xFFFF);
  EXPECT_EQ(b.filter.renders[0].first.r, 0);
  EXPECT_EQ(v->SetDefaultBack(PaintNothing), PaintGreen);
  v->UpdateView(kTime, nullptr);
  EXPECT_TRUE(DefaultBackground(b.filter.renders[1].first)) << "a background function that answers 0";
}

TEST(PreviewSecondary, FollowsTheMainPreviewsCache) {
  PreviewBench b;
  JFloatData* postline = b.On();
  JFilterPreviewWnd* main = b.Main(b.On(), postline);
  ASSERT_NE(main, nullptr);
  SecondaryLog log;
  JFilterSecondaryPreviewWnd* s = b.Secondary(main, LogSecondary, &log);
  ASSERT_NE(s, nullptr);

  // Before the main preview has a source: the default background at the view's size.
  s->UpdateView(kTime, nullptr);
  ASSERT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(log.calls[0].width, kSecondW);
  EXPECT_EQ(log.calls[0].height, kSecondH);
  EXPECT_TRUE(DefaultBackground(log.calls[0].first));
  EXPECT_EQ(log.calls[0].window, b.second);

  // The main preview fills its cache and refreshes the secondary, which now shows the source
  // letterboxed by the cache's own size (199 x 150: 100 hundredths, just below 1).
  main->UpdateView(kTime, nullptr);
  ASSERT_EQ(log.calls.size(), 2u);
  EXPECT_EQ(log.calls[1].width, 99);
  EXPECT_EQ(log.calls[1].height, kSecondH);
  EXPECT_EQ(log.calls[1].bitmapW, 99);
  EXPECT_TRUE(FromScene(log.calls[1].first));
  const std::vector<BMM_Color_24> image = ViewAccess::Image(s);
  ASSERT_EQ(image.size(), (size_t)kSecondW * kSecondH);
  EXPECT_TRUE(IsBlack(image[kSecondW - 1])) << "the letterbox bar";
  EXPECT_FALSE(IsBlack(image[0]));

  // A new time uses the cache: nothing for the secondaries.
  main->UpdateView(kLaterTime, nullptr);
  EXPECT_EQ(log.calls.size(), 2u);

  // Dropping the cache by the switch refreshes them again, back to the background.
  postline->SetValue(0, 0.0f);
  main->UpdateView(kLaterTime, nullptr);
  ASSERT_EQ(log.calls.size(), 3u);
  EXPECT_TRUE(DefaultBackground(log.calls[2].first));
  EXPECT_EQ(log.calls[2].width, kSecondW);
}

TEST(PreviewSecondary, ItsSwitchIsAnIntegerAndItsResultIsTheViews) {
  PreviewBench b;
  JFilterPreviewWnd* main = b.Main();
  ASSERT_NE(main, nullptr);
  SecondaryLog log;
  JFloatData* onOff = b.Hold(Switch(0.5f));
  JFilterSecondaryPreviewWnd* s = b.Secondary(main, LogSecondary, &log, onOff);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(ViewAccess::Compute(s), JViewWnd::kInstalled);
  EXPECT_TRUE(log.calls.empty()) << "0.5 truncates to 0: off";
  for (const BMM_Color_24& p : ViewAccess::Image(s)) ASSERT_TRUE(IsBlack(p));

  log.result = 0;
  onOff->SetValue(0, 1.0f);
  EXPECT_EQ(log.calls.size(), 1u) << "the view follows its switch";
  EXPECT_EQ(ViewAccess::Compute(s), JViewWnd::kRenderFailed);
  EXPECT_EQ(log.calls.size(), 2u);

  // Without a callback the picture is the background itself; with its own background function.
  JFilterSecondaryPreviewWnd* plain = JFilterSecondaryPreviewWnd::Create(main, b.bench.data, kSecondId, nullptr,
                                                                         nullptr, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->SetDefaultBack(PaintGreen), nullptr);
  b.bench.Attach(plain);
  EXPECT_EQ(ViewAccess::Compute(plain), JViewWnd::kInstalled);
  const std::vector<BMM_Color_24> image = ViewAccess::Image(plain);
  ASSERT_FALSE(image.empty());
  EXPECT_EQ(image[0].g, 255);
  EXPECT_EQ(image[0].r, 0);
}

TEST(PreviewSecondary, ClosedFrozenAndDeletedSecondariesAreSkipped) {
  PreviewBench b;
  JFloatData* postline = b.On();
  JFilterPreviewWnd* main = b.Main(nullptr, postline);
  ASSERT_NE(main, nullptr);
  SecondaryLog frozenLog, goneLog, deletedLog;
  HWND gone = b.bench.driver.Create(nullptr, "JUniversalWindow", kSecondId + 1, 10, 200, 50, 50);
  HWND deleted = b.bench.driver.Create(nullptr, "JUniversalWindow", kSecondId + 2, 80, 200, 50, 50);
  JFilterSecondaryPreviewWnd* frozen = b.Secondary(main, LogSecondary, &frozenLog);
  JFilterSecondaryPreviewWnd* closed =
      JFilterSecondaryPreviewWnd::Create(main, b.bench.data, kSecondId + 1, LogSecondary, &goneLog, nullptr);
  JFilterSecondaryPreviewWnd* dead =
      JFilterSecondaryPreviewWnd::Create(main, b.bench.data, kSecondId + 2, LogSecondary, &deletedLog, nullptr);
  ASSERT_TRUE(frozen && closed && dead);
  b.bench.Attach(closed);
  b.bench.Attach(dead);
  frozen->SetFreeze(1);
  DestroyWindow(gone);
  *b.bench.dialog -= dead;
  dead->Destroy();
  DestroyWindow(deleted);

  main->UpdateView(kTime, nullptr);
  main->UpdateSecondaries(kTime);
  main->AbortUpdate();
  EXPECT_TRUE(frozenLog.calls.empty());
  EXPECT_TRUE(goneLog.calls.empty());
  EXPECT_TRUE(deletedLog.calls.empty());

  frozen->SetFreeze(0);
  main->UpdateSecondaries(kTime);
  EXPECT_EQ(frozenLog.calls.size(), 1u);
}

TEST(PreviewThread, AWorkerRendersTheHostsSourceAndFollowsTheTime) {
  PreviewBench b;
  JFilterPreviewWnd* v = b.Main(b.On(), b.On());
  ASSERT_NE(v, nullptr);
  v->SetUpdateFlags(JVWF_THREAD);
  v->UpdateView(kTime, nullptr);  // the first update is synchronous
  ASSERT_EQ(b.filter.renders.size(), 1u);
  v->UpdateView(kLaterTime, nullptr);
  EXPECT_TRUE(quortest::ControlDriver::PumpUntil([&] { return b.filter.renderCount.load() == 2; }, 5000));
  v->AbortUpdate();
  ASSERT_EQ(b.filter.renders.size(), 2u);
  EXPECT_EQ(b.filter.renders[1].frame, kLaterTime / kTicksPerFrame);
  EXPECT_TRUE(FromScene(b.filter.renders[1].first));
  EXPECT_EQ(b.filter.previews.size(), 1u);

  v->FullUpdate(kLaterTime);
  EXPECT_TRUE(quortest::ControlDriver::PumpUntil([&] { return b.filter.renderCount.load() == 3; }, 5000));
  v->AbortUpdate();
  EXPECT_EQ(b.filter.previews.size(), 2u) << "the worker asks the host again";
  EXPECT_EQ(b.filter.previews.back().window, kProgressTitle);
}

// ---- The update button in a filter dialog --------------------------------------------------------

namespace {

struct ButtonLog {
  struct Call {
    int slot;
    unsigned msg;
    int previews;  // host previews made when the callback ran
  };
  PreviewFilter* filter = nullptr;
  std::vector<Call> calls;
};

template <int Slot>
void Heard(JCustButton*, void* user, int, int, unsigned int msg, UINT_PTR) {
  ButtonLog* log = static_cast<ButtonLog*>(user);
  log->calls.push_back({Slot, msg, (int)log->filter->previews.size()});
}

struct UpdateButton : testing::Test {
  void SetUp() override {
    // Not a dialog for a new event, whatever an earlier test left behind.
    previewtest::SeenEventDialog(previewtest::kEditEventTitle);
    InitCustomControls(GetModuleHandleA(nullptr));
    postline = Switch(1.0f);
    onOff = Switch(1.0f);
    log.filter = &filter;
  }
  void TearDown() override {
    if (dlg) dlg->Close();
    postline->DeleteMe();
    onOff->DeleteMe();
  }
  // Opens the dialog with a main preview and the update button.
  void Open() {
    dlg = new FilterDialog(filter.Data());
    preview = JFilterPreviewWnd::Create(&filter, filter.Data(), IDC_TEST_MAIN, onOff, postline);
    button = JUpdateFPWButton::Create(preview, IDC_TEST_UPDATE, Heard<1>, &log, Heard<2>, &log);
    ASSERT_TRUE(preview && button);
    *dlg += preview;
    *dlg += button;
    ASSERT_NE(JOneModelessBase::CreateDlg(nullptr, dlg), nullptr);
  }
  PreviewFilter filter;
  JFloatData* postline = nullptr;
  JFloatData* onOff = nullptr;
  ButtonLog log;
  FilterDialog* dlg = nullptr;
  JFilterPreviewWnd* preview = nullptr;
  JUpdateFPWButton* button = nullptr;
};

}  // namespace

TEST_F(UpdateButton, AClickRendersTheMainPreviewFromScratch) {
  Open();
  ASSERT_NE(button->ICB(), nullptr);
  EXPECT_EQ(button->ICB()->GetType(), CBT_PUSH);
  EXPECT_TRUE(button->ICB()->IsEnabled());
  ASSERT_EQ(filter.previews.size(), 1u) << "the dialog opens with a preview";
  ASSERT_GE(log.calls.size(), 2u);
  EXPECT_EQ(log.calls[0].slot, 1);
  EXPECT_EQ(log.calls[0].msg, kMsgInit);
  EXPECT_EQ(log.calls[1].slot, 2);
  EXPECT_EQ(log.calls[1].msg, kMsgInit);

  log.calls.clear();
  dlg->Command(IDC_TEST_UPDATE);
  EXPECT_EQ(filter.previews.size(), 2u);
  ASSERT_EQ(log.calls.size(), 2u);
  EXPECT_EQ(log.calls[0].slot, 1);
  EXPECT_EQ(log.calls[0].msg, (unsigned)WM_COMMAND);
  EXPECT_EQ(log.calls[0].previews, 1) << "the client's first callback runs before the update";
  EXPECT_EQ(log.calls[1].slot, 2);
  EXPECT_EQ(log.calls[1].previews, 2) << "the second after it";
  EXPECT_TRUE(button->ICB()->IsEnabled()) << "enabled again after the update";
}

TEST_F(UpdateButton, IsGreyedInADialogForANewFilterEvent) {
  previewtest::SeenEventDialog(previewtest::kNewEventTitle);
  ASSERT_EQ(JNewFilterEvent(), 1);
  Open();
  EXPECT_FALSE(button->ICB()->IsEnabled());
  previewtest::SeenEventDialog(previewtest::kEditEventTitle);
}
