// The lock view: two parameters kept in a relation while the lock box is checked, in a real dialog
// whose lock box is clicked like a person does.
#include "ControlDriver.h"
#include "DialogHarness.h"
#include "Recorder.h"
#include "TestSupport.h"

#include "Quorlib.h"
#include "testres.h"

#include <gtest/gtest.h>

namespace {

constexpr float kGap = 2.0f;

struct Lock : HarnessTest {
  // Opens the dialog with a lock view of a and b.
  JLock2Ctl* Open(int mode, float gap, int idLock, JData* lockData) {
    JLock2Ctl* c = JLock2Ctl::Create(a, b, idLock, lockData, mode, gap, 0, nullptr);
    *dlg += c;
    EXPECT_TRUE(dlg->Open(IDD_SMALL));
    return c;
  }
  bool BoxChecked() { return IsDlgButtonChecked(dlg->GetHwnd(), IDC_LOCK) == BST_CHECKED; }
  void ClickBox() { driver.Click(GetDlgItem(dlg->GetHwnd(), IDC_LOCK), 3, 3); }
  float A() { return a->GetFValue(dlg->time); }
  float B() { return b->GetFValue(dlg->time); }

  JFloatData* a = Hold(Create_JFloatData());
  JFloatData* b = Hold(Create_JFloatData());
  JBoolData* lock = Hold(Create_JBoolData());
};

}  // namespace

TEST_F(Lock, EqualDistanceFollowsWhicheverSideMoved) {
  lock->SetValue(0, 1.0f);
  Open(JLock2Ctl::kEqual, kGap, IDC_LOCK, lock);
  EXPECT_TRUE(BoxChecked()) << "the box shows the lock parameter";
  EXPECT_FLOAT_EQ(B(), kGap) << "opening applies the relation from a";

  a->SetValue(0, 5.0f);
  EXPECT_FLOAT_EQ(B(), 7.0f);
  b->SetValue(0, 10.0f);
  EXPECT_FLOAT_EQ(A(), 8.0f);
  EXPECT_FLOAT_EQ(B(), 10.0f);

  // Unchecked: the click is stored in the lock parameter and nothing is enforced.
  ClickBox();
  EXPECT_FALSE(BoxChecked());
  EXPECT_FLOAT_EQ(lock->GetFValue(0), 0.0f);
  a->SetValue(0, 1.0f);
  b->SetValue(0, 3.5f);
  EXPECT_FLOAT_EQ(A(), 1.0f);
  EXPECT_FLOAT_EQ(B(), 3.5f);

  // Checked again: the stored state comes back through the data and b follows a at once.
  ClickBox();
  EXPECT_TRUE(BoxChecked());
  EXPECT_FLOAT_EQ(lock->GetFValue(0), 1.0f);
  EXPECT_FLOAT_EQ(A(), 1.0f);
  EXPECT_FLOAT_EQ(B(), 3.0f);

  // A change of the lock parameter made elsewhere shows in the box.
  lock->SetValue(0, 0.0f);
  dlg->GetControl(0)->UpdateView(0, nullptr);
  EXPECT_FALSE(BoxChecked());
}

TEST_F(Lock, AtLeastPushesTheOtherSideOnlyWhenCrossed) {
  b->SetValue(0, 10.0f);
  Open(JLock2Ctl::kAtLeast, 0.0f, -1, nullptr);
  EXPECT_FLOAT_EQ(A(), 0.0f);
  EXPECT_FLOAT_EQ(B(), 10.0f);

  a->SetValue(0, 12.0f);
  EXPECT_FLOAT_EQ(B(), 12.0f) << "b follows a up";
  b->SetValue(0, 4.0f);
  EXPECT_FLOAT_EQ(A(), 4.0f) << "a follows b down";
  b->SetValue(0, 20.0f);
  EXPECT_FLOAT_EQ(A(), 4.0f) << "b at or above a changes nothing";
  a->SetValue(0, 20.0f);
  EXPECT_FLOAT_EQ(B(), 20.0f);
  a->SetValue(0, -3.0f);
  EXPECT_FLOAT_EQ(B(), 20.0f);
}

