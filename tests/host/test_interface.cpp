// The interface object: time callbacks, dialogs, prompts, the main window, select by name, exit.
#include "TestSupport.h"
#include "vantor.h"

#include <gtest/gtest.h>

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
  TimeLog a, b;
  ip->RegisterTimeChangeCallback(&a);
  ip->RegisterTimeChangeCallback(&b);
  ip->RegisterTimeChangeCallback(&a);  // once only
  ip->SetTime(old + 160);
  ip->SetTime(old + 160);  // no change, no call
  ip->UnRegisterTimeChangeCallback(&b);
  ip->SetTime(old + 320);
  ip->UnRegisterTimeChangeCallback(&a);
  ip->SetTime(old);
  EXPECT_EQ(a.times, (std::vector<TimeValue>{old + 160, old + 320}));
  EXPECT_EQ(b.times, (std::vector<TimeValue>{old + 160}));
  EXPECT_EQ(ip->GetTime(), old);
}

TEST(Interface, MainWindowIsARealTopLevelWindow) {
  HWND w = GetCOREInterface()->GetMainHWnd();
  ASSERT_TRUE(IsWindow(w));
  EXPECT_EQ(GetParent(w), nullptr);
  EXPECT_EQ(GetCOREInterface()->GetMainHWnd(), w);
  EXPECT_EQ(quortest::WindowText(w), "Vantor");
}

TEST(Interface, ModelessDialogsRegisterAndGetTheirKeyboardMessages) {
  Interface* ip = GetCOREInterface();
  HWND dlg = CreateWindowA("#32770", "modeless", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(dlg, nullptr);
  EXPECT_FALSE(ip->IsDlgWndRegistered(dlg));
  ip->RegisterDlgWnd(dlg);
  EXPECT_TRUE(ip->IsDlgWndRegistered(dlg));
  PostMessageA(dlg, WM_USER + 5, 0, 0);
  EXPECT_EQ(ip->ProcessMessages(), 1);
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

TEST(Interface, SaveRequiredFlag) {
  SetSaveRequiredFlag();
  EXPECT_TRUE(GetSaveRequiredFlag());
  SetSaveRequiredFlag(FALSE);
  EXPECT_FALSE(GetSaveRequiredFlag());
}

namespace {

// Picks nodes in the multiple-selection mode, remembering what the dialog offered.
struct Picker : HitByNameDlgCallback {
  std::vector<std::string> chosen;
  bool single = false;
  const char* dialogTitle() override { return "Pick Things"; }
  const char* buttonText() override { return "Take"; }
  BOOL singleSelect() override { return single; }
  BOOL useFilter() override { return TRUE; }
  int filter(INode* n) override { return strcmp(n->GetName(), "hidden") != 0; }
  BOOL useProc() override { return TRUE; }
  void proc(INodeTab& nodes) override {
    for (int i = 0; i < nodes.Count(); i++) chosen.push_back(nodes[i]->GetName());
  }
  BOOL doCustomHilite() override { return TRUE; }
  BOOL doHilite(INode* n) override { return strcmp(n->GetName(), "beta") == 0; }
};

std::vector<std::string> ListItems(HWND dlg) {
  HWND list = GetDlgItem(dlg, HITBYNAME_LIST);
  std::vector<std::string> items;
  int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < n; i++) {
    char text[256];
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

}  // namespace

TEST(HitByName, ListsFilteredNodesAndHandsBackTheChosenOnes) {
  INode* alpha = CreateSceneNode("alpha");
  CreateSceneNode("beta", alpha);
  CreateSceneNode("hidden");
  Picker picker;
  std::vector<std::string> offered;
  std::string okText;
  quortest::ModalDriver driver(IDOK);
  driver.Before([&](HWND dlg) {
    offered = ListItems(dlg);
    okText = quortest::WindowText(GetDlgItem(dlg, IDOK));
    SendMessageA(GetDlgItem(dlg, HITBYNAME_LIST), LB_SETSEL, TRUE, 0);  // add alpha to beta
  });
  EXPECT_TRUE(GetCOREInterface()->DoHitByNameDialog(&picker));
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(driver.Caption(), "Pick Things");
  EXPECT_EQ(okText, "Take");
  EXPECT_EQ(offered, (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_EQ(picker.chosen, (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_EQ(GetCOREInterface()->GetINodeByName("beta")->GetParentNode(), alpha);
  ResetScene();
}

TEST(HitByName, CancelAnswersZeroAndCallsNothing) {
  CreateSceneNode("one");
  Picker picker;
  quortest::ModalDriver driver(IDCANCEL);
  EXPECT_FALSE(GetCOREInterface()->DoHitByNameDialog(&picker));
  ASSERT_TRUE(driver.Wait());
  EXPECT_TRUE(picker.chosen.empty());
  ResetScene();
}

TEST(HitByName, SingleSelectionTakesOneNode) {
  CreateSceneNode("a");
  CreateSceneNode("beta");
  Picker picker;
  picker.single = true;
  quortest::ModalDriver driver(IDOK);
  EXPECT_TRUE(GetCOREInterface()->DoHitByNameDialog(&picker));
  driver.Wait();
  EXPECT_EQ(picker.chosen, (std::vector<std::string>{"beta"})) << "the highlighted node is preselected";
  ResetScene();
}

// The exit sequence ends the application for good: run in child processes.
QUORTEST_CHILD(ExitRefused) {
  ExitVote yes, no;
  no.allow = FALSE;
  Interface* ip = GetCOREInterface();
  HWND main = ip->GetMainHWnd();
  ip->RegisterExitVANTORCallback(&yes);
  ip->RegisterExitVANTORCallback(&no);
  if (HostExit()) return 10;
  if (no.asked.size() != 1 || no.asked[0] != main) return 11;
  if (!IsWindow(main) || ip->ProcessMessages() != 1) return 12;
  return 0;
}

QUORTEST_CHILD(ExitAccepted) {
  ExitVote vote;
  Interface* ip = GetCOREInterface();
  HWND main = ip->GetMainHWnd();
  HWND dlg = CreateWindowA("#32770", "open dialog", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ip->RegisterDlgWnd(dlg);
  ip->RegisterExitVANTORCallback(&vote);
  // Closing the main window runs the exit sequence.
  SendMessageA(main, WM_CLOSE, 0, 0);
  if (vote.asked.size() != 1) return 20;
  if (IsWindow(main) || IsWindow(dlg)) return 21;
  if (ip->ProcessMessages() != 0) return 22;
  if (ip->ProcessMessages() != 0) return 23;
  return 0;
}

TEST(Exit, ACallbackCanRefuseTheExit) { EXPECT_EQ(quortest::RunChild("ExitRefused"), 0u); }
TEST(Exit, AcceptedExitClosesDialogsAndTheMainWindowAndQuits) {
  EXPECT_EQ(quortest::RunChild("ExitAccepted"), 0u);
}
