// The main window's frames (menu bar, tool bar, prompt line) and the keyboard accelerators that
// act on keys typed anywhere in the application until a dialog switches them off.
#include "TestSupport.h"
#include "things.h"
#include "vantor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string MenuText(HMENU m, int pos) {
  char buf[64] = "";
  GetMenuStringA(m, (UINT)pos, buf, sizeof buf, MF_BYPOSITION);
  return buf;
}

// Records the commands the main window receives, then lets its own procedure handle them.
struct CommandRecorder {
  static std::vector<WPARAM>& Log() {
    static std::vector<WPARAM> log;
    return log;
  }
  static WNDPROC& Former() {
    static WNDPROC former = nullptr;
    return former;
  }
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) Log().push_back(wp);
    return CallWindowProcA(Former(), h, msg, wp, lp);
  }
  explicit CommandRecorder(HWND w) : main(w) {
    Log().clear();
    Former() = (WNDPROC)SetWindowLongPtrA(main, GWLP_WNDPROC, (LONG_PTR)Proc);
  }
  ~CommandRecorder() { SetWindowLongPtrA(main, GWLP_WNDPROC, (LONG_PTR)Former()); }
  HWND main;
};

}  // namespace

TEST(Frames, TheMenuFrameHoldsTheMainWindowsMenuBar) {
  CUIFrameMgr* mgr = GetCUIFrameMgr();
  ASSERT_NE(mgr, nullptr);
  HWND main = GetCOREInterface()->GetMainHWnd();
  ASSERT_GE(mgr->GetCount(), 2);
  EXPECT_EQ(mgr->GetICUIFrame(mgr->GetCount()), nullptr);
  EXPECT_EQ(mgr->GetICUIFrame(-1), nullptr);

  // The way a plug-in finds the menu bar: the first frame of kind 2.
  ICUIFrame* menuFrame = nullptr;
  for (int i = 0; i < mgr->GetCount() && !menuFrame; i++)
    if (mgr->GetICUIFrame(i)->GetContentType() == CUI_FRAME_MENU) menuFrame = mgr->GetICUIFrame(i);
  ASSERT_NE(menuFrame, nullptr);
  EXPECT_EQ(menuFrame->GetHwnd(), main);
  EXPECT_EQ(mgr->GetICUIFrame(menuFrame->GetName()), menuFrame);
  EXPECT_EQ(mgr->GetICUIFrame("No Such Frame"), nullptr);
  HMENU bar = GetMenu(menuFrame->GetHwnd());
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(MenuText(bar, 0), "&File");
  HMENU edit = GetSubMenu(bar, 1);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(MenuText(edit, 3).substr(0, 5), "&Hold");
  EXPECT_EQ(MenuText(edit, 4).substr(0, 6), "&Fetch");

  // Greying by position, as a modal plug-in dialog does, acts on the real menu.
  EXPECT_EQ(EnableMenuItem(bar, 0, MF_BYPOSITION | MF_GRAYED), (DWORD)MF_ENABLED);
  EXPECT_TRUE(GetMenuState(bar, 0, MF_BYPOSITION) & MF_GRAYED);
  EnableMenuItem(bar, 0, MF_BYPOSITION | MF_ENABLED);
  EXPECT_FALSE(GetMenuState(bar, 0, MF_BYPOSITION) & MF_GRAYED);

  // The other frames are windows inside the main window.
  for (int i = 0; i < mgr->GetCount(); i++) {
    ICUIFrame* f = mgr->GetICUIFrame(i);
    if (f == menuFrame) continue;
    ASSERT_TRUE(IsWindow(f->GetHwnd())) << f->GetName();
    EXPECT_EQ(GetParent(f->GetHwnd()), main) << f->GetName();
  }
}

