// The bypass control of a view: a host custom button or a plain check box in a real window that
// shows the bound data's subtree bypass flag and writes it back when a person clicks it.
#include "ControlDriver.h"
#include "PlainDialog.h"
#include "Recorder.h"
#include "RecordingView.h"
#include "TestSupport.h"

#include "Quorlib.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using quortest::ControlDriver;
using quortest::TooltipOf;

constexpr int kCustId = 301, kCheckId = 302, kOtherCustId = 303;
constexpr int kZeroId = 0;  // a bypass id that means none, though the window has a child with it

struct Bypass : testing::Test {
  void SetUp() override {
    liveControls = GetLiveCustomControlCount();
    owner = new quortest::Recorder(1);
    gain = Create_JFloatData();
    owner->Hold(gain, 0);
    cust = driver.Create(GetLibInstance(), CUSTBUTTONWINDOWCLASS, kCustId, 10, 10, 13, 13);
    check = CreateWindowA("BUTTON", "", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 40, 10, 16, 16, driver.Parent(),
                          (HMENU)(INT_PTR)kCheckId, nullptr, nullptr);
    // Disabled and unchecked: a view that took it for its bypass control would enable it, check it
    // to show that the data is not bypassed, and read it as bypassed.
    zeroCheck = CreateWindowA("BUTTON", "", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_AUTOCHECKBOX, 70, 10, 16, 16,
                              driver.Parent(), (HMENU)(INT_PTR)kZeroId, nullptr, nullptr);
    ASSERT_TRUE(cust);
    ASSERT_TRUE(check);
    ASSERT_TRUE(zeroCheck);
    ASSERT_EQ(GetDlgItem(driver.Parent(), kZeroId), zeroCheck);
    dlg = new PlainDialog(driver.Parent());  // a dialog object over the driver's window, at time 0
  }
  void TearDown() override {
    dlg->DeleteThis();
    owner->DeleteMe();
  }
  // A view of gain with bypass control id, set up as its dialog sets it up.
  RecordingView* Bound(int id) {
    RecordingView* v = RecordingView::Create(gain, id);
    *dlg += v;
    v->InitBypassCtl();
    v->SetFreeze(0);
    v->UpdateBypassTreeView();
    return v;
  }
  // The dialog's part: a WM_COMMAND from the bypass control goes to the view.
  void Deliver(RecordingView* v) {
    for (const quortest::ParentMessage& m : driver.Log())
      if (m.message == WM_COMMAND && LOWORD(m.wParam) == v->IdBypass()) v->UpdateBypassTreeData();
    driver.Clear();
  }
  int liveControls = 0;
  ControlDriver driver;
  quortest::Recorder* owner = nullptr;
  JFloatData* gain = nullptr;
  HWND cust = nullptr, check = nullptr, zeroCheck = nullptr;
  PlainDialog* dlg = nullptr;
};

}  // namespace

TEST_F(Bypass, CustomButtonBecomesACheckButtonThatTogglesTheFlagWithTheLibrarysTooltip) {
  RecordingView* v = Bound(kCustId);
  ICustButton* b = GetICustButton(cust);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetType(), CBT_CHECK);
  EXPECT_TRUE(b->IsChecked()) << "checked: not bypassed";

  driver.Click(cust, 5, 5);
  EXPECT_FALSE(b->IsChecked());
  Deliver(v);
  EXPECT_EQ(gain->GetBypassTree(), 1);
  driver.Click(cust, 5, 5);
  Deliver(v);
  EXPECT_EQ(gain->GetBypassTree(), 0);

  // A change made elsewhere shows in the button.
  BypassTree(gain, 1);
  EXPECT_FALSE(b->IsChecked());
  v->UpdateBypassTreeView(0);
  EXPECT_TRUE(b->IsChecked());

  // Its tooltip is the library's string; another resource string loaded meanwhile does not change
  // the text a later button gets, and a plain check box gets none.
  EXPECT_EQ(TooltipOf(driver.Parent(), cust), "Show/Hide in the Tavrel");
  std::string title = GetResString(1);
  ASSERT_FALSE(title.empty());
  HWND second = driver.Create(GetLibInstance(), CUSTBUTTONWINDOWCLASS, kOtherCustId, 30, 30, 13, 13);
  RecordingView* w = Bound(kOtherCustId);
  EXPECT_EQ(TooltipOf(driver.Parent(), second), "Show/Hide in the Tavrel");
  RecordingView* boxView = Bound(kCheckId);
  EXPECT_EQ(TooltipOf(driver.Parent(), check), "(none)");

  ReleaseICustButton(b);
  for (RecordingView* view : {v, w, boxView}) view->Destroy();
  EXPECT_EQ(GetLiveCustomControlCount(), liveControls) << "the views release their button interfaces";
}

