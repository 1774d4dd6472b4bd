// Flag markers in a real window, driven with mouse and key messages, with an owner that records
// what the markers ask of it; and the flag properties dialog they open.
#include "ControlDriver.h"
#include "GradTest.h"
#include "PlainDialog.h"
#include "TestSupport.h"

#include "Quorlib.h"
#include "vmtl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using quortest::ControlDriver;

namespace {

const int kWidth = 9, kHeight = 12;  // the gradient window's markers
const int kTipX = (kWidth - 1) / 2;
const int kLeft = 20, kRight = 220, kLine = 40;  // the drag line, top equal to bottom
const int kOvershoot = 3;
const int kPatienceMs = 3000;
const int kIdPosLabel = 1032, kIdInterp = 1029, kIdTexture = 1034, kIdName = 1000;
const int kHiddenRow[] = {1003, 1304, 1404, 1005};
const int kContextItems[] = {1029, 1007, 1030, 1034};
const int kIdDeleteCursor = 115;
const int kPanelColor = COLOR_BTNFACE;
const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 200, 0), kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255);

// The owner of the markers: records every call, answers MayDelete and Delete as told, and steps
// through its markers in order for Next and Prev.
struct Owner : JFlagCtlNotify {
  struct Call {
    std::string op;
    JFlagCtlData* flag;
  };
  int Delete(JFlagCtlData* f) override {
    Log("Delete", f);
    if (!deleteAnswer) return 0;
    for (int i = 0; removeFrom && i < removeFrom->GetFlagCount(); i++)
      if (removeFrom->GetFlag(i) == f) removeFrom->DelFlag(i);
    return 1;
  }
  JFlagCtl* Next(JFlagCtlData* f) override { return Log("Next", f), Step(f, 1); }
  JFlagCtl* Prev(JFlagCtlData* f) override { return Log("Prev", f), Step(f, -1); }
  void Active(JFlagCtlData* f) override {
    Log("Active", f);
    active = f;
  }
  int IsActive(JFlagCtlData* f) override { return f == active; }
  int MayDelete(JFlagCtlData* f) override { return Log("MayDelete", f), mayDelete; }
  int GetIndex(JFlagCtlData* f) override { return Log("GetIndex", f), index; }

  void Log(const char* op, JFlagCtlData* f) { calls.push_back({op, f}); }
  int Count(const std::string& op) const {
    int n = 0;
    for (const Call& c : calls) n += c.op == op;
    return n;
  }
  JFlagCtl* Step(JFlagCtlData* f, int dir) {
    if (markers.empty()) return nullptr;
    int n = (int)markers.size(), at = 0;
    for (int i = 0; i < n; i++)
      if (markers[i]->Data() == (f ? f : active)) at = i;
    JFlagCtl* m = markers[(at + dir + n) % n];
    active = m->Data();
    m->Activate();
    return m;
  }

  std::vector<Call> calls;
  std::vector<JFlagCtl*> markers;
  JFlagCtlData* active = nullptr;
  JGradCtlData* removeFrom = nullptr;  // Delete takes the flag out of this gradient
  int mayDelete = 1, deleteAnswer = 1, index = 1;
};

// A host texture map that stands for the material editor's map and a window for its editor.
struct MtlParams : IMtlParams {
  void MtlChanged() override { changes++; }
  int changes = 0;
};

// A gradient texture map as a plug-in builds one: sub-texture i is the texture of flag i.
class GradientMap : public Texmap {
 public:
  explicit GradientMap(JGradCtlData* grad) : grad(grad) {}
  Class_ID ClassID() override { return Class_ID(0x7E57C10A, 1); }
  AColor EvalColor(ShadeContext&) override { return AColor(); }
  int NumSubTexmaps() override { return grad->GetFlagCount(); }
  Texmap* GetSubTexmap(int i) override {
    Texmap* m = nullptr;
    if (i >= 0 && i < NumSubTexmaps()) grad->GetFlag(i)->GetSubtex(m);
    return m;
  }
  void SetSubTexmap(int i, Texmap* m) override {
    if (i >= 0 && i < NumSubTexmaps()) grad->GetFlag(i)->SetSubtex(m);
  }
  JGradCtlData* grad;
};

