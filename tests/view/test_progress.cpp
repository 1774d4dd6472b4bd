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
constexpr int kUnset = 7;  // an answer the dialog never gives

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
  // What the dialog answers to JWM_QUERYABORT (kUnset when it does not answer).
  int QueryAbort() {
    int answer = kUnset;
    SendMessageA(dlg->GetHwnd(), JWM_QUERYABORT, 0, (LPARAM)&answer);
    return answer;
  }
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

// The dialog enables its owner again only when it disabled it itself, and only once.
TEST_F(Progress, TheOwnerIsEnabledAgainOnlyByTheDialogThatDisabledIt) {
  HWND owner = driver.Parent();
  // Disabled beforehand: neither an early re-enable nor the close enables it.
  EnableWindow(owner, FALSE);
  ASSERT_EQ(dlg->Create(owner), 1);
  dlg->ReEnableParent();
  EXPECT_FALSE(IsWindowEnabled(owner)) << "disabled beforehand, early re-enable";
  dlg->Destroy();
  EXPECT_FALSE(IsWindowEnabled(owner)) << "disabled beforehand, closed";
  EnableWindow(owner, TRUE);

  // Re-enabled early, then disabled by someone else: the close leaves it as it is.
  ASSERT_EQ(dlg->Create(owner), 1);
  dlg->ReEnableParent();
  EXPECT_TRUE(IsWindowEnabled(owner)) << "early re-enable";
  EnableWindow(owner, FALSE);
  dlg->Destroy();
  EXPECT_FALSE(IsWindowEnabled(owner)) << "re-enabled early, closed";
  EnableWindow(owner, TRUE);

  // Deleting an open dialog closes it and enables the owner.
  ASSERT_EQ(dlg->Create(owner), 1);
  HWND w = dlg->GetHwnd();
  EXPECT_FALSE(IsWindowEnabled(owner));
  dlg->DeleteThis();
  dlg = nullptr;
  EXPECT_FALSE(IsWindow(w));
  EXPECT_TRUE(IsWindowEnabled(owner)) << "deleted while open";

  // A dialog that cannot be created leaves the owner enabled.
  NoTemplate* bad = new NoTemplate;
  EXPECT_EQ(bad->Create(owner), 0);
  EXPECT_EQ(bad->GetHwnd(), nullptr);
  EXPECT_TRUE(IsWindowEnabled(owner)) << "no template";
  delete bad;
}

TEST_F(Progress, OpensOverItsOwnerWithTheLibrarysTemplateAndTheMessagesAndCancelDriveIt) {
  const int kDone = 30, kTotal = 120;
  HWND child = driver.Create(nullptr, "BUTTON", kChildId, 10, 10, 40, 20);
  ASSERT_EQ(dlg->Create(child), 1);
  HWND w = dlg->GetHwnd();
  ASSERT_TRUE(IsWindow(w));
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(GetWindow(w, GW_OWNER), driver.Parent()) << "a child window is replaced by its top-level window";
  EXPECT_FALSE(IsWindowEnabled(driver.Parent()));
  EXPECT_EQ(WindowText(w), " Progress Dialog");
  EXPECT_EQ(WindowText(Item(JProgressDlg::kIdStatus)), "Rendering VANTOR scene. Please stand by.");
  HWND bar = Item(JProgressDlg::kIdBar);
  char cls[32] = "";
  GetClassNameA(bar, cls, sizeof cls);
  EXPECT_STREQ(cls, PROGRESS_CLASSA);
  EXPECT_EQ(WindowText(Item(JProgressDlg::kIdCancel)), "Cancel");
  EXPECT_EQ(dlg->IsCanceled(), 0);
  EXPECT_EQ(dlg->CheckCancelButton(), 0);

  SendMessageA(w, JWM_PROGRESS, kDone, kTotal);
  PBRANGE range = {};
  SendMessageA(bar, PBM_GETRANGE, FALSE, (LPARAM)&range);
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, kTotal);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), kDone);

  SendMessageA(w, JWM_SETSTATUS, 0, (LPARAM) "Frame 12 of 40");
  EXPECT_EQ(WindowText(Item(JProgressDlg::kIdStatus)), "Frame 12 of 40");

  EXPECT_EQ(QueryAbort(), 0);
  // Cancel only raises the flags; the operation closes the dialog. The pressed flag is read once,
  // by CheckCancelButton or by the query, the cancelled one stays.
  PressCancel();
  EXPECT_TRUE(IsWindow(w));
  EXPECT_EQ(dlg->CheckCancelButton(), 1);
  EXPECT_EQ(dlg->CheckCancelButton(), 0);
  PressCancel();
  EXPECT_EQ(QueryAbort(), -1);
  EXPECT_EQ(QueryAbort(), 0);
  EXPECT_EQ(dlg->IsCanceled(), 1);
  EXPECT_EQ(dlg->IsCanceled(), 1);

  // The direct calls do what the messages do, with a range of the caller's choice.
  dlg->SetPos(5, 2, 9);
  SendMessageA(bar, PBM_GETRANGE, FALSE, (LPARAM)&range);
  EXPECT_EQ(range.iLow, 2);
  EXPECT_EQ(range.iHigh, 9);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 5);

  // Closed, it enables its owner; opened again, it starts without either flag.
  EXPECT_NE(dlg->Destroy(), 0);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_TRUE(IsWindowEnabled(driver.Parent()));
  ASSERT_EQ(dlg->Create(driver.Parent()), 1);
  EXPECT_EQ(dlg->IsCanceled(), 0);
  EXPECT_EQ(dlg->CheckCancelButton(), 0);
}
