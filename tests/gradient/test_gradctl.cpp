// The gradient window in a real dialog, with its markers and label, driven by the messages a
// person produces: clicks add flags, marker commands and keys delete and step, the context menu's
// commands reset, copy, paste, load and save the gradient and switch the modes.
#include "ControlDriver.h"
#include "GradTest.h"
#include "Recorder.h"
#include "TestSupport.h"
#include "gradres.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <math.h>
#include <process.h>
#include <stdio.h>

#include <set>
#include <string>
#include <vector>

using gradtest::kDefaultLayout;

namespace {

const Class_ID kBlockID(0x47726164, 0x426C6B31);
const int kMarkerTipX = 4;       // (marker width 9 - 1) / 2
const int kTipLift = 5;          // the tips run this far above the image's lower edge
const int kPumpMs = 5000;
const int kMenuCloseMs = 100;
const int kMarkerDelete = 1001;  // the marker menu's Delete
const int kNameEdit = 1152;      // the file dialogs' name box
const unsigned long kPlain = 0;
const float kExact = 0.0f;
const float kColorTolerance = 1e-5f;

// Menu commands of the gradient window.
enum {
  kReset = 1102,
  kLoad = 1103,
  kSave = 1104,
  kLoadUVMap = 1105,
  kLoadBitmap = 1107,
  kFlagMode = 1110,
  kCopy = 1111,
  kPaste = 1112,
  kLowValue = 1202
};

// A plug-in's parameter block: child 0 the gradient, child 1 the composite choice.
class GradBlock : public JDataNode {
 public:
  explicit GradBlock(int loading) {
    if (loading) return;
    Add(Create_JGradCtlData(), "Gradient");
    Add(Create_JFloatData(), "Composite");
  }
  JClassDescBase* GetCD() override;
};
JClassDesc<GradBlock, ReferenceTargetRTTI> blockDesc(0, "GradBlock", 0x200, kBlockID, "");
JClassDescBase* GradBlock::GetCD() { return &blockDesc; }

// The plug-in's dialog: the library's modeless dialog over the test's template.
class GradDlg : public JOneModelessBase {
 public:
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int IdDlg() override { return IDD_GRADIENT; }
  const char* ActionName() override { return "Edit Gradient"; }
  int SwitchData(JDataBase*, void*) override { return 1; }
};

// Ends the menu being tracked (a thread timer's procedure).
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  EndMenu();
}

// One gradient window in its own dialog, over a block held for the length of the test.
struct GradientDialog {
  GradientDialog(unsigned long style, bool withComposite, HINSTANCE layoutModule, int layout) {
    block = JCreateRegistered<GradBlock>(0x200, kBlockID);
    holder = new quortest::Recorder(1);
    holder->Hold(block);
    if (layout) Gradient()->LoadResource(layoutModule, layout);
    win = JGradCtl::Create(block, 0, -1, IDC_GRADIENT, (int)style, withComposite ? Composite() : nullptr,
                           IDC_GRAD_LABEL);
    dlg = new GradDlg;
    *dlg += win;
    if (JOneModelessBase::CreateDlg(nullptr, dlg) != dlg) {
      dlg = nullptr;
      return;
    }
    wnd = GetDlgItem(dlg->GetHwnd(), IDC_GRADIENT);
    quortest::ControlDriver::PumpUntil([this] { return (win->GetUpdateFlags() & JVWF_PAINTED) != 0; }, kPumpMs);
  }
  ~GradientDialog() {
    Close();
    holder->DeleteMe();
  }
  void Close() {
    if (dlg) SendMessageA(dlg->GetHwnd(), WM_CLOSE, 0, 0);
    dlg = nullptr;
  }
  bool Ok() const { return dlg != nullptr && wnd != nullptr; }