// Runs f while the marker's menu is tracked, then closes the menu.
struct MenuProbe {
  static MenuProbe* current;
  std::vector<std::string> items;
  UINT deleteState = 0;
  bool seen = false;
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND popup = quortest::FindOwnWindow("#32768", nullptr);
    if (!popup || !current) return;
    KillTimer(nullptr, id);
    HMENU menu = (HMENU)SendMessageA(popup, MN_GETHMENU, 0, 0);
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
      char text[64] = "";
      GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
      current->items.push_back(text);
    }
    current->deleteState = GetMenuState(menu, JFlagCtl::kCmdDelete, MF_BYCOMMAND);
    current->seen = true;
    EndMenu();
  }
};
MenuProbe* MenuProbe::current = nullptr;

struct FlagMarkers : testing::Test {
  // The texture clipboard is the library's for the life of the process: it is made by a first
  // Copy here, before the tests count what each of them leaves alive.
  static void SetUpTestSuite() {
    ControlDriver d;
    PlainDialog dlg(d.Parent());
    quortest::Held<JFlagCtlData> flag(Create_JFlagCtlData());
    RECT drag = {kLeft, kLine, kRight, kLine};
    JFlagCtl* m = JFlagCtl::Create(flag.d, -1, 0, kWidth, kHeight, drag, nullptr);
    dlg += m;
    m->Init(0);
    SendMessageA(m->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdCopy, 0);
    m->DestroyFlag(0);
  }
  void SetUp() override {
    dlg = new PlainDialog(driver.Parent());
    gradtest::SetFlags(grad.g, {{0.0f, Point3(1, 0, 0), 3}, {0.5f, Point3(0, 1, 0), 3}, {1.0f, Point3(0, 0, 1), 3}});
    for (int i = 0; i < 3; i++) flags.push_back(grad->GetFlag(i));
  }
  void TearDown() override {
    while (dlg->NumControls() > 0) {
      JViewCtl* c = dlg->GetControl(0);
      *dlg -= c;
      c->Destroy();
    }
    delete dlg;
    if (mtlWnd) DestroyWindow(mtlWnd);
  }
  // A marker of flag i in the dialog, initialised at time 0; with a texture, in the material
  // editor window given (by default a stand-in window).
  JFlagCtl* Add(int i, int style, JFlagCtlNotify* notify, Texmap* tex = nullptr, IMtlParams* params = nullptr,
                HWND editor = nullptr) {
    JFlagCtl* m = tex ? JFlagCtl::Create(flags[i], -1, style, kWidth, kHeight, drag, notify,
                                         editor ? editor : MtlWindow(), tex, params)
                      : JFlagCtl::Create(flags[i], -1, style, kWidth, kHeight, drag, notify);
    EXPECT_NE(m, nullptr);
    *dlg += m;
    EXPECT_EQ(m->Init(0), 1);
    owner.markers.push_back(m);
    return m;
  }
  HWND MtlWindow() {
    if (!mtlWnd) mtlWnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    return mtlWnd;
  }
  // The tip of marker m in the dialog's client coordinates.
  static POINT Tip(JFlagCtl* m) {
    POINT p = {kTipX, 0};
    MapWindowPoints(m->GetHwnd(), GetParent(m->GetHwnd()), &p, 1);
    return p;
  }
  static float Pos(JFlagCtlData* f) {
    float x;
    f->GetPos(0, x);
    return x;
  }
  // Presses m at its tip, drags the tip to dialog x and, unless told not to, lets go.
  void DragTo(JFlagCtl* m, int x, bool release = true) {
    driver.LeftDown(m->GetHwnd(), kTipX, 1);
    POINT to = {x, kLine + 1};
    driver.MoveTo(driver.Parent(), to.x, to.y);
    if (release) driver.LeftUp(driver.Parent(), to.x, to.y);
  }
  static COLORREF Center(JFlagCtl* m) { return quortest::PrintedPixel(m->GetHwnd(), kTipX, kHeight / 2); }
  static bool Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return true;
  }

  ControlDriver driver;
  RECT drag = {kLeft, kLine, kRight, kLine};  // the markers' drag line
  gradtest::Grad grad;
  std::vector<JFlagCtlData*> flags;
  PlainDialog* dlg = nullptr;
  Owner owner;
  HWND mtlWnd = nullptr;
};

