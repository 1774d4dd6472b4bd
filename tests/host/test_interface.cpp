// The interface object: time callbacks, dialogs, prompts, the main window, select by name, exit.
#include "TestSupport.h"
#include "vantor.h"
#include "vbmm.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct TimeLog : TimeChangeCallback {
  std::vector<TimeValue> times;
  void TimeChanged(TimeValue t) override { times.push_back(t); }
};

struct ExitVote : ExitVANTORCallback {
  BOOL allow = TRUE;
  std::vector<HWND> asked;
  BOOL Exit(HWND w) override {
    asked.push_back(w);
    return allow;
  }
};

}  // namespace

TEST(Interface, SetTimeTellsEveryRegisteredCallback) {
  Interface* ip = GetCOREInterface();
  TimeValue old = ip->GetTime();
  int registered = GetTimeChangeCallbackCount();
  TimeLog a, b;
  ip->RegisterTimeChangeCallback(&a);
  ip->RegisterTimeChangeCallback(&b);
  ip->RegisterTimeChangeCallback(&a);  // once only
  EXPECT_EQ(GetTimeChangeCallbackCount(), registered + 2);
  ip->SetTime(old + 160);
  ip->SetTime(old + 160);  // no change, no call
  ip->UnRegisterTimeChangeCallback(&b);
  ip->SetTime(old + 320);
  ip->UnRegisterTimeChangeCallback(&a);
  EXPECT_EQ(GetTimeChangeCallbackCount(), registered);
  ip->SetTime(old);
  EXPECT_EQ(a.times, (std::vector<TimeValue>{old + 160, old + 320}));
  EXPECT_EQ(b.times, (std::vector<TimeValue>{old + 160}));
  EXPECT_EQ(ip->GetTime(), old);
}