  JGradCtlData* Gradient() { return static_cast<JGradCtlData*>((*block)(0)); }
  JFloatData* Composite() { return static_cast<JFloatData*>((*block)(1)); }
  JGradCtlLabel* Label() {
    return dynamic_cast<JGradCtlLabel*>(GetWinProc(GetDlgItem(dlg->GetHwnd(), IDC_GRAD_LABEL)));
  }
  std::string LabelText() {
    char text[512];
    JGradCtlLabel* l = Label();
    if (!l) return "<no label>";
    l->GetText(text, sizeof text);
    return text;
  }
  // The marker line in the window's client coordinates: the image inset by one pixel, tips
  // a little above its lower edge.
  int TipLeft() { return 1; }
  int TipRight() {
    RECT r;
    GetClientRect(wnd, &r);
    return r.right - 2;
  }
  int TipY() {
    RECT r;
    GetClientRect(wnd, &r);
    return (r.bottom - 1) - 1 - kTipLift;
  }
  // A click on the gradient at client x; the new marker then holds the mouse until release.
  void ClickAt(int x) {
    driver.LeftDown(wnd, x, 1);
    driver.LeftUp(wnd, x, 1);
  }
  JFlagCtlData* Flag(int i) { return win->Data() ? win->Data()->GetFlag(i) : nullptr; }
  std::string FlagName(int i) {
    const char* n = Flag(i) ? Flag(i)->GetName() : nullptr;
    return n ? n : "";
  }
  // Deletes flag i as the user does, with its marker's Delete command.
  void DeleteWithMarker(int i) {
    JFlagCtl* m = win->GetFlagCtl(i);
    ASSERT_NE(m, nullptr);
    SendMessageA(m->GetHwnd(), WM_COMMAND, kMarkerDelete, 0);
  }
  void Command(int id) { SendMessageA(wnd, WM_COMMAND, id, 0); }
  // Right-clicks the window and closes its menu once it is up; answers item id's menu state.
  UINT MenuState(int id) {
    SetTimer(nullptr, 0, kMenuCloseMs, CloseMenu);
    driver.RightDown(wnd, 10, 5);
    driver.RightUp(wnd, 10, 5);
    return GetMenuState(win->GetMenu(), id, MF_BYCOMMAND);
  }

  quortest::Recorder* holder = nullptr;
  GradBlock* block = nullptr;
  JGradCtl* win = nullptr;
  GradDlg* dlg = nullptr;
  HWND wnd = nullptr;
  quortest::ControlDriver driver;
};


// Answers the next modal dialogs of the calling thread one after another, as a person does: for
// each step it waits for a new visible dialog (the previous one gone), reads its caption and
// message, types into an edit control and presses a button. A dialog that a step does not close
// is cancelled, so that a test never hangs.
class DialogScript {
 public:
  struct Step {
    Step(int b, int e, std::string t) : button(b), edit(e), text(std::move(t)) {}
    int button;
    int edit;  // 0: nothing to type
    std::string text;
    std::string caption;  // what the dialog showed
    std::string message;
  };
  explicit DialogScript(std::vector<Step> s) : steps(std::move(s)), guiThread(GetCurrentThreadId()) {
    EnumThreadWindows(guiThread, Collect, reinterpret_cast<LPARAM>(&seen));
    thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Run, this, 0, nullptr));
  }
  ~DialogScript() { Wait(); }
  // Waits for the script to end; the number of steps that found their dialog.
  int Wait() {
    if (thread) {
      quortest::ControlDriver::PumpUntil([this] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, kScriptMs);
      CloseHandle(thread);
      thread = nullptr;
    }
    return done;
  }
  std::vector<Step> steps;

 private:
  static const DWORD kScriptMs = 20000;
  static BOOL CALLBACK Collect(HWND w, LPARAM set) {
    reinterpret_cast<std::set<HWND>*>(set)->insert(w);
    return TRUE;
  }
  static unsigned __stdcall Run(void* self) {
    static_cast<DialogScript*>(self)->Drive();
    return 0;
  }
  void Drive() {
    const int kSettleMs = 100, kPollMs = 20;
    for (Step& step : steps) {
      HWND dlg = nullptr;
      for (DWORD start = GetTickCount(); !dlg && GetTickCount() - start < kScriptMs;) {
        dlg = quortest::FindDialogOf(guiThread, [this](HWND w) { return seen.count(w) == 0; });
        if (!dlg) Sleep(kPollMs);
      }
      if (!dlg) return;
      seen.insert(dlg);
      Sleep(kSettleMs);
      step.caption = quortest::WindowText(dlg);
      if (HWND m = GetDlgItem(dlg, 0xFFFF)) step.message = quortest::WindowText(m);
      if (step.edit) SendMessageA(GetDlgItem(dlg, step.edit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.text.c_str()));
      PostMessageA(dlg, WM_COMMAND, (WPARAM)step.button, (LPARAM)GetDlgItem(dlg, step.button));
      for (DWORD start = GetTickCount(); IsWindow(dlg) && GetTickCount() - start < kScriptMs;) Sleep(kPollMs);
      if (IsWindow(dlg)) {
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        return;
      }
      done++;
    }
  }
  std::set<HWND> seen;
  DWORD guiThread;
  HANDLE thread = nullptr;
  int done = 0;
};