// ---- Placement ----------------------------------------------------------------------------------

TEST_F(FlagMarkers, TipSitsOnTheFlagsPlaceAndTheShapeIsAPentagon) {
  float pos = 0.3125f;  // 62.5 pixels along: halves round away from zero
  flags[1]->SetPos(0, pos);
  JFlagCtl* m = Add(1, 0, &owner);
  POINT tip = Tip(m);
  EXPECT_EQ(tip.x, kLeft + 63);
  EXPECT_EQ(tip.y, kLine);
  EXPECT_EQ(m->Tip().x, kTipX);
  EXPECT_EQ(m->Tip().y, 0);

  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(m->GetHwnd(), rgn), ERROR);
  EXPECT_TRUE(PtInRegion(rgn, kTipX, 0)) << "the point";
  EXPECT_FALSE(PtInRegion(rgn, 0, 0)) << "the corners beside the point are cut off";
  EXPECT_FALSE(PtInRegion(rgn, kWidth - 1, 0));
  EXPECT_TRUE(PtInRegion(rgn, 0, kHeight - 1)) << "the body is whole";
  EXPECT_TRUE(PtInRegion(rgn, kWidth - 1, kHeight - 1));
  DeleteObject(rgn);
}

TEST_F(FlagMarkers, WithoutADialogWindowInitFails) {
  PlainDialog windowless;
  JFlagCtl* m = JFlagCtl::Create(flags[1], -1, 0, kWidth, kHeight, drag, &owner);
  ASSERT_NE(m, nullptr);
  windowless += m;
  EXPECT_EQ(m->Init(0), 0);
  EXPECT_EQ(m->GetHwnd(), nullptr);
  windowless -= m;
  m->Destroy();
  EXPECT_TRUE(owner.calls.empty());
}

// Counts the moves of one window.
HWND watched = nullptr;
int moves = 0;
LRESULT CALLBACK CountMoves(int code, WPARAM wp, LPARAM lp) {
  const CWPSTRUCT* c = reinterpret_cast<const CWPSTRUCT*>(lp);
  if (code == HC_ACTION && c->hwnd == watched && c->message == WM_WINDOWPOSCHANGING) moves++;
  return CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(FlagMarkers, PositionChangesInARowMoveTheMarkerOnce) {
  JFlagCtl* m = Add(1, 0, &owner);
  Pump();
  watched = m->GetHwnd();
  moves = 0;
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountMoves, nullptr, GetCurrentThreadId());
  for (float pos : {0.1f, 0.2f, 0.75f}) flags[1]->SetPos(0, pos);
  EXPECT_EQ(moves, 0) << "nothing moves before the queue is served";
  EXPECT_EQ(Tip(m).x, kLeft + 100);
  Pump();
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(moves, 1);
  EXPECT_EQ(Tip(m).x, kLeft + 150) << "at the last position";
}

// ---- Dragging -----------------------------------------------------------------------------------

TEST_F(FlagMarkers, DraggingWritesThePositionAndStaysOnTheLine) {
  JFlagCtl* m = Add(1, JFlagCtl::kStyleActivity, &owner);
  DragTo(m, kLeft + 50);
  EXPECT_EQ(Tip(m).x, kLeft + 50);
  EXPECT_EQ(Tip(m).y, kLine) << "the line has no height";
  EXPECT_FLOAT_EQ(Pos(flags[1]), 0.25f);
  float y = 1;
  flags[1]->GetPos(0, y, y);
  EXPECT_EQ(y, 0.0f) << "the second position is written as 0";
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(owner.Count("Active"), 1);
  EXPECT_EQ(owner.Count("Delete"), 0);

  owner.mayDelete = 0;  // a drag past the end stops at the end
  DragTo(m, kLeft - 40);
  EXPECT_EQ(Tip(m).x, kLeft);
  EXPECT_FALSE(m->IsDeletePending());
  EXPECT_EQ(owner.Count("Delete"), 0);
}

