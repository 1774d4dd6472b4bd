// View binding: registration with data objects, freeze, and the two protocols end to end.
#include "PlainDialog.h"
#include "Recorder.h"
#include "RecordingView.h"
#include "TestSupport.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Fixture : testing::Test {
  void SetUp() override {
    owner = new quortest::Recorder(2);
    gain = Create_JFloatData();
    other = Create_JFloatData();
    owner->Hold(gain, 0);
    owner->Hold(other, 1);
  }
  void TearDown() override { owner->DeleteMe(); }
  quortest::Recorder* owner;
  JFloatData* gain;
  JFloatData* other;
};

}  // namespace

TEST_F(Fixture, DataTableEntriesAndRegistration) {
  RecordingView* v = RecordingView::Create(gain);
  EXPECT_EQ(gain->NumViews(), 1);
  v->AddData(other);
  v->AddData(nullptr);
  EXPECT_EQ(v->GetDataCount(), 3);
  EXPECT_EQ(v->GetData(1), other);
  EXPECT_EQ(v->GetData(5), nullptr);
  v->SetData(gain, 5);  // out of range: nothing
  EXPECT_EQ(gain->NumViews(), 1);
  v->SetData(gain, 1);
  EXPECT_EQ(other->NumViews(), 0);
  EXPECT_EQ(gain->NumViews(), 2);
  EXPECT_EQ(v->Replace(gain, gain), gain);
  EXPECT_EQ(gain->NumViews(), 2) << "replacing with itself neither unregisters nor registers";
  v->ReplaceData(gain, other);
  EXPECT_EQ(v->GetData(0), other);
  EXPECT_EQ(v->GetData(1), other);
  EXPECT_EQ(other->NumViews(), 2) << "once per replaced entry";
  EXPECT_EQ(gain->NumViews(), 2) << "nothing unregistered from the old one";
  v->ClearData(other);
  EXPECT_EQ(v->GetData(0), nullptr);
  EXPECT_EQ(other->NumViews(), 2);
  // A deleted data object leaves a null entry behind.
  JFloatData* doomed = Create_JFloatData();
  v->AddData(doomed);
  v->AddData(gain);
  doomed->DeleteMe();
  EXPECT_EQ(v->GetData(3), nullptr);
  EXPECT_EQ(v->GetData(4), gain);
  // Clean up the registrations this test left on purpose.
  while (gain->NumViews()) gain->DelView(v);
  while (other->NumViews()) other->DelView(v);
  v->Destroy();
}

TEST_F(Fixture, SetOnAnEmptyViewAppendsAndShowsAndTheViewReadsAndWritesThroughItsLeaf) {
  RecordingView* v = new RecordingView;
  v->Set(gain, 320);
  EXPECT_EQ(v->GetDataCount(), 1);
  EXPECT_EQ(gain->NumViews(), 1);
  ASSERT_EQ(v->shown.size(), 1u);
  EXPECT_EQ(v->shown[0].first, 320);
  EXPECT_EQ(v->shown[0].second, nullptr);
  float x = 6.5f, y = 0;
  v->SetValue(0, &x);
  v->GetValue(0, &y);
  EXPECT_EQ(y, 6.5f);
  EXPECT_EQ(gain->GetFValue(0), 6.5f);
  EXPECT_EQ(v->IsFreezed(), 1) << "the previous freeze state comes back";
  v->Set(other, 0);
  EXPECT_EQ(gain->NumViews(), 0);
  EXPECT_EQ(other->NumViews(), 1);
  v->Destroy();
  EXPECT_EQ(other->NumViews(), 0);
  RecordingView* none = RecordingView::Create(nullptr);
  EXPECT_EQ(none->Dim(), defaultDim);
  none->SetValue(0, &x);  // nothing bound: nothing happens
  none->GetValue(0, &y);
  none->Destroy();
}

