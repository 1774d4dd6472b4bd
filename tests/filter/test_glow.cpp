// The glow sample as the host uses it: its settings dialog opened from the Postline's "Add Image
// Filter Event" dialog, a spinner dragged, the preview following, Cancel; and its pixel work.
#include "ControlDriver.h"
#include "FilterTest.h"
#include "GlowCore.h"
#include "Quorlib.h"
#include "TestSupport.h"
#include "glow_res.h"
#include "vpost.h"

#include <gtest/gtest.h>

#include <string>

using filtertest::Script;

namespace {

const char kGlowTitle[] = "Glow";
const int kEventFilters = 1201;  // the host's event dialog: the list of filter classes
const int kEventSetup = 1202;    // and its Setup button
const Class_ID kPreviewCountID(0x474C4F57, 0x50524556);  // the glow's count of preview renders
const DWORD kSettle = 1000;       // long enough for the preview's coalescing waits to end
const int kDragSteps = 12;
const DWORD kCoalesceWait = 200;  // the preview's wait for further changes
const int kPixelsPerStep = 4;
const float kSpinnerScale = 0.1f;  // the radius spinner's change per pixel

int PreviewCount(JDataBase* tree) {
  int n = 0;
  tree->Extensions().FindExtProperty(kPreviewCountID, &n);
  return n;
}

// The count of preview renders once none has started for a while (a pending restart waits only
// kCoalesceWait), so that a render still on its way on a busy machine is not counted later.
const DWORD kQuiet = 3 * kCoalesceWait;
const DWORD kSettleLimit = 10000;
int SettledCount(JDataBase* tree) {
  int n = PreviewCount(tree);
  DWORD since = GetTickCount();
  quortest::ControlDriver::PumpUntil(
      [&] {
        int now = PreviewCount(tree);
        if (now != n) {
          n = now;
          since = GetTickCount();
        }
        return GetTickCount() - since >= kQuiet;
      },
      kSettleLimit);
  return n;
}

}  // namespace

// The host's queue is an object of the scene, made on first use: before the test counts objects.
class GlowSample : public testing::Test {
 protected:
  static void SetUpTestSuite() { GetPostline(); }
};