TEST_F(FlagMarkers, DraggingPastTheEndDeletesOnReleaseAndDraggingBackCancels) {
  JFlagCtl* m = Add(1, JFlagCtl::kStyleActivity, &owner);
  DragTo(m, kRight + 30, false);
  EXPECT_EQ(Tip(m).x, kRight + kOvershoot);
  EXPECT_TRUE(m->IsDeletePending());
  EXPECT_EQ(GetCursor(), LoadCursorA(GetLibInstance(), MAKEINTRESOURCEA(kIdDeleteCursor)));
  EXPECT_EQ(Center(m), kRed) << "the active marker turns red";

  driver.MoveTo(driver.Parent(), kRight - 10, kLine);
  EXPECT_FALSE(m->IsDeletePending());
  EXPECT_EQ(Tip(m).x, kRight - 10);
  EXPECT_EQ(Center(m), kGreen);
  driver.LeftUp(driver.Parent(), kRight - 10, kLine);
  EXPECT_EQ(owner.Count("Delete"), 0) << "dragged back in before the release";
  EXPECT_EQ(dlg->NumControls(), 1);

  DragTo(m, kLeft - 30, false);
  EXPECT_EQ(Tip(m).x, kLeft - kOvershoot);
  HWND w = m->GetHwnd();
  driver.LeftUp(driver.Parent(), kLeft - 30, kLine);
  ASSERT_EQ(owner.Count("Delete"), 1);
  EXPECT_EQ(owner.calls.back().flag, flags[1]);
  EXPECT_EQ(dlg->NumControls(), 0) << "the marker left its dialog";
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(FlagMarkers, DeletionGoesThroughTheOwner) {
  owner.deleteAnswer = 0;
  JFlagCtl* m = Add(1, JFlagCtl::kStyleActivity, &owner);
  SendMessageA(m->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdDelete, 0);
  EXPECT_EQ(owner.Count("Delete"), 1);
  EXPECT_EQ(dlg->NumControls(), 1) << "refused: the marker stays";
  EXPECT_TRUE(IsWindow(m->GetHwnd()));

  // An owner that takes the flag out of its gradient: the flag is gone before the marker.
  owner.deleteAnswer = 1;
  owner.removeFrom = grad.g;
  HWND w = m->GetHwnd();
  SendMessageA(w, WM_COMMAND, JFlagCtl::kCmdDelete, 0);
  EXPECT_EQ(grad->GetFlagCount(), 2);
  EXPECT_EQ(dlg->NumControls(), 0);
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(FlagMarkers, FixedMarkerDoesNotMoveButKeysStillStep) {
  JFlagCtl* end = Add(0, JFlagCtl::kStyleActivity | JFlagCtl::kStyleFixed, &owner);
  Add(1, JFlagCtl::kStyleActivity, &owner);
  DragTo(end, kLeft + 80);
  EXPECT_EQ(Tip(end).x, kLeft);
  EXPECT_EQ(Pos(flags[0]), 0.0f);
  EXPECT_EQ(owner.active, flags[0]) << "a click still activates it";

  const struct {
    UINT key;
    const char* op;
  } keys[] = {{VK_RIGHT, "Next"}, {VK_UP, "Next"}, {VK_LEFT, "Prev"}, {VK_DOWN, "Prev"}};
  for (const auto& k : keys) {
    owner.active = flags[0];
    driver.Focus(end->GetHwnd());
    owner.calls.clear();
    driver.Key(k.key);
    ASSERT_FALSE(owner.calls.empty()) << k.op;
    EXPECT_EQ(owner.calls[0].op, k.op);
    EXPECT_EQ(owner.calls[0].flag, flags[0]);
  }
  EXPECT_EQ(SendMessageA(end->GetHwnd(), WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);

  // Delete on a fixed marker: refused with the box, nothing asked of the owner but MayDelete.
  quortest::ModalDriver box(IDOK);
  owner.calls.clear();
  driver.Focus(end->GetHwnd());
  driver.Key(VK_DELETE);
  ASSERT_TRUE(box.Wait());
  EXPECT_EQ(box.Caption(), "Gradient Control");
  EXPECT_EQ(box.Text(), "Cannot delete this flag.");
  EXPECT_EQ(owner.Count("Delete"), 0);
  EXPECT_EQ(dlg->NumControls(), 2);
}

TEST_F(FlagMarkers, DisabledMarkerIgnoresMouseAndKeys) {
  JFlagCtl* m = Add(1, JFlagCtl::kStyleActivity | (int)JFlagCtl::kStyleDisabled, &owner);
  driver.Click(m->GetHwnd(), kTipX, 1);
  driver.RightClick(m->GetHwnd(), kTipX, 1);
  SetFocus(m->GetHwnd());
  driver.Key(VK_RIGHT);
  driver.Key(VK_DELETE);
  EXPECT_TRUE(owner.calls.empty());
  EXPECT_EQ(GetCapture(), nullptr);

  m->SetStyle(JFlagCtl::kStyleActivity);  // enabled again, as the gradient window does
  driver.Click(m->GetHwnd(), kTipX, 1);
  EXPECT_EQ(owner.Count("Active"), 1);
}

// ---- Menu and painting --------------------------------------------------------------------------

TEST_F(FlagMarkers, MenuGreysDeleteUnlessTheOwnerMayDelete) {
  JFlagCtl* alone = Add(1, JFlagCtl::kStyleActivity, nullptr);
  JFlagCtl* owned = Add(2, JFlagCtl::kStyleActivity, &owner);
  JFlagCtl* fixed = Add(0, JFlagCtl::kStyleActivity | JFlagCtl::kStyleFixed, &owner);
  const struct {
    JFlagCtl* m;
    int mayDelete;
    bool greyed;
  } cases[] = {{alone, 1, true}, {owned, 1, false}, {owned, 0, true}, {fixed, 1, true}};
  for (const auto& c : cases) {
    owner.mayDelete = c.mayDelete;
    MenuProbe probe;
    MenuProbe::current = &probe;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, MenuProbe::Tick);
    driver.RightClick(c.m->GetHwnd(), kTipX, 2);
    KillTimer(nullptr, timer);
    MenuProbe::current = nullptr;
    ASSERT_TRUE(probe.seen);
    EXPECT_EQ(probe.items, (std::vector<std::string>{"Edit Properties...", "", "Copy", "Paste", "", "Delete"}));
    EXPECT_EQ((probe.deleteState & MF_GRAYED) != 0, c.greyed) << "mayDelete " << c.mayDelete;
  }
  EXPECT_EQ(Center(alone), GetSysColor(kPanelColor)) << "without an owner a marker is never active";
}

TEST_F(FlagMarkers, PaintedInTheFlagsColourOrByActivity) {
  JFlagCtl* plain = Add(1, 0, &owner);
  JFlagCtl* activity = Add(2, JFlagCtl::kStyleActivity, &owner);
  const int hw = kTipX, k = kTipX;
  const int side = k + 2;  // a row of the straight sides
  EXPECT_EQ(Center(plain), RGB(0, 255, 0)) << "filled with the flag's colour";
  EXPECT_EQ(quortest::PrintedPixel(plain->GetHwnd(), 0, side), kBlack) << "outlined in black while inactive";
  EXPECT_EQ(Center(activity), GetSysColor(kPanelColor));
  EXPECT_EQ(quortest::PrintedPixel(activity->GetHwnd(), 2 * hw, side), kBlack) << "the right side is dark";
  EXPECT_EQ(quortest::PrintedPixel(activity->GetHwnd(), 0, side), kWhite) << "the left side is light";

  owner.active = flags[1];
  EXPECT_EQ(quortest::PrintedPixel(plain->GetHwnd(), 0, side), kWhite) << "outlined in white while active";
  owner.active = flags[2];
  EXPECT_EQ(Center(activity), kGreen);
}

// ---- Colour and texture -------------------------------------------------------------------------

// Double-clicks m and sets red in the picker that opens; false when none opens.
bool PickRed(ControlDriver& driver, JFlagCtl* m, const char* red) {
  SendMessageA(m->GetHwnd(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(kTipX, 1));
  HWND picker = quortest::FindOwnWindow(COLORPICKERWINDOWCLASS, nullptr);
  if (!picker) return false;
  driver.Focus(GetDlgItem(picker, IDC_PICKER_RED_EDIT));
  driver.SelectAll();
  driver.Type(red);
  driver.Key(VK_RETURN);
  driver.Click(GetDlgItem(picker, IDOK), 5, 5);
  return quortest::FindOwnWindow(COLORPICKERWINDOWCLASS, nullptr) == nullptr;
}

TEST_F(FlagMarkers, DoubleClickEditsTheFlagsColourInThePicker) {
  JFlagCtl* m = Add(1, 0, &owner);
  theHold.ClearHistory();
  ASSERT_TRUE(PickRed(driver, m, "51")) << "no dialog open: the marker's own swatch opens the picker";
  Point3 c;
  flags[1]->GetColor(0, c);
  EXPECT_FLOAT_EQ(c.x, 51 / 255.0f) << "the picker's change is written into the flag";
  EXPECT_EQ(m->GetColor(0), RGB(51, 255, 0));
  EXPECT_EQ(Center(m), RGB(51, 255, 0));
  EXPECT_EQ(theHold.NumUndo(), 0) << "the marker writes without an undo step";

  // With the properties dialog open the picker edits the dialog's swatch, which writes as a
  // step of the dialog.
  SendMessageA(m->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdProperties, 0);
  ASSERT_NE(JFlagCtlDlg::Open(), nullptr);
  ASSERT_TRUE(PickRed(driver, m, "102"));
  EXPECT_EQ(m->GetColor(0), RGB(102, 255, 0));
  EXPECT_EQ(theHold.NumUndo(), 1);
  EXPECT_STREQ(theHold.UndoName(0), "Edit Flag Properties");
  theHold.ClearHistory();
}

TEST_F(FlagMarkers, CopyAndPasteColourAndTexture) {
  Texmap* solid = NewSolidColorMap(Color(0.25f, 0.5f, 0.75f));
  solid->SetName("Sky");
  flags[0]->SetSubtex(solid);
  JFlagCtl* from = Add(0, 0, &owner);
  JFlagCtl* plain = Add(1, 0, &owner);
  SendMessageA(from->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdCopy, 0);

  // Without a texture context only the colour is pasted.
  SendMessageA(plain->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdPaste, 0);
  EXPECT_EQ(plain->GetColor(0), RGB(255, 0, 0));
  Texmap* t = nullptr;
  plain->GetSubtex(t);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(owner.Count("GetIndex"), 0);

  // With one, a copy of the texture goes into the context map's sub-texture GetIndex.
  Texmap* checker = NewCheckerMap(Color(0, 0, 0), Color(1, 1, 1), 2);
  quortest::Held<Texmap> held(checker);
  MtlParams params;
  JFlagCtl* inMap = Add(2, 0, &owner, checker, &params);
  owner.index = 1;
  SendMessageA(inMap->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdPaste, 0);
  EXPECT_EQ(inMap->GetColor(0), RGB(255, 0, 0));
  Texmap* pasted = checker->GetSubTexmap(1);
  ASSERT_NE(pasted, nullptr);
  EXPECT_NE(pasted, solid) << "a clone, not the copied map";
  EXPECT_STREQ(pasted->GetFullName().data(), "Sky");
  EXPECT_EQ(checker->GetSubTexmap(0), nullptr);
  EXPECT_EQ(params.changes, 1);

  // Copying a flag without a texture empties the texture clipboard.
  SendMessageA(plain->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdCopy, 0);
  checker->SetSubTexmap(1, nullptr);
  SendMessageA(inMap->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdPaste, 0);
  EXPECT_EQ(checker->GetSubTexmap(1), nullptr);
  EXPECT_EQ(params.changes, 2);
}

// ---- The properties dialog ----------------------------------------------------------------------

TEST_F(FlagMarkers, PropertiesDialogFollowsTheActiveFlag) {
  JFlagCtl* end = Add(0, JFlagCtl::kStyleActivity | JFlagCtl::kStyleFixed, &owner);
  JFlagCtl* mid = Add(1, JFlagCtl::kStyleActivity, &owner);
  flags[1]->SetName("Middle");
  SendMessageA(mid->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdProperties, 0);
  JFlagCtlDlg* d = JFlagCtlDlg::Open();
  ASSERT_NE(d, nullptr);
  HWND w = d->GetHwnd();
  EXPECT_EQ(quortest::WindowText(w), " Flag Properties");
  EXPECT_STREQ(d->ActionName(), "Edit Flag Properties");
  EXPECT_EQ(d->Flag(), flags[1]);
  EXPECT_EQ(d->SwitchData(grad.g, nullptr), 0) << "only flags";
  EXPECT_EQ(d->Flag(), flags[1]);
  EXPECT_EQ(quortest::WindowText(GetDlgItem(w, kIdPosLabel)), "Position");
  EXPECT_EQ(quortest::WindowText(GetDlgItem(w, kIdName)), "Middle");
  for (int id : kHiddenRow) EXPECT_FALSE(IsWindowVisible(GetDlgItem(w, id))) << id;
  for (int id : kContextItems) EXPECT_FALSE(IsWindowVisible(GetDlgItem(w, id))) << "no material editor: " << id;
  JViewSpinner* pos = dynamic_cast<JViewSpinner*>(d->GetControl(JFlagCtlDlg::kCtlPos));
  ASSERT_NE(pos, nullptr);
  EXPECT_EQ(pos->ISC()->GetIVal(), 50) << "the position in percent";
  EXPECT_TRUE(pos->ISC()->IsEnabled());

  // A click on the fixed end marker switches the dialog to it with its position locked.
  driver.Click(end->GetHwnd(), kTipX, 1);
  EXPECT_EQ(JFlagCtlDlg::Open(), d);
  EXPECT_EQ(d->Flag(), flags[0]);
  EXPECT_EQ(pos->ISC()->GetIVal(), 0);
  EXPECT_FALSE(pos->ISC()->IsEnabled());
  JColorSwatch* swatch = dynamic_cast<JColorSwatch*>(d->GetControl(JFlagCtlDlg::kCtlColor));
  EXPECT_EQ(swatch->ICS()->GetColor(), RGB(255, 0, 0));

  // The stepping spinner asks the owner from its active flag and follows the answer.
  owner.calls.clear();
  SendMessageA(w, JWM_VIEWSTEP, 1, 0);
  ASSERT_GE(owner.Count("Next"), 1);
  EXPECT_EQ(owner.calls[0].flag, nullptr) << "from the owner's active flag";
  EXPECT_EQ(d->Flag(), flags[1]);
  EXPECT_TRUE(pos->ISC()->IsEnabled());

  // A spinner change in the dialog moves the marker.
  pos->ISC()->SetValue(25, TRUE);
  if (theHold.Holding()) theHold.Accept("Test");
  theHold.ClearHistory();
  Pump();
  EXPECT_FLOAT_EQ(Pos(flags[1]), 0.25f);
  EXPECT_EQ(Tip(mid).x, kLeft + 50);

  // Destroying any marker closes the dialog.
  mid->DestroyFlag(0);
  EXPECT_EQ(JFlagCtlDlg::Open(), nullptr);
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(FlagMarkers, PropertiesDialogWithAMaterialEditor) {
  Texmap* checker = NewCheckerMap(Color(0, 0, 0), Color(1, 1, 1), 2);
  quortest::Held<Texmap> held(checker);
  MtlParams params;
  JFlagCtl* m = Add(1, 0, &owner, checker, &params);
  grad->SetInterpType(2);
  SendMessageA(m->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdProperties, 0);
  JFlagCtlDlg* d = JFlagCtlDlg::Open();
  ASSERT_NE(d, nullptr);
  HWND w = d->GetHwnd();
  for (int id : kContextItems) EXPECT_TRUE(IsWindowVisible(GetDlgItem(w, id))) << id;
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(w, kIdInterp))) << "one interpolation for the whole gradient";
  EXPECT_EQ(quortest::WindowText(GetDlgItem(w, kIdTexture)), "None");

  // The texture button asks the material editor for sub-texture GetIndex of the map.
  owner.index = 1;
  SendMessageA(w, WM_COMMAND, MAKEWPARAM(kIdTexture, BN_CLICKED), (LPARAM)GetDlgItem(w, kIdTexture));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, mtlWnd, MTLEDIT_PICK_SUBTEX, MTLEDIT_PICK_SUBTEX, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_EQ(msg.lParam, (LPARAM)checker);

  // The editor assigns a map and says so: the button shows its name.
  Texmap* solid = NewSolidColorMap(Color(1, 1, 1));
  solid->SetName("Chalk");
  flags[1]->SetSubtex(solid);
  SendMessageA(w, MTLEDIT_SUBTEX_CHANGED, 0, 0);
  EXPECT_EQ(quortest::WindowText(GetDlgItem(w, kIdTexture)), "Chalk");

  grad->SetInterpType(0);
  m->UpdateJFlagDlgCtl();
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(w, kIdInterp))) << "each flag's own interpolation";
  SendMessageA(w, WM_CLOSE, 0, 0);
  EXPECT_EQ(JFlagCtlDlg::Open(), nullptr);
}