TEST_F(Fixture, AValueChangeReachesEveryUnfrozenViewOnceAtItsDialogsTime) {
  PlainDialog* dlg = new PlainDialog;
  dlg->time = 480;
  RecordingView* a = RecordingView::Create(gain);
  RecordingView* b = RecordingView::Create(gain);
  RecordingView* frozen = RecordingView::Create(gain);
  RecordingView* orphan = RecordingView::Create(gain);  // no parent: ignores notifications
  *dlg += a;
  *dlg += b;
  *dlg += frozen;
  a->SetFreeze(0);
  b->SetFreeze(0);
  orphan->SetFreeze(0);
  gain->SetValue(0, 3.0f);
  ASSERT_EQ(a->shown.size(), 1u);
  EXPECT_EQ(a->shown[0].first, 480);
  EXPECT_EQ(a->shown[0].second, gain->GetController());
  EXPECT_EQ(b->shown.size(), 1u);
  EXPECT_TRUE(frozen->shown.empty());
  EXPECT_TRUE(orphan->shown.empty());

  // A view's own write does not come back into it, but reaches the others.
  a->UpdateData(dlg->GetTime(), 0, 0x111, 0);
  EXPECT_EQ(gain->GetFValue(0), RecordingView::kWritten);
  EXPECT_EQ(a->shown.size(), 1u);
  EXPECT_EQ(b->shown.size(), 2u);
  EXPECT_EQ(a->IsFreezed(), 0) << "the freeze around the write is undone";

  *dlg -= b;
  EXPECT_EQ(dlg->NumControls(), 2);
  EXPECT_EQ(b->Parent(), dlg) << "a removed control keeps its parent";
  for (JViewCtl* v : {(JViewCtl*)a, (JViewCtl*)b, (JViewCtl*)frozen, (JViewCtl*)orphan}) v->Destroy();
  EXPECT_EQ(gain->NumViews(), 0);
  dlg->DeleteThis();
}

// Views that leave the data while it tells them, few (as in a dialog) and many.
TEST_F(Fixture, ViewsThatUnregisterWhileToldDoNotHideTheOthers) {
  struct Leaving {
    static void Leave(JViewFunc* v, void* count, int, ReferenceTarget*) {
      ++*static_cast<int*>(count);
      v->Data()->DelView(v);
    }
  };
  const int kFew = 3, kMany = 40;
  for (int n : {kFew, kMany}) {
    PlainDialog* dlg = new PlainDialog;
    int told = 0;
    std::vector<JViewFunc*> views;
    for (int i = 0; i < n; i++) {
      JViewFunc* v = JViewFunc::Create(gain, Leaving::Leave, &told);
      *dlg += v;
      v->SetFreeze(0);
      views.push_back(v);
    }
    gain->SetValue(0, (float)n);
    EXPECT_EQ(told, n) << "every view is told once, though each leaves at once";
    EXPECT_EQ(gain->NumViews(), 0);
    gain->SetValue(0, 0.0f);
    EXPECT_EQ(told, n);
    for (JViewFunc* v : views) v->DeleteThis();
    dlg->DeleteThis();
  }
}

TEST_F(Fixture, ViewFuncCallsBackUnlessFrozen) {
  quortest::AssertRecorder rec;
  EXPECT_EQ(JViewFunc::Create(nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(rec.Hits().size(), 1u);
  EXPECT_EQ(rec.Hits()[0].file, "JVIEW");
  static std::vector<int> calls;
  calls.clear();
  int user = 7;
  JViewFunc* f = JViewFunc::Create(gain, [](JViewFunc*, void* u, int t, ReferenceTarget*) {
    calls.push_back(t + *static_cast<int*>(u));
  }, &user);
  ASSERT_NE(f, nullptr);
  PlainDialog* dlg = new PlainDialog;
  *dlg += f;
  gain->SetValue(0, 1.0f);
  EXPECT_TRUE(calls.empty()) << "a new view is frozen";
  f->SetFreeze(0);
  dlg->time = 100;
  gain->SetValue(0, 2.0f);
  EXPECT_EQ(calls, (std::vector<int>{107}));
  f->Set(other, 5, [](JViewFunc*, void*, int t, ReferenceTarget*) { calls.push_back(-t); }, nullptr);
  EXPECT_EQ(calls.back(), -5);
  f->Destroy();
  dlg->DeleteThis();
}