void ExpectColor(const Point3& c, float r, float g, float b) {
  EXPECT_NEAR(c.x, r, kColorTolerance);
  EXPECT_NEAR(c.y, g, kColorTolerance);
  EXPECT_NEAR(c.z, b, kColorTolerance);
}

Point3 FlagColor(JFlagCtlData* f) {
  Point3 c(-1.0f, -1.0f, -1.0f);
  if (f) f->GetColor(0, c);
  return c;
}

float FlagPos(JFlagCtlData* f) {
  float p = -1.0f;
  if (f) f->GetPos(0, p);
  return p;
}

unsigned Style(JFlagCtl* m) { return m ? (unsigned)m->GetStyle() : 0u; }

std::vector<BMM_Color_24> Row(JGradCtlData* g, int width) {
  std::vector<BMM_Color_24> row((size_t)width);
  g->Render(row.data(), 0, width, 1, 1.0f, 0);
  return row;
}

// A gradient window over the test program's three-flag layout (Flag #1, #2 and #7).
struct ThreeFlagWindow : testing::Test {
  void SetUp() override { ASSERT_TRUE(d.Ok()); }
  GradientDialog d{kPlain, true, GetModuleHandleA(nullptr), IDR_THREE_FLAGS};
};

}  // namespace

TEST(GradientWindow, AClickAddsAFlagWithTheColourTheGradientHadThere) {
  GradientDialog d(kPlain, true, GetLibInstance(), kDefaultLayout);
  ASSERT_TRUE(d.Ok());
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 2);
  EXPECT_EQ(d.win->GetFlagCtlCount(), 2);
  // Two flags cannot be deleted, nor a flag the gradient does not hold.
  EXPECT_EQ(d.win->MayDelete(d.Flag(0)), 0);
  EXPECT_EQ(d.win->MayDelete(nullptr), 0);
  EXPECT_EQ(d.win->Delete(nullptr), 0);
  EXPECT_EQ(d.win->Data()->GetFlagCount(), 2);

  // Far left and far right: exactly the ends, with the end colours.
  d.ClickAt(0);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 3);
  EXPECT_EQ(FlagPos(d.Flag(2)), kExact);
  ExpectColor(FlagColor(d.Flag(2)), 1.0f, 0.0f, 0.0f);
  RECT client;
  GetClientRect(d.wnd, &client);
  d.ClickAt(client.right - 1);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 4);
  EXPECT_EQ(FlagPos(d.Flag(3)), 1.0f);
  ExpectColor(FlagColor(d.Flag(3)), 0.0f, 0.0f, 1.0f);

  // In between: the position along the marker line, the colour the gradient had, and the same
  // picture afterwards.
  const int kRowWidth = 64;
  std::vector<BMM_Color_24> before = Row(d.win->Data(), kRowWidth);
  int x = d.TipLeft() + (d.TipRight() - d.TipLeft()) / 3;
  float pos = (float)(x - d.TipLeft()) / (float)(d.TipRight() - d.TipLeft());
  Point3 expected;
  d.win->Data()->GetColor(expected, pos, 0);
  d.ClickAt(x);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 5);
  JFlagCtlData* added = d.Flag(4);
  EXPECT_FLOAT_EQ(FlagPos(added), pos);
  ExpectColor(FlagColor(added), expected.x, expected.y, expected.z);
  std::vector<BMM_Color_24> after = Row(d.win->Data(), kRowWidth);
  for (int i = 0; i < kRowWidth; i++) {
    EXPECT_LE(abs(before[i].r - after[i].r), 1) << "column " << i;
    EXPECT_LE(abs(before[i].b - after[i].b), 1) << "column " << i;
  }

  // One marker per flag, the new one active, its tip on the click's column of the marker line.
  ASSERT_EQ(d.win->GetFlagCtlCount(), 5);
  EXPECT_EQ(d.win->GetLastActive(), 4);
  EXPECT_TRUE(d.win->IsActive(added));
  JFlagCtl* marker = d.win->GetFlagCtl(4);
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(marker->Data(), added);
  RECT m;
  GetWindowRect(marker->GetHwnd(), &m);
  MapWindowPoints(nullptr, d.wnd, reinterpret_cast<POINT*>(&m), 2);
  EXPECT_EQ(m.left + kMarkerTipX, x);
  EXPECT_EQ(m.top, d.TipY());
  EXPECT_EQ(GetCapture(), nullptr) << "the release ends the new marker's drag";
  EXPECT_EQ(d.win->GetFlagCtl(5), nullptr);
}