TEST(Accelerators, KeysTypedAnywhereReachTheMainWindowUntilDisabledWithNesting) {
  Interface* ip = GetCOREInterface();
  HWND main = ip->GetMainHWnd();
  HMENU edit = GetSubMenu(GetMenu(main), 1);
  UINT deleteCmd = GetMenuItemID(edit, 5);
  ASSERT_EQ(MenuText(edit, 5).substr(0, 7), "&Delete");
  HWND top = CreateWindowA("#32770", "tool", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr, nullptr, nullptr);
  HWND field = CreateWindowA("EDIT", "abc", WS_CHILD | WS_VISIBLE, 0, 0, 90, 20, top, nullptr, nullptr, nullptr);
  ASSERT_TRUE(field);
  CommandRecorder rec(main);
  auto pressDelete = [&] {
    CommandRecorder::Log().clear();
    PostMessageA(field, WM_KEYDOWN, VK_DELETE, 0x01530001);
    PostMessageA(field, WM_KEYUP, VK_DELETE, (LPARAM)0xC1530001u);
    ip->ProcessMessages();
    return CommandRecorder::Log();
  };
  ASSERT_EQ(GetAcceleratorsDisableCount(), 0);
  EXPECT_EQ(pressDelete(), (std::vector<WPARAM>{MAKEWPARAM(deleteCmd, 1)})) << "from an accelerator";

  DisableAccelerators();
  DisableAccelerators();
  EXPECT_EQ(GetAcceleratorsDisableCount(), 2);
  EXPECT_TRUE(pressDelete().empty());
  EnableAccelerators();
  EXPECT_EQ(GetAcceleratorsDisableCount(), 1);
  EXPECT_TRUE(pressDelete().empty()) << "one disable is still unmatched";
  EnableAccelerators();
  EXPECT_EQ(pressDelete().size(), 1u);
  EnableAccelerators();
  EXPECT_EQ(GetAcceleratorsDisableCount(), 0) << "an unmatched enable is ignored";
  DisableAccelerators();
  EXPECT_TRUE(pressDelete().empty());
  EnableAccelerators();
  DestroyWindow(top);
}

namespace {

// The Edit menu's item that carries command id, as a person sees it.
struct MenuItem {
  std::string text;
  bool greyed;
};
MenuItem ItemOf(HMENU bar, UINT id) {
  char buf[128] = "";
  GetMenuStringA(bar, id, buf, sizeof buf, MF_BYCOMMAND);
  return {buf, (GetMenuState(bar, id, MF_BYCOMMAND) & MF_GRAYED) != 0};
}

}  // namespace

// Undo and Redo in the Edit menu name the step they would take, are greyed without one, and do
// what the interface object's Undo and Redo do.
TEST(Frames, EditMenuUndoAndRedoNameTheirStepsAndCarryThemOut) {
  const int kUndoPos = 0, kRedoPos = 1;
  const float kBefore = 1.0f, kAfter = 4.0f;
  theHold.ClearHistory();
  HWND main = GetCOREInterface()->GetMainHWnd();
  HMENU bar = GetMenu(main);
  HMENU edit = GetSubMenu(bar, 1);
  UINT undoId = GetMenuItemID(edit, kUndoPos), redoId = GetMenuItemID(edit, kRedoPos);
  auto undo = [&] { return ItemOf(bar, undoId); };
  auto redo = [&] { return ItemOf(bar, redoId); };
  EXPECT_EQ(undo().text, "&Undo\tCtrl+Z");
  EXPECT_TRUE(undo().greyed);
  EXPECT_EQ(redo().text, "&Redo\tCtrl+Y");
  EXPECT_TRUE(redo().greyed);

  Control* c = NewDefaultFloatController();
  Thing* holder = new Thing(1);
  holder->MakeRefByID(FOREVER, 0, c);
  auto value = [&] {
    float v = 0;
    Interval valid = FOREVER;
    c->GetValue(0, &v, valid);
    return v;
  };
  float v = kBefore;
  c->SetValue(0, &v);
  theHold.Begin();
  v = kAfter;
  c->SetValue(0, &v);
  theHold.Accept("Move & Scale");
  EXPECT_EQ(undo().text, "&Undo Move && Scale\tCtrl+Z") << "an ampersand of the name shows as written";
  EXPECT_FALSE(undo().greyed);
  EXPECT_TRUE(redo().greyed);

  SendMessageA(main, WM_COMMAND, MAKEWPARAM(undoId, 0), 0);
  EXPECT_EQ(value(), kBefore);
  EXPECT_EQ(undo().text, "&Undo\tCtrl+Z");
  EXPECT_TRUE(undo().greyed);
  EXPECT_EQ(redo().text, "&Redo Move && Scale\tCtrl+Y");
  EXPECT_FALSE(redo().greyed);
  SendMessageA(main, WM_COMMAND, MAKEWPARAM(undoId, 0), 0);
  EXPECT_EQ(value(), kBefore) << "a greyed item's command does nothing";

  SendMessageA(main, WM_COMMAND, MAKEWPARAM(redoId, 0), 0);
  EXPECT_EQ(value(), kAfter);
  EXPECT_FALSE(undo().greyed);
  EXPECT_TRUE(redo().greyed);
  theHold.ClearHistory();
  EXPECT_TRUE(undo().greyed);
  holder->DeleteMe();
}
