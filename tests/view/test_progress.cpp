// The progress dialog: Cancel as a flag a long operation polls, the owner disabled while it is
// open, and the progress messages that let other code drive it.
#include "ControlDriver.h"
#include "TestSupport.h"

#include "Quorlib.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using quortest::ControlDriver;
using quortest::WindowText;

constexpr int kChildId = 310;
constexpr int kMissingTemplate = 9999;

struct Progress : testing::Test {
  void SetUp() override {
    attached = JAttachedCount();
    dlg = new JProgressDlg;
  }
  void TearDown() override {
    delete dlg;
    EXPECT_EQ(JAttachedCount(), attached) << "no window is left attached to a dialog object";
  }
  HWND Item(int id) { return GetDlgItem(dlg->GetHwnd(), id); }
  void PressCancel() { driver.Click(Item(JProgressDlg::kIdCancel), 5, 5); }
  int attached = 0;
  ControlDriver driver;
  JProgressDlg* dlg = nullptr;
};

// A progress dialog whose template the library does not have.
class NoTemplate : public JProgressDlg {
 public:
  int IdDlg() override { return kMissingTemplate; }
};

}  // namespace

TEST_F(Progress, OpensOverItsOwnerWithTheLibrarysTemplate) {
  HWND child = driver.Create(nullptr, "BUTTON", kChildId, 10, 10, 40, 20);
  ASSERT_EQ(dlg->Create(child), 1);
  HWND w = dlg->GetHwnd();
  ASSERT_TRUE(IsWindow(w));
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(GetWindow(w, GW_OWNER), driver.Parent()) << "a child window is replaced by its top-level window";
  EXPECT_FALSE(IsWindowEnabled(driver.Parent()));
  EXPECT_EQ(WindowText(w), " Progress Dialog");
  EXPECT_EQ(WindowText(Item(JProgressDlg::kIdStatus)), "Rendering VANTOR scene. Please stand by.");
  char cls[32] = "";
  GetClassNameA(Item(JProgressDlg::kIdBar), cls, sizeof cls);
  EXPECT_STREQ(cls, PROGRESS_CLASSA);
  EXPECT_EQ(WindowText(Item(JProgressDlg::kIdCancel)), "Cancel");
  EXPECT_EQ(dlg->IsCanceled(), 0);
  EXPECT_EQ(dlg->CheckCancelButton(), 0);

  EXPECT_NE(dlg->Destroy(), 0);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_TRUE(IsWindowEnabled(driver.Parent()));
}

TEST_F(Progress, CancelIsReadOnceAndStaysCanceled) {
  ASSERT_EQ(dlg->Create(driver.Parent()), 1);
  PressCancel();
  EXPECT_TRUE(IsWindow(dlg->GetHwnd())) << "Cancel only raises the flags; the operation closes the dialog";
  EXPECT_EQ(dlg->CheckCancelButton(), 1);
  EXPECT_EQ(dlg->CheckCancelButton(), 0);
  EXPECT_EQ(dlg->IsCanceled(), 1);
  EXPECT_EQ(dlg->IsCanceled(), 1);

  // Opening it again starts without either flag.
  dlg->Destroy();
  ASSERT_EQ(dlg->Create(driver.Parent()), 1);
  EXPECT_EQ(dlg->IsCanceled(), 0);
  EXPECT_EQ(dlg->CheckCancelButton(), 0);
}

TEST_F(Progress, AnOwnerDisabledBeforehandStaysDisabled) {
  EnableWindow(driver.Parent(), FALSE);
  ASSERT_EQ(dlg->Create(driver.Parent()), 1);
  dlg->ReEnableParent();
  EXPECT_FALSE(IsWindowEnabled(driver.Parent())) << "the dialog did not disable it, so it does not enable it";
  dlg->Destroy();
  EXPECT_FALSE(IsWindowEnabled(driver.Parent()));
}

TEST_F(Progress, ReEnablingTheOwnerEarlyHappensOnce) {
  ASSERT_EQ(dlg->Create(driver.Parent()), 1);
  dlg->ReEnableParent();
  EXPECT_TRUE(IsWindowEnabled(driver.Parent()));
  // Someone else disables the owner meanwhile; closing the dialog leaves it as it is.
  EnableWindow(driver.Parent(), FALSE);
  dlg->Destroy();
  EXPECT_FALSE(IsWindowEnabled(driver.Parent()));
}

TEST_F(Progress, TheMessagesDriveIt) {
  const int kDone = 30, kTotal = 120;
  ASSERT_EQ(dlg->Create(driver.Parent()), 1);
  HWND w = dlg->GetHwnd();
  HWND bar = Item(JProgressDlg::kIdBar);

  SendMessageA(w, JWM_PROGRESS, kDone, kTotal);
  PBRANGE range = {};
  SendMessageA(bar, PBM_GETRANGE, FALSE, (LPARAM)&range);
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, kTotal);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), kDone);

  SendMessageA(w, JWM_SETSTATUS, 0, (LPARAM) "Frame 12 of 40");
  EXPECT_EQ(WindowText(Item(JProgressDlg::kIdStatus)), "Frame 12 of 40");

  const int kUnset = 7;
  int answer = kUnset;
  SendMessageA(w, JWM_QUERYABORT, 0, (LPARAM)&answer);
  EXPECT_EQ(answer, 0);
  PressCancel();
  answer = kUnset;
  SendMessageA(w, JWM_QUERYABORT, 0, (LPARAM)&answer);
  EXPECT_EQ(answer, -1);
  answer = kUnset;
  SendMessageA(w, JWM_QUERYABORT, 0, (LPARAM)&answer);
  EXPECT_EQ(answer, 0) << "the query reads the pressed flag like CheckCancelButton";
  EXPECT_EQ(dlg->IsCanceled(), 1);

  // The direct calls do what the messages do, with a range of the caller's choice.
  dlg->SetPos(5, 2, 9);
  SendMessageA(bar, PBM_GETRANGE, FALSE, (LPARAM)&range);
  EXPECT_EQ(range.iLow, 2);
  EXPECT_EQ(range.iHigh, 9);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 5);
}

TEST_F(Progress, DeletingAnOpenDialogClosesItAndFreesTheOwner) {
  ASSERT_EQ(dlg->Create(driver.Parent()), 1);
  HWND w = dlg->GetHwnd();
  dlg->DeleteThis();
  dlg = nullptr;
  EXPECT_FALSE(IsWindow(w));
  EXPECT_TRUE(IsWindowEnabled(driver.Parent()));
}

TEST_F(Progress, ADialogThatCannotBeCreatedLeavesTheOwnerEnabled) {
  NoTemplate* bad = new NoTemplate;
  EXPECT_EQ(bad->Create(driver.Parent()), 0);
  EXPECT_EQ(bad->GetHwnd(), nullptr);
  EXPECT_TRUE(IsWindowEnabled(driver.Parent()));
  delete bad;
}