TEST_F(ThreeFlagWindow, NewFlagsAreNumberedAfterTheLargestFlagNumber) {
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 3);
  EXPECT_EQ(d.win->GetNextFlagNumber(), 7u);
  d.ClickAt(d.TipLeft() + 10);
  EXPECT_EQ(d.FlagName(3), "Flag #8");
  // Deleting renumbers from the flags that are left: #1 and #2.
  d.DeleteWithMarker(3);
  d.DeleteWithMarker(2);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 2);
  EXPECT_EQ(d.win->GetNextFlagNumber(), 2u);
  d.ClickAt(d.TipLeft() + 10);
  EXPECT_EQ(d.FlagName(2), "Flag #3");
}

TEST_F(ThreeFlagWindow, DeletingAFlagActivatesTheOneBeforeItInSetOrder) {
  d.ClickAt(d.TipLeft() + 20);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 4);

  // Index 2 of four, active: index 1 takes over.
  JFlagCtl* third = d.win->GetFlagCtl(2);
  ASSERT_NE(third, nullptr);
  d.driver.LeftDown(third->GetHwnd(), kMarkerTipX, 6);
  d.driver.LeftUp(third->GetHwnd(), kMarkerTipX, 6);
  EXPECT_EQ(d.win->GetLastActive(), 2);
  d.DeleteWithMarker(2);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 3);
  EXPECT_EQ(d.win->GetFlagCtlCount(), 3);
  EXPECT_EQ(d.win->GetLastActive(), 1);
  EXPECT_TRUE(d.win->IsActive(d.Flag(1)));
  EXPECT_FALSE(d.win->IsActive(d.Flag(2)));

  // Index 0 of four: the last flag takes over, at index n - 2 once the first is gone.
  d.ClickAt(d.TipLeft() + 30);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 4);
  JFlagCtlData* last = d.Flag(3);
  d.win->GetFlagCtl(0)->DestroyFlag(1);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 3);
  EXPECT_EQ(d.win->GetLastActive(), 2);
  EXPECT_EQ(d.Flag(2), last);
  EXPECT_TRUE(d.win->IsActive(last));
  for (int i = 0; i < 3; i++) EXPECT_EQ(d.win->GetFlagCtl(i)->Data(), d.Flag(i)) << "marker " << i;
}

TEST_F(ThreeFlagWindow, ArrowKeysStepThroughTheFlagsInSetOrderAndWrap) {
  EXPECT_EQ(d.win->GetLastActive(), 0);
  // Set order, not position order: Flag #7 at 0.5 is the third.
  d.driver.Focus(d.win->GetFlagCtl(0)->GetHwnd());
  d.driver.Key(VK_RIGHT);
  EXPECT_EQ(d.win->GetLastActive(), 1);
  d.driver.Key(VK_UP);
  EXPECT_EQ(d.win->GetLastActive(), 2);
  d.driver.Key(VK_RIGHT);
  EXPECT_EQ(d.win->GetLastActive(), 0) << "past the last comes the first";
  d.driver.Key(VK_LEFT);
  EXPECT_EQ(d.win->GetLastActive(), 2) << "before the first comes the last";
  EXPECT_EQ(GetFocus(), d.win->GetFlagCtl(2)->GetHwnd());
  // Null steps from the active flag.
  EXPECT_EQ(d.win->Prev(nullptr), d.win->GetFlagCtl(1));
  EXPECT_EQ(d.win->Next(nullptr), d.win->GetFlagCtl(2));
  EXPECT_EQ(d.win->GetIndex(d.Flag(2)), 2);
  EXPECT_EQ(d.win->GetIndex(nullptr), -1);
}