TEST_F(Lock, AtMostAndUnknownModes) {
  const float kAtMostGap = 1.0f;
  b->SetValue(0, 10.0f);
  Open(JLock2Ctl::kAtMost, kAtMostGap, -1, nullptr);
  EXPECT_FLOAT_EQ(B(), kAtMostGap) << "a + gap below b: b comes down to it";
  b->SetValue(0, 6.0f);
  EXPECT_FLOAT_EQ(A(), 5.0f) << "b moved above a + gap: a follows it up";
  a->SetValue(0, 3.0f);
  EXPECT_FLOAT_EQ(B(), 4.0f) << "a moved down: b follows it down";
  a->SetValue(0, 20.0f);
  EXPECT_FLOAT_EQ(B(), 4.0f) << "b below a + gap is allowed";
  dlg->Close();

  const int kNoSuchMode = 7;
  JLock2Ctl* odd = Open(kNoSuchMode, kGap, -1, nullptr);
  ASSERT_NE(odd, nullptr);
  a->SetValue(0, 100.0f);
  b->SetValue(0, -100.0f);
  EXPECT_FLOAT_EQ(A(), 100.0f);
  EXPECT_FLOAT_EQ(B(), -100.0f);
}

TEST_F(Lock, ABoxWithoutLockParameterIsReadFromTheDialog) {
  Open(JLock2Ctl::kEqual, kGap, IDC_LOCK, nullptr);
  EXPECT_FALSE(BoxChecked());
  a->SetValue(0, 5.0f);
  EXPECT_FLOAT_EQ(B(), 0.0f) << "unchecked box: nothing enforced";
  ClickBox();
  EXPECT_TRUE(BoxChecked());
  EXPECT_FLOAT_EQ(B(), 7.0f) << "checking the box applies the relation at once";
  b->SetValue(0, 1.0f);
  EXPECT_FLOAT_EQ(A(), -1.0f);
}

TEST_F(Lock, WritesAtTheDialogsTime) {
  const int kTime = 4800;
  AnimateOn();
  Open(JLock2Ctl::kEqual, kGap, -1, nullptr);
  dlg->time = kTime;
  a->SetValue(kTime, 5.0f);
  EXPECT_FLOAT_EQ(b->GetFValue(kTime), 7.0f);
  EXPECT_GT(b->NumKeys(), 0) << "the relation keeps the host's animate mode";
  AnimateOff();
}

TEST_F(Lock, SetMovesEveryBinding) {
  JFloatData* c = Hold(Create_JFloatData());
  JFloatData* d = Hold(Create_JFloatData());
  JBoolData* lock2 = Hold(Create_JBoolData());
  lock2->SetValue(0, 1.0f);
  c->SetValue(0, 3.0f);

  JLock2Ctl* v = Open(JLock2Ctl::kEqual, kGap, IDC_LOCK, lock);
  EXPECT_FALSE(BoxChecked());
  v->Set(c, 0, d, lock2);
  EXPECT_EQ(a->NumViews() + b->NumViews() + lock->NumViews(), 0);
  EXPECT_EQ(c->NumViews(), 1);
  EXPECT_EQ(d->NumViews(), 1);
  EXPECT_EQ(lock2->NumViews(), 1);
  EXPECT_TRUE(BoxChecked()) << "the new lock parameter is shown";
  EXPECT_FLOAT_EQ(d->GetFValue(0), 5.0f) << "and the relation applied to the new pair";
}

TEST_F(Lock, BothParametersAreRequired) {
  quortest::AssertRecorder asserts;
  EXPECT_EQ(JLock2Ctl::Create(nullptr, b, -1, nullptr, JLock2Ctl::kEqual, kGap, 0, nullptr), nullptr);
  ASSERT_EQ(asserts.Hits().size(), 1u);
  EXPECT_EQ(asserts.Hits()[0].file, "JLOCKCTL");
  asserts.Clear();
  EXPECT_EQ(JLock2Ctl::Create(nullptr, nullptr, -1, nullptr, JLock2Ctl::kEqual, kGap, 0, nullptr), nullptr);
  EXPECT_EQ(asserts.Hits().size(), 2u) << "one report for each missing parameter";
  EXPECT_EQ(b->NumViews(), 0);
}