TEST_F(FlagMarkers, TheTextureButtonPicksTheFlagsTextureThroughTheHostsMaterialEditor) {
  const int kBrowserList = 1602;  // the host's map browser: its list of map classes
  // The gradient's map open in the host's material editor; the markers' dialog is its panel.
  Texmap* map = new GradientMap(grad.g);
  HWND editor = CreateMtlEditor(map);
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(SetMtlEditorPanel(editor, driver.Parent()));
  owner.index = 1;
  JFlagCtl* m = Add(1, 0, &owner, map, GetMtlParams(editor), editor);
  SendMessageA(m->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdProperties, 0);
  ASSERT_NE(JFlagCtlDlg::Open(), nullptr);
  HWND w = JFlagCtlDlg::Open()->GetHwnd();
  HWND button = GetDlgItem(w, kIdTexture);
  EXPECT_EQ(quortest::WindowText(button), "None");

  // A click on the button; the user picks the host's solid colour map in the editor's browser.
  quortest::ModalDriver browser(IDOK);
  browser.Before([](HWND b) { quortest::SelectListBoxItem(GetDlgItem(b, kBrowserList), "Solid Color"); });
  SendMessageA(w, WM_COMMAND, MAKEWPARAM(kIdTexture, BN_CLICKED), (LPARAM)button);
  EXPECT_TRUE(ControlDriver::PumpUntil([&] { return quortest::WindowText(button) == "Solid Color"; }, kPatienceMs));
  EXPECT_TRUE(browser.Wait());
  Texmap* tex = nullptr;
  flags[1]->GetSubtex(tex);
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(tex->ClassID(), SOLIDMAP_CLASS_ID);
  EXPECT_EQ(map->GetSubTexmap(0), nullptr) << "only the flag asked for";

  SendMessageA(w, WM_CLOSE, 0, 0);
  *dlg -= m;
  m->Destroy();
  DestroyWindow(editor);  // releases the map; the flag keeps its texture
  flags[1]->GetSubtex(tex);
  EXPECT_NE(tex, nullptr);
  EXPECT_STREQ(theHold.UndoName(), "Assign Map");
  theHold.ClearHistory();  // its records hold the maps they would restore
}

}  // namespace