TEST_F(ThreeFlagWindow, BitmapModesHideTheInnerMarkersAndIgnoreClicks) {
  EXPECT_NE(d.win->MayDelete(d.Flag(2)), 0);
  EXPECT_NE(d.MenuState(kFlagMode) & MF_CHECKED, 0u);

  for (int mode : {JGradCtlData::kUVMapMode, JGradCtlData::kBitmapMode}) {
    d.win->SetMode(mode);
    d.ClickAt(d.TipLeft() + 10);
    EXPECT_EQ(d.win->Data()->GetFlagCount(), 3) << "mode " << mode;
    EXPECT_FALSE(IsWindowVisible(d.win->GetFlagCtl(2)->GetHwnd()));
    for (int i = 0; i < 2; i++) EXPECT_NE(Style(d.win->GetFlagCtl(i)) & JFlagCtl::kStyleDisabled, 0u);
    EXPECT_EQ(d.win->MayDelete(d.Flag(2)), 0);
    EXPECT_FALSE(d.win->IsActive(d.Flag(0))) << "no flag is active outside flag mode";
    EXPECT_EQ(d.MenuState(mode == JGradCtlData::kUVMapMode ? kLoadUVMap : kLoadBitmap) & MF_CHECKED, (UINT)MF_CHECKED);
    EXPECT_EQ(d.MenuState(kFlagMode) & MF_CHECKED, 0u);
  }
  // A refused delete keeps the flag and its marker.
  {
    quortest::ModalDriver box(IDOK);
    d.DeleteWithMarker(2);
    ASSERT_TRUE(box.Wait());
    EXPECT_EQ(box.Caption(), "Gradient Control");
    EXPECT_EQ(box.Text(), "Cannot delete this flag.");
    EXPECT_EQ(d.win->Data()->GetFlagCount(), 3);
  }

  d.Command(kFlagMode);
  EXPECT_EQ(d.win->GetMode(), JGradCtlData::kFlagMode);
  EXPECT_TRUE(IsWindowVisible(d.win->GetFlagCtl(2)->GetHwnd()));
  for (int i = 0; i < 2; i++) EXPECT_EQ(Style(d.win->GetFlagCtl(i)) & JFlagCtl::kStyleDisabled, 0u);
  EXPECT_EQ(Style(d.win->GetFlagCtl(0)) & JFlagCtl::kStyleFixed, (unsigned)JFlagCtl::kStyleFixed);
  EXPECT_EQ(Style(d.win->GetFlagCtl(2)) & JFlagCtl::kStyleFixed, 0u);
  // The end flags' positions are hidden from the host's tree and locked there; the others not.
  for (int i = 0; i < 3; i++) {
    JDataBase* position = d.Flag(i)->GetPositionData();
    EXPECT_EQ(position->GetBypassTree(), i < 2 ? 1 : 0) << "flag " << i;
    EXPECT_EQ(position->GetBypassTreeMask(), i < 2 ? 1 : 0) << "flag " << i;
  }
  d.ClickAt(d.TipLeft() + 10);
  EXPECT_EQ(d.win->Data()->GetFlagCount(), 4);
}

TEST_F(ThreeFlagWindow, PasteIsOfferedOnlyWhileACopyIsKept) {
  ASSERT_EQ(JGradCtl::ClipboardFull(), 0);
  EXPECT_EQ(d.MenuState(kPaste) & MF_GRAYED, (UINT)MF_GRAYED);
  d.Command(kCopy);
  EXPECT_EQ(JGradCtl::ClipboardFull(), 1);
  EXPECT_EQ(d.MenuState(kPaste) & MF_GRAYED, 0u);

  // Paste brings back the copied flags as a new gradient, stored in the block.
  JGradCtlData* old = d.win->Data();
  d.ClickAt(d.TipLeft() + 10);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 4);
  d.Command(kPaste);
  ASSERT_NE(d.win->Data(), nullptr);
  EXPECT_NE(d.win->Data(), old);
  EXPECT_EQ(d.win->Data(), d.Gradient()) << "the block holds the pasted gradient";
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 3);
  EXPECT_EQ(d.win->GetFlagCtlCount(), 3);
  EXPECT_EQ(d.FlagName(2), "Flag #7");
  EXPECT_EQ(d.win->GetLastActive(), 0);
  EXPECT_EQ(JGradCtl::ClipboardFull(), 1) << "the copy stays for further pastes";

  // Closing any gradient window empties the clipboard.
  {
    GradientDialog other(kPlain, false, nullptr, 0);
    ASSERT_TRUE(other.Ok());
  }
  EXPECT_EQ(JGradCtl::ClipboardFull(), 0);
  EXPECT_EQ(d.MenuState(kPaste) & MF_GRAYED, (UINT)MF_GRAYED);
}

