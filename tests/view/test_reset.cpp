// The reset button: a click swaps the bound object for a fresh one of its class in every object
// that held it, in a real dialog.
#include "ControlDriver.h"
#include "DialogHarness.h"
#include "Recorder.h"
#include "TestSupport.h"

#include "Quorlib.h"
#include "testres.h"

#include <gtest/gtest.h>

#include <vector>

namespace {


constexpr float kEdited = 5.0f;
const char kResourceBytes[] = "resource";

struct ResetCall {
  JData* fresh;
  void* user;
  float value;  // the fresh object's value when the callback ran
};
std::vector<ResetCall> calls;

void OnReset(JData* fresh, void* user) {
  JFloatData* leaf = dynamic_cast<JFloatData*>(fresh);
  calls.push_back({fresh, user, leaf ? leaf->GetFValue(0) : -1.0f});
}

struct ResetButton : testing::Test {
  void SetUp() override {
    calls.clear();
    live = GetLiveRefTargetCount();
    first = new quortest::Recorder(1);
    second = new quortest::Recorder(2);
    old = Create_JFloatData();
    first->Hold(old, 0);
    second->Hold(old, 1);
    old->SetValue(0, kEdited);
    old->SetName("gain");
    old->SetResource(kResourceBytes);
    dlg = new DialogHarness;
  }
  void TearDown() override {
    dlg->Close();
    delete dlg;
    first->DeleteMe();
    second->DeleteMe();
    EXPECT_EQ(GetLiveRefTargetCount(), live) << "nothing leaked";
  }
  void Click() { driver.Click(GetDlgItem(dlg->GetHwnd(), IDC_RESET), 5, 5); }

  long live = 0;
  quortest::ControlDriver driver;
  quortest::Recorder* first = nullptr;
  quortest::Recorder* second = nullptr;
  JFloatData* old = nullptr;
  DialogHarness* dlg = nullptr;
};

}  // namespace

TEST_F(ResetButton, EveryHolderGetsAFreshObjectAndTheOldOneGoes) {
  int user = 0;
  JResetButton* b = JResetButton::Create(old, IDC_RESET, OnReset, &user);
  ASSERT_NE(b, nullptr);
  *dlg += b;
  ASSERT_TRUE(dlg->Open(IDD_SMALL));
  long before = GetLiveRefTargetCount();
  EXPECT_TRUE(calls.empty()) << "opening the dialog resets nothing";

  Click();
  ASSERT_EQ(calls.size(), 1u);
  JData* fresh = calls[0].fresh;
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh, static_cast<JData*>(old));
  EXPECT_EQ(calls[0].user, &user);
  EXPECT_FLOAT_EQ(calls[0].value, 0.0f) << "the new object starts from its defaults";
  EXPECT_NE(dynamic_cast<JFloatData*>(fresh), nullptr) << "of the old object's class";
  EXPECT_EQ(first->GetReference(0), fresh);
  EXPECT_EQ(second->GetReference(1), fresh);
  EXPECT_EQ(fresh->NumDependents(), 2);
  EXPECT_EQ(fresh->Resource(), static_cast<const void*>(kResourceBytes)) << "same resource description";
  EXPECT_EQ(b->Data(), static_cast<JDataBase*>(fresh)) << "the button is bound to the new object";
  EXPECT_EQ(fresh->NumViews(), 1);
  EXPECT_EQ(GetLiveRefTargetCount(), before) << "the old object and its controller are gone";

  // A second click replaces the replacement.
  Click();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(first->GetReference(0), calls[1].fresh);
  EXPECT_EQ(GetLiveRefTargetCount(), before);
}
