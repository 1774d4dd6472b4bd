// The filter base: where the data tree lives, how it is replaced, repaired, loaded and protected
// by a cancelled settings dialog.
#include "FilterTest.h"
#include "Recorder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using filtertest::NewOtherParams;
using filtertest::NewParams;
using filtertest::Params;
using filtertest::TestFilter;

namespace {

const float kEditedGain = 9.0f;
const float kLoadedGain = 7.0f;
const int kKeyTime = 4800;  // a time with a key in the animated edits

// The chunk stream of a tree, as the host would save it.
std::vector<unsigned char> Saved(ReferenceMaker* rm) {
  JMemBlock* b = SaveRefMaker(rm);
  if (!b) return {};
  std::vector<unsigned char> bytes(b->Data(), b->Data() + b->Size());
  b->DeleteThis();
  return bytes;
}

TVDummyControl* Dummy(ITavrelNode* node, int i = 0) { return dynamic_cast<TVDummyControl*>(node->GetController(i)); }

}  // namespace

TEST(FilterData, FirstUseGivesTheFilterANodeWithTheTreeBehindADummy) {
  TestFilter f;
  ASSERT_EQ(f.Node(), nullptr) << "a new filter has no node";
  f.FilterUpdate();
  ITavrelNode* node = f.Node();
  ASSERT_NE(node, nullptr);
  ASSERT_EQ(node->NumItems(), 1);
  TVDummyControl* dummy = Dummy(node);
  ASSERT_NE(dummy, nullptr);
  JData* d = f.Data();
  EXPECT_EQ(dummy->GetReference(0), d);
  EXPECT_STREQ(node->GetName(0), "");
  EXPECT_EQ(node->GetClassID(0), filtertest::kParamsID);
  EXPECT_EQ(d->GetBypassThis(), 1) << "the tree itself is not listed in the track editor";
  ASSERT_EQ(node->AddController(NewDefaultFloatController(), "Extra", Class_ID(1, 2), -1), 1);
  EXPECT_EQ(f.Data(), d) << "a valid tree is kept";
  EXPECT_EQ(node->NumItems(), 2) << "and so are the node's other items";
}

