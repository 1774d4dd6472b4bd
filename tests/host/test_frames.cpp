// The main window's frames (menu bar, tool bar, prompt line) and the keyboard accelerators that
// act on keys typed anywhere in the application until a dialog switches them off.
#include "TestSupport.h"
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