TEST_F(GlowSample, TheDialogFromTheAddEventDialogPreviewsOnceABurstAndCancelRestores) {
  ASSERT_NE(LoadPluginModule(quortest::BinPath("glow.flt").c_str()), nullptr);
  IPostline* q = GetPostline();
  HWND queue = q->ShowQueueWindow();
  ASSERT_NE(queue, nullptr);

  HWND addDialog = nullptr, glowDialog = nullptr;
  JDataLeafBase* radius = nullptr;
  JDataBase* treeDuring = nullptr;
  float oldRadius = 0, draggedRadius = 0;
  int previewsBefore = 0, previewsAfter = 0;
  bool hostHidden = false, glowShown = false;
  std::string undoName;
  DWORD dragEnded = 0, burst = 0;
  quortest::ControlDriver mouse;

  Script script({
      [&] {  // pick the glow in the host's dialog and press Setup
        addDialog = quortest::FindOwnWindow("#32770", filtertest::kNewEventTitle);
        if (!addDialog) return false;
        LRESULT i = SendDlgItemMessageA(addDialog, kEventFilters, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)kGlowTitle);
        SendDlgItemMessageA(addDialog, kEventFilters, LB_SETCURSEL, (WPARAM)i, 0);
        PostMessageA(addDialog, WM_COMMAND, MAKEWPARAM(kEventSetup, BN_CLICKED), 0);
        return true;
      },
      [&] {  // the glow's dialog is open over hidden host windows: drag the radius spinner up
        glowDialog = quortest::FindOwnWindow("#32770", kGlowTitle);
        if (!glowDialog) return false;
        JViewDlgBase* dlg = dynamic_cast<JViewDlgBase*>(GetDlgProc(glowDialog));
        JViewCtl* spinner = dlg ? dlg->FindCtl(IDC_RADIUS_SPIN) : nullptr;
        JViewCtl* preview = dlg ? dlg->FindCtl(IDC_PREVIEW) : nullptr;
        if (!spinner || !preview) return true;  // the checks below fail
        // The dialog's initialisation pumps the host's messages (this timer too) before it
        // unfreezes the controls: wait until it is done.
        if (spinner->IsFreezed()) return false;
        hostHidden = !IsWindowVisible(addDialog) && !IsWindowVisible(queue);
        glowShown = IsWindowVisible(glowDialog) != 0;
        radius = dynamic_cast<JDataLeafBase*>(spinner->Data());
        treeDuring = preview->Data();
        oldRadius = radius ? radius->GetFValue(0) : 0;
        // Let the preview's first computations end, then count from here.
        previewsBefore = SettledCount(treeDuring);
        HWND spin = GetDlgItem(glowDialog, IDC_RADIUS_SPIN);
        const int x = 3, y = 5;
        DWORD burstStart = GetTickCount();
        mouse.LeftDown(spin, x, y);
        for (int k = 1; k <= kDragSteps; k++) mouse.MoveTo(spin, x, y - k * kPixelsPerStep);
        mouse.LeftUp(spin, x, y - kDragSteps * kPixelsPerStep);
        draggedRadius = radius ? radius->GetFValue(0) : 0;
        undoName = theHold.UndoName();
        dragEnded = GetTickCount();
        burst = dragEnded - burstStart;
        return true;
      },
      [&] {  // the preview has caught up: cancel
        if (GetTickCount() - dragEnded < kSettle) return false;
        previewsAfter = SettledCount(treeDuring);
        PostMessageA(glowDialog, WM_COMMAND, IDCANCEL, 0);
        return true;
      },
  });
  int index = q->DoAddEventDialog(queue);

  EXPECT_TRUE(hostHidden) << "the host's event dialog and queue window were hidden";
  EXPECT_TRUE(glowShown) << "the glow's dialog is shown in their place";
  ASSERT_NE(radius, nullptr) << "the glow's dialog did not open with its radius spinner and preview";
  EXPECT_FLOAT_EQ(draggedRadius, oldRadius + kDragSteps * kPixelsPerStep * kSpinnerScale)
      << "the drag wrote the radius";
  EXPECT_EQ(undoName, "Glow Settings") << "the drag is one undo step named by the dialog";
  int previews = previewsAfter - previewsBefore;
  EXPECT_GE(previews, 1) << "the preview followed the drag";
  // The view waits 200 ms after each change before it computes again: a burst shorter than that
  // costs one preview (two when the first began before the burst went on). On a slow run each
  // longer pause between two changes may cost one more, but never one a change.
  if (burst < kCoalesceWait) {
    EXPECT_LE(previews, 2) << "a burst of " << kDragSteps << " changes in " << burst << " ms";
  }
  EXPECT_LT(previews, kDragSteps / 2) << "the changes were not coalesced";

  ASSERT_GE(index, 0) << "the filter's dialog accepted the host's event dialog";
  JFilterBase* glow = dynamic_cast<JFilterBase*>(q->GetFilter(index));
  ASSERT_NE(glow, nullptr);
  JDataNode* tree = dynamic_cast<JDataNode*>(glow->Data());
  ASSERT_NE(tree, nullptr);
  EXPECT_NE(tree, treeDuring) << "Cancel put a copy taken before the dialog in the edited tree's place";
  JDataLeafBase* restored = dynamic_cast<JDataLeafBase*>((*tree)(0));
  ASSERT_NE(restored, nullptr);
  EXPECT_FLOAT_EQ(restored->GetFValue(0), oldRadius);
  // The glow's colour is a colour triple (a swatch over a one-number colour shows only red).
  const int kColourSlot = 3;
  EXPECT_NE(dynamic_cast<JColor3Data*>((*tree)(kColourSlot)), nullptr);
  EXPECT_TRUE(IsWindowVisible(queue)) << "the queue window is back";
  q->DeleteEvent(index);
  ShowWindow(queue, SW_HIDE);
  theHold.ClearHistory();  // the drag's undo step holds the edited tree's leaf
}

// ---- The pixel work --------------------------------------------------------------------------------

namespace {

const int kSide = 41;            // an odd square image with one bright pixel in its centre
const float kRadius = 4.0f;      // the blur box is 2 x 4 + 1 = 9 pixels wide
const WORD kGrey = 20000;        // a dark grey that stays under the threshold
const float kSmallRadius = 2.0f;  // for the preview comparison
const float kThreshold = 0.5f;
const int kEightBitSlack = 2;

// A 64-bit bitmap of the host's manager.
Bitmap* NewBitmap(int width, int height) {
  BitmapInfo bi;
  bi.SetWidth(width);
  bi.SetHeight(height);
  bi.SetType(BMM_TRUE_64);
  return TheManager->Create(&bi);
}

BMM_Color_64 Pixel(Bitmap* bm, int x, int y) {
  BMM_Color_64 p = {};
  bm->GetLinearPixels(x, y, 1, &p);
  return p;
}

// Settings of the given radius and the test threshold whose table adds the same colour at every
// level above 0, in proportion to the level. (Static: the tables are large.)
glow::Settings& RedGlow(float radius) {
  static glow::Settings s;
  s.radius = radius;
  s.threshold = kThreshold;
  std::vector<Point3> red(glow::kLevels, Point3(1, 0, 0));
  glow::FillTable(s, red.data(), 1.0f);
  return s;
}

}  // namespace