TEST(FilterData, ABrokenItemZeroIsReplacedByAFreshTreeAndTheOtherItemsGo) {
  struct Case {
    const char* what;
    Control* (*item0)(JData*& held);
  };
  const Case cases[] = {
      {"a tree of another class",
       [](JData*& held) -> Control* {
         held = NewOtherParams();
         TVDummyControl* c = Create_TVDummyControl();
         c->MakeRefByID(FOREVER, 0, held);
         return c;
       }},
      {"a dummy without a tree", [](JData*&) -> Control* { return Create_TVDummyControl(); }},
      {"a controller of another kind", [](JData*&) -> Control* { return NewDefaultFloatController(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFilter f;
    ITavrelNode* node = f.CreateNode();
    ASSERT_NE(node, nullptr);
    JData* foreign = nullptr;
    ASSERT_EQ(node->AddController(c.item0(foreign), "", filtertest::kOtherParamsID, -1), 1);
    ASSERT_EQ(node->AddController(NewDefaultFloatController(), "Extra", Class_ID(1, 2), -1), 1);
    int aliveBefore = Params::alive;

    JData* d = f.Data();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->GetCD()->ClassID(), filtertest::kParamsID);
    EXPECT_EQ(node->NumItems(), 1) << "every earlier item is removed";
    ASSERT_NE(Dummy(node), nullptr);
    EXPECT_EQ(Dummy(node)->GetReference(0), d);
    EXPECT_FLOAT_EQ(static_cast<Params*>(d)->Gain(), Params::kDefaultGain);
    if (foreign) {
      EXPECT_EQ(Params::alive, aliveBefore) << "the foreign tree went with its item";
    }
  }
}

TEST(FilterSetData, TheOldTreeGoesToTheCallerOrIsDeletedTheCurrentOneStaysAndTheNodeTells) {
  TestFilter f;
  Params* first = f.P();
  first->SetGain(kEditedGain);
  const int aliveFirst = Params::alive;
  EXPECT_EQ(f.SetData(first, 1), nullptr) << "the current tree answers no old one";
  EXPECT_EQ(f.Data(), first);
  EXPECT_EQ(Params::alive, aliveFirst);
  EXPECT_FLOAT_EQ(first->Gain(), kEditedGain) << "the current tree was not deleted";

  Params* second = NewParams();
  EXPECT_EQ(f.SetData(second, 0), first) << "deleteOld 0 hands the old tree back";
  EXPECT_EQ(f.Data(), second);
  EXPECT_EQ(second->GetBypassThis(), 1);
  EXPECT_FLOAT_EQ(first->Gain(), kEditedGain) << "the caller's tree is alive and whole";
  first->DeleteMe();

  // The node tells its dependents that its structure changed.
  Params* third = NewParams();
  int alive = Params::alive;
  quortest::Recorder* watcher = new quortest::Recorder(1);
  watcher->Hold(f.Node());
  EXPECT_EQ(f.SetData(third, 1), nullptr);
  EXPECT_EQ(f.Data(), third);
  EXPECT_EQ(Params::alive, alive - 1) << "deleteOld 1 deletes the old tree";
  ASSERT_EQ(watcher->Count(REFMSG_SUBANIM_STRUCTURE_CHANGED), 1);
  for (const auto& h : watcher->heard)
    if (h.message == REFMSG_SUBANIM_STRUCTURE_CHANGED) {
      EXPECT_EQ(h.part, (PartID)PART_ALL);
    }
  watcher->DeleteMe();
}

TEST(FilterSetData, AFilterWithoutATreeReportsTheMissingItem) {
  TestFilter f;
  f.makeData = false;
  Params* d = NewParams();
  quortest::ModalDriver driver(IDNO);
  EXPECT_EQ(f.SetData(d, 1), nullptr);
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(driver.Caption(), "Assertion failed");
  EXPECT_NE(driver.Text().find("File: JFILTER\nLine: 246"), std::string::npos) << driver.Text();
  EXPECT_EQ(f.Node()->NumItems(), 0) << "nothing was attached";
  d->DeleteMe();
}

TEST(FilterConfigure, ABlockWithATreeReplacesTheTreeAndAnythingElseChangesNothing) {
  TestFilter f;
  JData* original = f.Data();
  EXPECT_EQ(f.EvaluateConfigure(), 0u) << "the tree lives in the node, not in the block";

  EXPECT_TRUE(f.LoadConfigure(nullptr));
  EXPECT_EQ(f.Data(), original);

  // A block holding something other than a data tree: refused, and deleted again.
  Control* ctrl = NewDefaultFloatController();
  JMemBlock* notATree = SaveRefMaker(ctrl);
  ctrl->DeleteMe();
  ASSERT_NE(notATree, nullptr);
  EXPECT_TRUE(f.LoadConfigure(notATree->Data()));
  notATree->DeleteThis();
  EXPECT_EQ(f.Data(), original);

  Params* saved = NewParams();
  saved->SetGain(kLoadedGain);
  JMemBlock* block = SaveRefMaker(saved);
  saved->DeleteMe();
  ASSERT_NE(block, nullptr);
  int alive = Params::alive;
  EXPECT_TRUE(f.LoadConfigure(block->Data()));
  block->DeleteThis();
  ASSERT_NE(f.Data(), original);
  EXPECT_FLOAT_EQ(f.P()->Gain(), kLoadedGain);
  EXPECT_EQ(Params::alive, alive) << "the loaded tree took the old one's place";
}

// ---- The cancel protection ----------------------------------------------------------------------

TEST(FilterCancel, CancelBringsBackTheOldValuesAsANewTree) {
  TestFilter f;
  Params* before = f.P();
  std::vector<unsigned char> savedBefore = Saved(before);
  ASSERT_FALSE(savedBefore.empty());
  f.dialog = [&f](HWND) {
    // The user edits a value and keys another, then cancels.
    f.P()->SetGain(kEditedGain);
    AnimateOn();
    f.P()->SetGain(kEditedGain, kKeyTime);
    AnimateOff();
    return 0;
  };
  EXPECT_EQ(f.ShowControlProtected(nullptr), 1);
  Params* after = f.P();
  EXPECT_NE(after, before) << "the tree is a copy taken before the dialog";
  EXPECT_FLOAT_EQ(after->Gain(), Params::kDefaultGain);
  EXPECT_FLOAT_EQ(after->Gain(kKeyTime), Params::kDefaultGain);
  EXPECT_EQ(Saved(after), savedBefore) << "the restored tree saves byte for byte as the old one";
  EXPECT_EQ(Params::alive, 1) << "the edited tree is gone";
}

TEST(FilterCancel, AcceptKeepsTheEditedTreeAndDropsTheCopy) {
  TestFilter f;
  Params* before = f.P();
  f.dialog = [&f](HWND) {
    f.P()->SetGain(kEditedGain);
    return 1;
  };
  EXPECT_EQ(f.ShowControlProtected(nullptr), 1);
  EXPECT_EQ(f.P(), before);
  EXPECT_FLOAT_EQ(before->Gain(), kEditedGain);
  EXPECT_EQ(Params::alive, 1) << "the copy was deleted";
}
