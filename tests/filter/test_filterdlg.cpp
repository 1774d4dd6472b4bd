// The filter dialog: the host's event dialog and queue window hidden and guarded while the filter's
// modeless dialog is open, the host's menus greyed meanwhile, everything restored afterwards, and
// the about dialog.
#include "ControlDriver.h"
#include "FilterTest.h"
#include "TestSupport.h"
#include "testres.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using filtertest::EndWithoutDialog;
using filtertest::kNewEventTitle;
using filtertest::Script;
using filtertest::TestFilter;

namespace {

const DWORD kPumpTimeout = 2000;  // longest wait for a posted message

// The host's menu bar items a filter dialog greys: top-level item 0, items 3 and 4 of menu 1.
const UINT kGreyedTop = 0;
const int kGreyedMenu = 1;
const UINT kGreyedItems[] = {3, 4};
const UINT kUntouchedItem = 2;  // an item of menu 1 that stays as it was

// Stand-ins for the host's queue window and its event dialog (owned by the queue window). They
// record the commands they receive.
struct HostWindows {
  explicit HostWindows(const char* title) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "FilterTestHostWindow";
    RegisterClassA(&wc);  // fails harmlessly when registered by an earlier test
    queue = CreateWindowExA(0, wc.lpszClassName, "Video Post", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                            nullptr, nullptr, wc.hInstance, nullptr);
    event = CreateWindowExA(0, wc.lpszClassName, title, WS_POPUP | WS_CAPTION | WS_VISIBLE, 40, 40, 200, 120, queue,
                            nullptr, wc.hInstance, nullptr);
    commands.clear();
  }
  ~HostWindows() {
    DestroyWindow(event);
    DestroyWindow(queue);
  }
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) commands.push_back({hwnd, wp});
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  struct Command {
    HWND to;
    WPARAM wParam;
  };
  static std::vector<Command> commands;
  HWND queue, event;
};
std::vector<HostWindows::Command> HostWindows::commands;

// A filter's settings dialog from the test program's template; it clears the pointer that holds
// it when it goes, as a client's dialog does.
class SettingsDlg : public JOneModelessBase {
 public:
  explicit SettingsDlg(JOneModelessBase** slot) : slot(slot) {}
  ~SettingsDlg() override { *slot = nullptr; }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int IdDlg() override { return IDD_TEST_SETTINGS; }
  const char* ActionName() override { return "Test Settings"; }
  int SwitchData(JDataBase*, void*) override { return 0; }

 private:
  JOneModelessBase** slot;
};

// Whether the items a filter dialog greys and the untouched item are greyed, in that order.
std::vector<bool> ReadMenu() {
  HMENU bar = GetMenu(GetCOREInterface()->GetMainHWnd());
  HMENU sub = GetSubMenu(bar, kGreyedMenu);
  auto greyed = [](HMENU menu, UINT i) { return (GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED) != 0; };
  return {greyed(bar, kGreyedTop), greyed(sub, kGreyedItems[0]), greyed(sub, kGreyedItems[1]),
          greyed(sub, kUntouchedItem)};
}
const size_t kUntouched = 3;  // the untouched item's place in ReadMenu's answer

bool Greyed(HMENU menu, UINT command) { return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) != 0; }

}  // namespace