TEST(GradientWindow, ResetBuildsTheDefaultFlagsAgain) {
  GradientDialog d(kPlain, true, nullptr, 0);
  ASSERT_TRUE(d.Ok());
  d.ClickAt(d.TipLeft() + 10);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 3);
  JGradCtlData* old = d.win->Data();
  // Without a default layout: the two grey end flags of a new gradient.
  d.win->Reset();
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 2);
  EXPECT_NE(d.win->Data(), old);
  EXPECT_EQ(d.win->Data(), d.Gradient());
  EXPECT_EQ(d.FlagName(0), "Flag #1");
  EXPECT_EQ(d.FlagName(1), "Flag #2");
  ExpectColor(FlagColor(d.Flag(0)), 0.5f, 0.5f, 0.5f);
  ExpectColor(FlagColor(d.Flag(1)), 0.5f, 0.5f, 0.5f);
  EXPECT_EQ(d.win->GetFlagCtlCount(), 2);
  EXPECT_EQ(d.win->GetNextFlagNumber(), 2u);

  // With one: its flags.
  int found = d.win->LoadResource(GetLibInstance(), kDefaultLayout);
  ASSERT_NE(d.win->DefaultLayout(), nullptr);
  EXPECT_EQ(found, (int)(INT_PTR)d.win->DefaultLayout()) << "the resource's address";
  d.Command(kReset);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 2);
  ExpectColor(FlagColor(d.Flag(0)), 1.0f, 0.0f, 0.0f);
  ExpectColor(FlagColor(d.Flag(1)), 0.0f, 0.0f, 1.0f);
  EXPECT_EQ(d.win->Data()->Resource(), d.win->DefaultLayout());
  EXPECT_EQ(d.win->LoadResource(GetLibInstance(), 0x7FFF), 0) << "no such resource";
}

TEST(GradientWindow, TheCompositeChoiceIsClampedShownAndChecked) {
  GradientDialog d(kPlain, true, GetLibInstance(), kDefaultLayout);
  ASSERT_TRUE(d.Ok());
  d.Composite()->SetValue(0, 7.5f);
  EXPECT_EQ(d.win->GetCompositeValue(), JGradCtl::kSubtractive);
  EXPECT_EQ(d.LabelText(), "R=255,G=0,B=0, Pos=0, Sub");
  EXPECT_EQ(d.MenuState(1200 + JGradCtl::kSubtractive) & MF_CHECKED, (UINT)MF_CHECKED);
  d.Composite()->SetValue(0, -3.0f);
  EXPECT_EQ(d.win->GetCompositeValue(), JGradCtl::kHighValue);
  EXPECT_EQ(d.LabelText(), "R=255,G=0,B=0, Pos=0, High");
  d.Command(kLowValue);
  EXPECT_EQ(d.Composite()->GetFValue(0), (float)JGradCtl::kLowValue);
  EXPECT_EQ(d.LabelText(), "R=255,G=0,B=0, Pos=0, Low");
  EXPECT_EQ(d.MenuState(kLowValue) & MF_CHECKED, (UINT)MF_CHECKED);
  EXPECT_EQ(d.MenuState(1200 + JGradCtl::kSubtractive) & MF_CHECKED, 0u);

  // The label follows the active flag.
  d.driver.Focus(d.win->GetFlagCtl(0)->GetHwnd());
  d.driver.Key(VK_RIGHT);
  EXPECT_EQ(d.LabelText(), "R=0,G=0,B=255, Pos=100, Low");
}

