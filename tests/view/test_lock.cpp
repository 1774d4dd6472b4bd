// The lock view: two parameters kept in a relation while the lock box is checked, in a real dialog
// whose lock box is clicked like a person does.
#include "ControlDriver.h"
#include "DialogHarness.h"
#include "Recorder.h"
#include "TestSupport.h"

#include "Quorlib.h"
#include "testres.h"

#include <gtest/gtest.h>

#include <vector>

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
  // One write to a or b at time 0, and what a and b hold after it.
  struct Step {
    JFloatData* to;
    float value, a, b;
  };
  void Walk(const char* name, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
      s.to->SetValue(0, s.value);
      EXPECT_FLOAT_EQ(A(), s.a) << name << ": " << (s.to == a ? "a" : "b") << " = " << s.value;
      EXPECT_FLOAT_EQ(B(), s.b) << name << ": " << (s.to == a ? "a" : "b") << " = " << s.value;
    }
  }

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

  Walk("locked", {{a, 5.0f, 5.0f, 7.0f}, {b, 10.0f, 8.0f, 10.0f}});

  // Unchecked: the click is stored in the lock parameter and nothing is enforced.
  ClickBox();
  EXPECT_FALSE(BoxChecked());
  EXPECT_FLOAT_EQ(lock->GetFValue(0), 0.0f);
  Walk("unlocked", {{a, 1.0f, 1.0f, 10.0f}, {b, 3.5f, 1.0f, 3.5f}});

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

// The one-sided modes move the other side only when a write crosses the relation; a mode the view
// does not know enforces nothing. Each case opens with a = 0 and b = 10.
TEST_F(Lock, AtLeastAtMostAndUnknownModesMoveTheOtherSideOnlyWhenCrossed) {
  const float kAtMostGap = 1.0f, kStartB = 10.0f;
  const int kNoSuchMode = 7;
  const struct {
    const char* name;
    int mode;
    float gap, openedB;  // b after opening
    std::vector<Step> steps;
  } cases[] = {
      {"at least", JLock2Ctl::kAtLeast, 0.0f, kStartB,
       {{a, 12.0f, 12.0f, 12.0f},  // b follows a up
        {b, 4.0f, 4.0f, 4.0f},     // a follows b down
        {b, 20.0f, 4.0f, 20.0f},   // b at or above a changes nothing
        {a, 20.0f, 20.0f, 20.0f},
        {a, -3.0f, -3.0f, 20.0f}}},
      // a + gap below b: b comes down to it when the dialog opens.
      {"at most", JLock2Ctl::kAtMost, kAtMostGap, kAtMostGap,
       {{b, 6.0f, 5.0f, 6.0f},      // b moved above a + gap: a follows it up
        {a, 3.0f, 3.0f, 4.0f},      // a moved down: b follows it down
        {a, 20.0f, 20.0f, 4.0f}}},  // b below a + gap is allowed
      {"unknown", kNoSuchMode, kGap, kStartB, {{a, 100.0f, 100.0f, kStartB}, {b, -100.0f, 100.0f, -100.0f}}},
  };
  for (const auto& c : cases) {
    a->SetValue(0, 0.0f);
    b->SetValue(0, kStartB);
    ASSERT_NE(Open(c.mode, c.gap, -1, nullptr), nullptr) << c.name;
    EXPECT_FLOAT_EQ(A(), 0.0f) << c.name;
    EXPECT_FLOAT_EQ(B(), c.openedB) << c.name;
    Walk(c.name, c.steps);
    dlg->Close();
  }
}

TEST_F(Lock, ABoxWithoutLockParameterIsReadFromTheDialog) {
  Open(JLock2Ctl::kEqual, kGap, IDC_LOCK, nullptr);
  EXPECT_FALSE(BoxChecked());
  Walk("unchecked box", {{a, 5.0f, 5.0f, 0.0f}});
  ClickBox();
  EXPECT_TRUE(BoxChecked());
  EXPECT_FLOAT_EQ(B(), 7.0f) << "checking the box applies the relation at once";
  Walk("checked box", {{b, 1.0f, -1.0f, 1.0f}});
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