TEST(FilterEvent, OnlyTheExactTitleOfTheNewEventDialogCounts) {
  const struct {
    const char* title;
    int isNew;
  } cases[] = {{kNewEventTitle, 1},
               {"Edit Image Filter Event", 0},
               {"Add Image Filter Event ", 0},
               {"add image filter event", 0},
               {"Add Image Filter", 0},
               {"", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    HostWindows w(c.title);
    JPrepFilterDlg(w.event);
    EXPECT_EQ(JNewFilterEvent(), c.isNew);
    EndWithoutDialog();
  }
}

// The main window is the filter dialog's parent and must take input; one that was disabled before
// is disabled again afterwards.
TEST(FilterEvent, PrepHidesTheHostsWindowsAndEnablesTheMainOneAndTheEndRestoresThem) {
  HostWindows w(kNewEventTitle);
  const LONG_PTR queueProc = GetWindowLongPtrA(w.queue, GWLP_WNDPROC);
  HWND main = GetCOREInterface()->GetMainHWnd();
  for (BOOL enabledBefore : {TRUE, FALSE}) {
    SCOPED_TRACE(enabledBefore ? "an enabled main window" : "a disabled main window");
    EnableWindow(main, enabledBefore);
    EXPECT_EQ(JPrepFilterDlg(w.event), main);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_FALSE(IsWindowVisible(w.event));
    EXPECT_FALSE(IsWindowVisible(w.queue));
    EXPECT_NE(GetWindowLongPtrA(w.queue, GWLP_WNDPROC), queueProc) << "the queue window is guarded";
    EndWithoutDialog();
    EXPECT_EQ(IsWindowEnabled(main) != 0, enabledBefore != 0);
    EXPECT_TRUE(IsWindowVisible(w.queue));
    EXPECT_TRUE(IsWindowVisible(w.event));
    EXPECT_EQ(GetWindowLongPtrA(w.queue, GWLP_WNDPROC), queueProc) << "the queue's own procedure is back";
  }
  EnableWindow(main, TRUE);
}

// A client's dialog that failed to open leaves JDoFilterDlg out. The next preparation of the same
// queue window guards it once: a message to it still reaches its own procedure (instead of the
// guard calling itself for ever), and the end gives the procedure back. A preparation for another
// queue window gives the first one its procedure back at once. The child answers which check
// failed; success is not 0, which a child that crashed may answer as well.
namespace {
enum PrepAgainResult { kPrepAgainOk = 0x600D, kMessageLost, kSameNotRestored, kFirstStillGuarded, kOtherNotRestored };
const WPARAM kQueueCommand = 4711;
}  // namespace

QUORTEST_CHILD(FilterPrepAgain) {
  HostWindows w(kNewEventTitle);
  const LONG_PTR queueProc = GetWindowLongPtrA(w.queue, GWLP_WNDPROC);
  JPrepFilterDlg(w.event);
  JPrepFilterDlg(w.event);
  SendMessageA(w.queue, WM_COMMAND, kQueueCommand, 0);
  if (HostWindows::commands.size() != 1 || HostWindows::commands[0].to != w.queue) return kMessageLost;
  EndWithoutDialog();
  if (GetWindowLongPtrA(w.queue, GWLP_WNDPROC) != queueProc || !IsWindowVisible(w.queue)) return kSameNotRestored;

  HostWindows other(kNewEventTitle);
  JPrepFilterDlg(w.event);
  JPrepFilterDlg(other.event);
  if (GetWindowLongPtrA(w.queue, GWLP_WNDPROC) != queueProc) return kFirstStillGuarded;
  EndWithoutDialog();
  if (GetWindowLongPtrA(other.queue, GWLP_WNDPROC) != queueProc) return kOtherNotRestored;
  return kPrepAgainOk;
}

TEST(FilterEvent, APreparationWithoutAnEndLeavesOneGuard) {
  EXPECT_EQ(quortest::RunChild("FilterPrepAgain"), (DWORD)kPrepAgainOk);
}

TEST(FilterDialog, WhileOpenTheQueueCannotComeBackAndTheMenusAreGreyed) {
  HostWindows w(kNewEventTitle);
  const std::vector<bool> before = ReadMenu();
  ASSERT_FALSE(before[0]);
  HWND main = JPrepFilterDlg(w.event);
  JOneModelessBase* dlg = nullptr;
  dlg = JOneModelessBase::CreateDlg(main, new SettingsDlg(&dlg));
  ASSERT_NE(dlg, nullptr);
  HWND dlgWnd = dlg->GetHwnd();

  struct Seen {
    bool queueVisible = true, dialogIconic = true, sizeGreyed = false, maximizeGreyed = false;
    HWND active = nullptr;
    std::vector<bool> menu;
  } seen;
  // From inside the wait of JDoFilterDlg:
  Script step({[&] {
    HMENU system = GetSystemMenu(dlgWnd, FALSE);
    seen.sizeGreyed = Greyed(system, SC_SIZE);
    seen.maximizeGreyed = Greyed(system, SC_MAXIMIZE);
    seen.menu = ReadMenu();
    // The user minimizes the filter dialog, then the host tries to bring its queue back.
    ShowWindow(dlgWnd, SW_MINIMIZE);
    ShowWindow(w.queue, SW_SHOW);
    seen.queueVisible = IsWindowVisible(w.queue) != 0;
    seen.dialogIconic = IsIconic(dlgWnd) != 0;
    seen.active = GetActiveWindow();
    PostMessageA(dlgWnd, WM_COMMAND, IDCANCEL, 0);
    return true;
  }});
  EXPECT_EQ(JDoFilterDlg(&dlg, nullptr), 0);
  EXPECT_EQ(dlg, nullptr);

  EXPECT_FALSE(seen.queueVisible) << "the guard kept the queue window hidden";
  EXPECT_FALSE(seen.dialogIconic) << "the filter dialog was restored instead";
  EXPECT_EQ(seen.active, dlgWnd) << "and activated, not " << quortest::WindowText(seen.active);
  EXPECT_TRUE(seen.sizeGreyed);
  EXPECT_TRUE(seen.maximizeGreyed);
  EXPECT_EQ(seen.menu, (std::vector<bool>{true, true, true, before[kUntouched]})) << "other items stay as they were";
  EXPECT_EQ(ReadMenu(), (std::vector<bool>{false, false, false, before[kUntouched]}));
  EXPECT_TRUE(IsWindowVisible(w.queue));
  EXPECT_TRUE(IsWindowVisible(w.event));
}

// The host quits while the filter dialog is open: its exit closes the dialog, and the wait
// reports the end of the application.
QUORTEST_CHILD(FilterDialogQuit) {
  HostWindows w(kNewEventTitle);
  HWND main = JPrepFilterDlg(w.event);
  JOneModelessBase* dlg = nullptr;
  dlg = JOneModelessBase::CreateDlg(main, new SettingsDlg(&dlg));
  if (!dlg) return 2;
  HWND dlgWnd = dlg->GetHwnd();
  Script step({[dlgWnd] {
    PostQuitMessage(0);
    PostMessageA(dlgWnd, WM_COMMAND, IDCANCEL, 0);
    return true;
  }});
  return JDoFilterDlg(&dlg, nullptr) == 1 && dlg == nullptr ? 0 : 1;
}

TEST(FilterDialog, TheEndOfTheApplicationIsReported) { EXPECT_EQ(quortest::RunChild("FilterDialogQuit"), 0u); }

TEST(FilterDialog, ProtectedShowingAcceptsTheHostsEventDialog) {
  HostWindows w(kNewEventTitle);
  TestFilter f;
  f.dialog = [](HWND) { return 0; };
  HWND main = JPrepFilterDlg(w.event);
  EndWithoutDialog();
  EXPECT_EQ(f.ShowControlProtected(main), 1);
  ASSERT_TRUE(quortest::ControlDriver::PumpUntil([] { return !HostWindows::commands.empty(); }, kPumpTimeout));
  EXPECT_EQ(HostWindows::commands[0].to, w.event);
  EXPECT_EQ(HostWindows::commands[0].wParam, (WPARAM)IDOK) << "even a cancelled filter dialog accepts the event";
}

TEST(FilterAbout, TheAboutDialogIsFilledByTheFilterAndEndsWithItsButton) {
  TestFilter f;
  for (int button : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(button);
    HICON bigIcon = nullptr, smallIcon = nullptr;
    quortest::ModalDriver driver(button);
    driver.Before([&](HWND dlg) {
      bigIcon = (HICON)SendMessageA(dlg, WM_GETICON, ICON_BIG, 0);
      smallIcon = (HICON)SendMessageA(dlg, WM_GETICON, ICON_SMALL, 0);
    });
    f.aboutDialog = nullptr;
    INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TEST_ABOUT), nullptr,
                                JFilterAboutDlgProc, (LPARAM)&f);
    ASSERT_TRUE(driver.Wait());
    EXPECT_EQ(r, button == IDOK ? 1 : 0);
    EXPECT_NE(f.aboutDialog, nullptr) << "InitAbout ran with the dialog";
    HICON library = LoadIconA(GetLibInstance(), MAKEINTRESOURCEA(IDI_QUORLIB_ICON));
    EXPECT_EQ(bigIcon, library);
    EXPECT_EQ(smallIcon, library);
  }
}