TEST(GradientWindow, WithoutACompositeLeafTheLabelShowsOnlyTheFlag) {
  GradientDialog d(JGRADCTL_MONO, false, GetLibInstance(), kDefaultLayout);
  ASSERT_TRUE(d.Ok());
  EXPECT_EQ(d.win->GetCompositeValue(), -1);
  d.win->SetCompositeValue(JGradCtl::kAdditive);  // nothing to write
  EXPECT_EQ(d.win->GetCompositeValue(), -1);
  // Grey style: the luminosity of red, truncated.
  EXPECT_EQ(d.LabelText(), "Val=127, Pos=0");
  EXPECT_EQ(GetMenuState(d.win->GetMenu(), 1200, MF_BYCOMMAND), (UINT)-1) << "no composite items";
  EXPECT_EQ(d.win->GetFontHeight(), GetACP() == 932 ? 12 : 8);
  EXPECT_EQ(d.win->SetFontHeight(14), GetACP() == 932 ? 12 : 8);
  EXPECT_EQ(d.win->GetFontHeight(), 14);
}

TEST_F(ThreeFlagWindow, AGradientFileSavedFromTheMenuLoadsBack) {
  std::string path = quortest::TempPath("quortest_gradwnd.dgr");
  remove(path.c_str());
  {
    quortest::ModalDriver driver(IDOK);
    driver.Type(kNameEdit, path);
    d.Command(kSave);
    ASSERT_TRUE(driver.Wait());
    EXPECT_EQ(driver.Caption(), "Save Gradient...");
  }
  ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);

  d.ClickAt(d.TipLeft() + 10);
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 4);
  JGradCtlData* old = d.win->Data();
  {
    // A cancelled dialog changes nothing.
    quortest::ModalDriver driver(IDCANCEL);
    d.Command(kLoad);
    driver.Wait();
    EXPECT_EQ(d.win->Data(), old);
  }
  {
    quortest::ModalDriver driver(IDOK);
    driver.Type(kNameEdit, path);
    d.Command(kLoad);
    ASSERT_TRUE(driver.Wait());
    EXPECT_EQ(driver.Caption(), "Load Gradient...");
  }
  ASSERT_NE(d.win->Data(), old);
  EXPECT_EQ(d.win->Data(), d.Gradient());
  ASSERT_EQ(d.win->Data()->GetFlagCount(), 3);
  EXPECT_EQ(d.FlagName(2), "Flag #7");
  EXPECT_FLOAT_EQ(FlagPos(d.Flag(2)), 0.5f);
  ExpectColor(FlagColor(d.Flag(2)), 0.0f, 1.0f, 0.0f);
  EXPECT_EQ(d.win->GetFlagCtlCount(), 3);
  EXPECT_EQ(d.win->GetNextFlagNumber(), 7u);
  remove(path.c_str());
}