TEST(GlowCore, ABrightPixelLightsExactlyItsBlurBoxAndTheAddSaturates) {
  Bitmap* bm = NewBitmap(kSide, kSide);
  ASSERT_NE(bm, nullptr);
  bm->Fill(kGrey, kGrey, kGrey, 65535);
  const int c = kSide / 2;
  const BMM_Color_64 white = {65535, 65535, 65535, 65535};
  bm->PutPixels(c, c, 1, &white);

  const glow::Settings& s = RedGlow(kRadius);
  EXPECT_EQ(s.add[0][0], 0) << "level 0 adds nothing";
  EXPECT_EQ(s.add[glow::kLevels - 1][0], 65535);
  EXPECT_EQ(s.add[glow::kLevels - 1][1], 0);

  glow::Worker worker;
  ASSERT_EQ(worker.GlowBitmap(bm, s), 1);
  const int reach = (int)(2 * kRadius) / 2;  // half the box: 4 pixels each way
  for (int y = 0; y < kSide; y++)
    for (int x = 0; x < kSide; x++) {
      BMM_Color_64 p = Pixel(bm, x, y);
      bool inBox = abs(x - c) <= reach && abs(y - c) <= reach;
      SCOPED_TRACE(testing::Message() << "pixel " << x << ", " << y);
      if (x == c && y == c) {
        ASSERT_EQ(p.r, 65535) << "white plus red stays white";
      } else if (inBox) {
        ASSERT_GT(p.r, kGrey) << "inside the box the glow adds red";
        ASSERT_EQ(p.g, kGrey) << "and only red";
      } else {
        ASSERT_EQ(p.r, kGrey) << "outside the box nothing changes";
      }
    }
  bm->DeleteThis();
}

TEST(GlowCore, ThePreviewPathMatchesTheBitmapPathAtEightBits) {
  const int w = 64, h = 36;
  std::vector<BMM_Color_24> buf((size_t)w * h);
  ASSERT_TRUE(JFillDefault(buf.data(), w, h));
  Bitmap* bm = NewBitmap(w, h);
  ASSERT_NE(bm, nullptr);
  for (int i = 0; i < w * h; i++) {
    BMM_Color_64 p = {(WORD)(buf[i].r * 257), (WORD)(buf[i].g * 257), (WORD)(buf[i].b * 257), 65535};
    bm->PutPixels(i % w, i / w, 1, &p);
  }
  const std::vector<BMM_Color_24> original = buf;
  const glow::Settings& s = RedGlow(kSmallRadius);
  glow::Worker worker;
  ASSERT_EQ(worker.GlowPixels(buf.data(), w, h, s), 1);
  ASSERT_EQ(worker.GlowBitmap(bm, s), 1);
  int changed = 0;
  for (int i = 0; i < w * h; i++) {
    BMM_Color_64 p = Pixel(bm, i % w, i / w);
    // The two depths round the threshold, the mask levels and the table apart: two steps of 8 bits.
    ASSERT_NEAR(buf[i].r, p.r >> 8, kEightBitSlack) << "pixel " << i;
    ASSERT_NEAR(buf[i].g, p.g >> 8, kEightBitSlack) << "pixel " << i;
    changed += buf[i].r != original[i].r;
  }
  EXPECT_GT(changed, 0) << "the bright bars glow";
  EXPECT_LT(changed, w * h) << "the dark ramp does not";
  bm->DeleteThis();
}

// The host runs the glow over an image file, as a plug-in author tries a filter: the library's
// classes that the glow's parameters are made of are there although the run names no library,
// and no assertion comes up (a headless run prints them to stderr).
TEST(GlowVerb, TheHostRunsTheGlowOverAnImageFile) {
  const int kSquare = 4;
  Bitmap* bm = NewBitmap(kSide, kSide);
  ASSERT_NE(bm, nullptr);
  bm->Fill(kGrey, kGrey, kGrey, 65535);
  const int c = kSide / 2;
  const std::vector<BMM_Color_64> white(kSquare, BMM_Color_64{65535, 65535, 65535, 65535});
  for (int y = c; y < c + kSquare; y++) bm->PutPixels(c, y, kSquare, white.data());
  const std::string in = quortest::TempPath("glow-verb-in.bmp"), out = quortest::TempPath("glow-verb-out.png");
  DeleteFileA(out.c_str());
  BitmapInfo bi;
  bi.SetName(in.c_str());
  ASSERT_EQ(bm->OpenOutput(&bi), 1);
  ASSERT_EQ(bm->Write(&bi), 1);
  bm->Close(&bi);
  bm->DeleteThis();

  quortest::ProgramOutcome o = quortest::RunProgram(
      "vantor.exe", "filter \"" + quortest::BinPath("glow.flt") + "\" Glow --in \"" + in + "\" --out \"" + out + "\"");
  EXPECT_EQ(o.code, 0u) << o.err;
  EXPECT_EQ(o.err, "");
  BitmapInfo result;
  result.SetName(out.c_str());
  Bitmap* glowed = TheManager->Load(&result);
  ASSERT_NE(glowed, nullptr) << o.out;
  EXPECT_EQ(glowed->Width(), kSide);
  const int kBeside = 2;  // a pixel left of the square, inside the default radius
  EXPECT_GT(Pixel(glowed, c - kBeside, c).r, kGrey) << "light bleeds out of the white square";
  glowed->DeleteThis();
  DeleteFileA(in.c_str());
  DeleteFileA(out.c_str());
}