// A plain check box writes the flag; the data object tells every registered view but the one that
// made the change, and hands all its views over to another object (the views then show that one).
TEST_F(Bypass, PlainCheckBoxWritesTheFlagAndTheDataTellsEveryViewButTheChangingOne) {
  RecordingView* v = Bound(kCheckId);
  RecordingView* peer = Bound(kCustId);
  EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
  driver.Click(check, 4, 4);
  EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  v->told.clear();
  peer->told.clear();
  Deliver(v);
  EXPECT_EQ(gain->GetBypassTree(), 1);
  EXPECT_TRUE(v->told.empty()) << "the view that made the change is not told";
  EXPECT_EQ(peer->told, std::vector<int>{1});
  ICustButton* b = GetICustButton(cust);
  EXPECT_FALSE(b->IsChecked()) << "the other view of the data shows it";
  ReleaseICustButton(b);
  size_t shown = v->shown.size();

  // The peer's button writes back; the check box follows.
  driver.Click(cust, 5, 5);
  Deliver(peer);
  EXPECT_EQ(gain->GetBypassTree(), 0);
  EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(v->shown.size(), shown) << "a bypass change is not a value change";

  JFloatData* other = Create_JFloatData();
  ASSERT_NE(other, nullptr);
  gain->ReplaceViews2(other);
  EXPECT_EQ(gain->NumViews(), 2) << "the views stay listed with the former object until it lets them go";
  gain->DelView(v);
  gain->DelView(peer);
  ASSERT_EQ(other->NumViews(), 2);
  EXPECT_EQ(other->GetView(0), v);
  EXPECT_EQ(other->GetView(1), peer);
  v->told.clear();
  peer->told.clear();
  other->SetBypassTree(1, nullptr);
  EXPECT_EQ(v->told, std::vector<int>{1});
  EXPECT_EQ(peer->told, std::vector<int>{1});
  v->Destroy();
  peer->Destroy();
  EXPECT_EQ(other->NumViews(), 0);
  other->DeleteMe();
}

TEST_F(Bypass, EnableAndDisableAnswerThePreviousState) {
  RecordingView* withButton = Bound(kCustId);
  RecordingView* withCheck = Bound(kCheckId);
  RecordingView* none = Bound(-1);
  RecordingView* zero = Bound(kZeroId);
  EXPECT_EQ(SendMessageA(zeroCheck, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "set up as no view's control";
  for (RecordingView* v : {withButton, withCheck}) {
    HWND ctl = GetDlgItem(driver.Parent(), v->IdBypass());
    EXPECT_EQ(v->EnableBypassCtl(0), 1) << v->IdBypass();
    EXPECT_FALSE(IsWindowEnabled(ctl));
    EXPECT_EQ(v->EnableBypassCtl(0), 0);
    if (v == withButton) {
      // The custom button ignores the mouse while disabled: the flag stays. (Windows keeps mouse
      // input from a disabled check box itself, so it is not sent one here.)
      driver.Click(ctl, 4, 4);
      Deliver(v);
      EXPECT_EQ(gain->GetBypassTree(), 0);
    }
    EXPECT_EQ(v->EnableBypassCtl(1), 0);
    EXPECT_TRUE(IsWindowEnabled(ctl));
    EXPECT_EQ(v->EnableBypassCtl(1), 1);
  }
  // Without a bypass control there is nothing to enable, show or write; the child with id 0 is
  // left as it is.
  for (RecordingView* v : {none, zero}) {
    EXPECT_EQ(v->EnableBypassCtl(1), 0);
    EXPECT_FALSE(IsWindowEnabled(zeroCheck)) << v->IdBypass();
    v->UpdateBypassTreeView(0);
    EXPECT_EQ(SendMessageA(zeroCheck, BM_GETCHECK, 0, 0), BST_UNCHECKED) << v->IdBypass();
    v->UpdateBypassTreeData();
    EXPECT_EQ(gain->GetBypassTree(), 0) << v->IdBypass();
    BypassTree(gain, 1);
    v->UpdateBypassTreeData();
    EXPECT_EQ(gain->GetBypassTree(), 1) << v->IdBypass();
    BypassTree(gain, 0);
  }
  for (RecordingView* v : {withButton, withCheck, none, zero}) v->Destroy();
}