TEST(Interface, MainWindowAndModelessDialogsThatGetTheirKeyboardMessages) {
  Interface* ip = GetCOREInterface();
  HWND w = ip->GetMainHWnd();
  ASSERT_TRUE(IsWindow(w));
  EXPECT_EQ(GetParent(w), nullptr) << "a top-level window";
  EXPECT_EQ(ip->GetMainHWnd(), w) << "made once";
  EXPECT_EQ(quortest::WindowText(w), "Vantor");
  EXPECT_EQ(TheManager->Iface(), ip) << "the bitmap manager reaches the same object";
  // A modeless dialog with two tab stops: registered, a Tab key pressed on the first moves the
  // focus to the second, as the dialog manager does it.
  HWND dlg = CreateWindowA("#32770", "modeless", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(dlg, nullptr);
  HWND first = CreateWindowA("BUTTON", "one", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 80, 20, dlg, nullptr, nullptr, nullptr);
  HWND second = CreateWindowA("BUTTON", "two", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 30, 80, 20, dlg, nullptr, nullptr, nullptr);
  ASSERT_TRUE(first && second);
  EXPECT_FALSE(ip->IsDlgWndRegistered(dlg));
  ip->RegisterDlgWnd(dlg);
  EXPECT_TRUE(ip->IsDlgWndRegistered(dlg));
  SetFocus(first);
  ASSERT_EQ(GetFocus(), first);
  PostMessageA(first, WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(ip->ProcessMessages(), 1);
  EXPECT_EQ(GetFocus(), second) << "the Tab key reached the dialog manager";
  EXPECT_EQ(ip->UnRegisterDlgWnd(dlg), 1);
  EXPECT_EQ(ip->UnRegisterDlgWnd(dlg), 0);
  DestroyWindow(dlg);
}

TEST(Interface, PromptsStackAndTemporaryPromptsExpire) {
  Interface* ip = GetCOREInterface();
  ip->PushPrompt("base");
  ip->PushPrompt("top");
  EXPECT_STREQ(ip->GetPrompt(), "top");
  ip->ReplacePrompt("replaced");
  EXPECT_STREQ(ip->GetPrompt(), "replaced");
  ip->DisplayTempPrompt("file.bmp : Bitmap Loading Error", 3000);
  EXPECT_STREQ(ip->GetPrompt(), "file.bmp : Bitmap Loading Error");
  ip->RemoveTempPrompt();
  EXPECT_STREQ(ip->GetPrompt(), "replaced");
  ip->DisplayTempPrompt("short", 30);
  Sleep(80);
  EXPECT_STREQ(ip->GetPrompt(), "replaced");
  ip->PopPrompt();
  EXPECT_STREQ(ip->GetPrompt(), "base");
  ip->PopPrompt();
  ip->PopPrompt();
  EXPECT_STREQ(ip->GetPrompt(), "");
}

namespace {

// A person's picks in the select-by-name dialog: what the caller highlighted, and what it got.
struct Chooser : HitByNameDlgCallback {
  std::vector<std::string> highlighted, chosen;
  bool single = false, procCalled = false;
  BOOL singleSelect() override { return single; }
  BOOL useProc() override { return TRUE; }
  void proc(INodeTab& nodes) override {
    procCalled = true;
    for (int i = 0; i < nodes.Count(); i++) chosen.push_back(nodes[i]->GetName());
  }
  BOOL doCustomHilite() override { return TRUE; }
  BOOL doHilite(INode* n) override {
    for (const std::string& h : highlighted)
      if (h == n->GetName()) return TRUE;
    return FALSE;
  }
};

// A caller with a title, a button text and a filter of its own.
struct OwnWords : Chooser {
  const char* dialogTitle() override { return "Pick Things"; }
  const char* buttonText() override { return "Take"; }
  BOOL useFilter() override { return TRUE; }
  int filter(INode* n) override { return strcmp(n->GetName(), "hidden") != 0; }
};

std::vector<std::string> ListItems(HWND dlg) { return quortest::ListBoxItems(GetDlgItem(dlg, HITBYNAME_LIST)); }

std::vector<std::string> Selected(HWND dlg) {
  HWND list = GetDlgItem(dlg, HITBYNAME_LIST);
  bool single = !(GetWindowLongPtrA(list, GWL_STYLE) & LBS_EXTENDEDSEL);
  std::vector<std::string> items = ListItems(dlg), on;
  for (int i = 0; i < (int)items.size(); i++) {
    bool sel = single ? SendMessageA(list, LB_GETCURSEL, 0, 0) == i : SendMessageA(list, LB_GETSEL, i, 0) > 0;
    if (sel) on.push_back(items[i]);
  }
  return on;
}

void Press(HWND dlg, int id) { SendMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
void Find(HWND dlg, const char* text) { SetDlgItemTextA(dlg, HITBYNAME_FIND, text); }

// What a person sees of the selection: the selected names and the count line.
std::string Seen(HWND dlg) {
  std::string seen;
  for (const std::string& n : Selected(dlg)) seen += n + ", ";
  return seen + quortest::WindowText(GetDlgItem(dlg, HITBYNAME_COUNT));
}

}  // namespace

TEST(HitByName, ShowsTheCallersWordsAndListsOnlyTheNodesItsFilterTakes) {
  INode* alpha = CreateSceneNode("alpha");
  CreateSceneNode("beta", alpha);
  CreateSceneNode("hidden");
  OwnWords picker;
  picker.highlighted = {"beta"};
  std::vector<std::string> offered;
  std::string okText;
  quortest::ModalDriver driver(IDOK);
  driver.Before([&](HWND dlg) {
    offered = ListItems(dlg);
    okText = quortest::WindowText(GetDlgItem(dlg, IDOK));
    SendMessageA(GetDlgItem(dlg, HITBYNAME_LIST), LB_SETSEL, TRUE, 0);  // adds alpha to the highlighted beta
  });
  EXPECT_TRUE(GetCOREInterface()->DoHitByNameDialog(&picker));
  EXPECT_TRUE(driver.Wait());
  EXPECT_EQ(driver.Caption(), "Pick Things");
  EXPECT_EQ(okText, "Take");
  EXPECT_EQ(offered, (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_EQ(picker.chosen, (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_EQ(GetCOREInterface()->GetINodeByName("beta")->GetParentNode(), alpha);
  ResetScene();
}

// Picking as a person does: highlighted nodes come selected, typing a name's beginning selects
// the matching nodes, All, None and Invert act on the whole list, and the count follows.
TEST(HitByName, HighlightFindAndTheSelectionButtons) {
  using Names = std::vector<std::string>;
  INode* lights = CreateSceneNode("Lights");
  CreateSceneNode("Key Light", lights);
  CreateSceneNode("Fill Light", lights);
  CreateSceneNode("Camera");
  CreateSceneNode("Ground");
  CreateSceneNode("camera target");
  const Names kAll = {"Lights", "Key Light", "Fill Light", "Camera", "Ground", "camera target"};
  // Each run: what the person does before pressing the button (noting what the dialog shows on
  // the way), what it should show, and which nodes the caller gets.
  const struct Run {
    const char* what;
    bool single;
    Names highlighted;
    std::function<Names(HWND)> act;
    Names seen;
    int button;
    Names chosen;
  } runs[] = {
      {"highlighted nodes come selected", false, {"Ground", "Key Light"},
       [](HWND dlg) { return Names{Seen(dlg)}; }, {"Key Light, Ground, 2 of 6 selected"}, IDOK, {"Key Light", "Ground"}},
      {"find ignores case, then invert", false, {"Ground"},
       [](HWND dlg) {
         Find(dlg, "CAM");
         Names seen{Seen(dlg)};
         Press(dlg, HITBYNAME_INVERT);
         return seen;
       },
       {"Camera, camera target, 2 of 6 selected"}, IDOK, {"Lights", "Key Light", "Fill Light", "Ground"}},
      {"all, then none", false, {},
       [](HWND dlg) {
         Press(dlg, HITBYNAME_ALL);
         Names seen{Seen(dlg)};
         Press(dlg, HITBYNAME_NONE);
         seen.push_back(Seen(dlg));
         return seen;
       },
       {"Lights, Key Light, Fill Light, Camera, Ground, camera target, 6 of 6 selected", "0 of 6 selected"}, IDOK,
       {}},
      {"cancelled after picking", false, {},
       [](HWND dlg) {
         Press(dlg, HITBYNAME_ALL);
         return Names{};
       },
       {}, IDCANCEL, {}},
      {"single: the first highlighted node only", true, {"Ground", "Fill Light"},
       [](HWND dlg) {
         bool buttons = IsWindowEnabled(GetDlgItem(dlg, HITBYNAME_ALL)) || IsWindowEnabled(GetDlgItem(dlg, HITBYNAME_INVERT));
         return Names{Seen(dlg), buttons ? "All or Invert enabled" : "All and Invert greyed"};
       },
       {"Fill Light, 1 of 6 selected", "All and Invert greyed"}, IDOK, {"Fill Light"}},
      {"single: find picks the first match", true, {"Ground"},
       [](HWND dlg) {
         Find(dlg, "camera");
         Names seen{Seen(dlg)};
         Find(dlg, "nothing like it");
         seen.push_back(Seen(dlg));
         Find(dlg, "l");
         return seen;
       },
       {"Camera, 1 of 6 selected", "0 of 6 selected"}, IDOK, {"Lights"}},
  };
  for (const Run& run : runs) {
    SCOPED_TRACE(run.what);
    Chooser chooser;
    chooser.single = run.single;
    chooser.highlighted = run.highlighted;
    Names offered, seen;
    quortest::ModalDriver driver(run.button);
    driver.Before([&](HWND dlg) {
      offered = ListItems(dlg);
      seen = run.act(dlg);
    });
    EXPECT_EQ(GetCOREInterface()->DoHitByNameDialog(&chooser) != FALSE, run.button == IDOK);
    EXPECT_TRUE(driver.Wait());
    EXPECT_EQ(driver.Caption(), "Select by Name") << "the callback's default title";
    EXPECT_EQ(offered, kAll);
    EXPECT_EQ(seen, run.seen);
    EXPECT_EQ(chooser.chosen, run.chosen);
    EXPECT_EQ(chooser.procCalled, run.button == IDOK);
  }
  ResetScene();
}

// A double click on a node confirms the dialog as its button would.
TEST(HitByName, DoubleClickConfirms) {
  const int kNoButton = 0x7777;  // the driver presses nothing: the double click closes the dialog
  CreateSceneNode("Camera");
  CreateSceneNode("Ground");
  Chooser chooser;
  quortest::ModalDriver driver(kNoButton);
  driver.Before([](HWND dlg) {
    HWND list = GetDlgItem(dlg, HITBYNAME_LIST);
    SendMessageA(list, LB_SETSEL, TRUE, 1);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(HITBYNAME_LIST, LBN_DBLCLK), (LPARAM)list);
  });
  EXPECT_TRUE(GetCOREInterface()->DoHitByNameDialog(&chooser));
  EXPECT_FALSE(driver.Wait()) << "closed before any button was pressed";
  EXPECT_EQ(chooser.chosen, (std::vector<std::string>{"Ground"}));
  ResetScene();
}

// The exit sequence ends the application for good: run in a child process.
QUORTEST_CHILD(ExitSequence) {
  ExitVote yes, no;
  no.allow = FALSE;
  Interface* ip = GetCOREInterface();
  HWND main = ip->GetMainHWnd();
  HWND dlg = CreateWindowA("#32770", "open dialog", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ip->RegisterDlgWnd(dlg);
  int registered = GetExitCallbackCount();
  ip->RegisterExitVANTORCallback(&yes);
  ip->RegisterExitVANTORCallback(&no);
  ip->RegisterExitVANTORCallback(&no);  // once only
  if (GetExitCallbackCount() != registered + 2) return 9;
  if (HostExit()) return 10;
  if (no.asked.size() != 1 || no.asked[0] != main) return 11;
  if (!IsWindow(main) || !IsWindow(dlg) || ip->ProcessMessages() != 1) return 12;
  // Without the refusing callback, closing the main window runs the exit sequence to the end.
  ip->UnRegisterExitVANTORCallback(&no);
  if (GetExitCallbackCount() != registered + 1) return 13;
  SendMessageA(main, WM_CLOSE, 0, 0);
  if (yes.asked.size() != 2 || no.asked.size() != 1) return 20;
  if (IsWindow(main) || IsWindow(dlg)) return 21;
  if (ip->ProcessMessages() != 0) return 22;
  if (ip->ProcessMessages() != 0) return 23;
  return 0;
}

TEST(Exit, ACallbackCanRefuseAndAnAcceptedExitClosesDialogsAndTheMainWindowAndQuits) {
  EXPECT_EQ(quortest::RunChild("ExitSequence"), 0u);
}