TEST_F(ThreeFlagWindow, ABitmapChosenInTheSelectorReplacesTheFlagsUntilFlagMode) {
  std::string good = gradtest::WriteImage("quortest_gradwnd.bmp", 16, 2);
  std::string bad = quortest::TempPath("quortest_gradwnd_bad.bmp");
  const char kText[] = "not an image";
  quortest::WriteAll(bad, std::vector<unsigned char>(kText, kText + sizeof kText - 1));
  d.Composite()->SetValue(0, (float)JGradCtl::kAverage);

  // A file the bitmap manager cannot read: the error box, Retry, then a good file.
  {
    DialogScript script({{IDOK, kNameEdit, bad}, {IDRETRY, 0, ""}, {IDOK, kNameEdit, good}});
    d.Command(kLoadBitmap);
    ASSERT_EQ(script.Wait(), 3);
    EXPECT_EQ(script.steps[0].caption, " Select Bitmap");
    EXPECT_EQ(script.steps[1].caption, "Bitmap Loading Error");
    EXPECT_EQ(script.steps[1].message, "Cannot load bitmap\n" + bad);
    EXPECT_EQ(script.steps[2].caption, " Select Bitmap");
  }
  EXPECT_EQ(d.win->GetMode(), JGradCtlData::kBitmapMode);
  BitmapInfo record;
  ASSERT_EQ(d.win->Data()->GetBitmapInfo(&record), 1);
  EXPECT_STREQ(record.Name(), good.c_str());
  EXPECT_EQ(d.LabelText(), "Bitmap=quortest_gradwnd.bmp, Avg");
  EXPECT_FALSE(IsWindowVisible(d.win->GetFlagCtl(2)->GetHwnd()));
  // The gradient now shows the file's first row: column 15 is (240, 0, 15).
  std::vector<BMM_Color_24> row = Row(d.win->Data(), 16);
  EXPECT_EQ(row[15].r, 240);
  EXPECT_EQ(row[15].b, 15);

  // UV map: an unreadable file and Cancel change nothing.
  {
    DialogScript script({{IDOK, kNameEdit, bad}, {IDCANCEL, 0, ""}});
    d.Command(kLoadUVMap);
    ASSERT_EQ(script.Wait(), 2);
    EXPECT_EQ(script.steps[0].caption, " Select UV Map");
  }
  EXPECT_EQ(d.win->GetMode(), JGradCtlData::kBitmapMode);
  // A cancelled selector neither.
  {
    DialogScript script({{IDCANCEL, 0, ""}});
    d.Command(kLoadUVMap);
    ASSERT_EQ(script.Wait(), 1);
  }
  EXPECT_EQ(d.win->GetMode(), JGradCtlData::kBitmapMode);

  d.Command(kFlagMode);
  EXPECT_EQ(d.win->GetMode(), JGradCtlData::kFlagMode);
  EXPECT_EQ(d.LabelText(), "R=255,G=0,B=0, Pos=0, Avg");
  EXPECT_TRUE(IsWindowVisible(d.win->GetFlagCtl(2)->GetHwnd()));
  remove(good.c_str());
  remove(bad.c_str());
}

TEST_F(ThreeFlagWindow, RebindingMovesTheMarkersToTheOtherGradient) {
  GradBlock* other = JCreateRegistered<GradBlock>(0x200, kBlockID);
  quortest::Recorder* keep = new quortest::Recorder(1);
  keep->Hold(other);
  JGradCtlData* g = static_cast<JGradCtlData*>((*other)(0));
  JFloatData* comp = static_cast<JFloatData*>((*other)(1));
  comp->SetValue(0, (float)JGradCtl::kAverage);
  ASSERT_EQ(g->GetFlagCount(), 2);

  d.win->Set(other, 0, 0, comp);
  EXPECT_EQ(d.win->Data(), g);
  EXPECT_EQ(d.win->GetFlagCtlCount(), 2);
  for (int i = 0; i < 2; i++) EXPECT_EQ(d.win->GetFlagCtl(i)->Data(), g->GetFlag(i));
  EXPECT_EQ(d.win->GetLastActive(), 0);
  EXPECT_EQ(d.win->GetCompositeValue(), JGradCtl::kAverage);
  EXPECT_EQ(d.win->GetNextFlagNumber(), 2u);
  EXPECT_EQ(d.LabelText(), "R=128,G=128,B=128, Pos=0, Avg");
  // The same binding again changes nothing; new flags go to the new gradient and its block.
  d.win->Set(other, 0, 0, comp);
  EXPECT_EQ(d.win->GetFlagCtlCount(), 2);
  d.ClickAt(d.TipLeft() + 10);
  EXPECT_EQ(g->GetFlagCount(), 3);
  d.Command(kReset);
  EXPECT_EQ(d.win->Data(), (*other)(0)) << "Reset replaces the child of the new block";
  EXPECT_EQ(d.Gradient()->GetFlagCount(), 3) << "the first block keeps its gradient";

  // A gradient given alone is its own parent: replacing it leaves the block's slot alone.
  gradtest::Grad alone;
  JGradCtlData* before = static_cast<JGradCtlData*>((*other)(0));
  d.win->Set(alone.g, 0, nullptr);
  EXPECT_EQ(d.win->Data(), alone.g);
  EXPECT_EQ(d.win->GetCompositeValue(), JGradCtl::kAverage) << "a null composite keeps the leaf";
  d.Command(kCopy);
  d.Command(kPaste);
  JGradCtlData* pasted = d.win->Data();
  EXPECT_NE(pasted, alone.g);
  EXPECT_EQ((*other)(0), before);
  d.Close();
  pasted->DeleteMe();  // nothing held the replacement: it is the test's
  keep->DeleteMe();
}
