// The undo hold: recording, accepting, cancelling, undo and redo of whole steps.
#include "things.h"

#include <gtest/gtest.h>

namespace {

struct HoldTest : testing::Test {
  void SetUp() override { theHold.ClearHistory(); }
  void TearDown() override {
    while (theHold.Holding()) theHold.Cancel();
    theHold.ClearHistory();
  }
};

float ValueOf(Control* c, TimeValue t = 0) {
  float v = 0;
  Interval valid = FOREVER;
  c->GetValue(t, &v, valid);
  return v;
}

void SetTo(Control* c, float v, TimeValue t = 0) { c->SetValue(t, &v); }

}  // namespace

TEST_F(HoldTest, AcceptMakesOneNamedStepThatUndoesAndRedoes) {
  Thing* owner = new Thing(1);
  owner->MakeRefByID(FOREVER, 0, NewDefaultFloatController());
  Control* c = static_cast<Control*>(owner->GetReference(0));
  SetTo(c, 1.0f);
  theHold.Begin();
  EXPECT_TRUE(theHold.Holding());
  SetTo(c, 2.0f);
  SetTo(c, 3.0f);
  theHold.Accept("Drag Spinner");
  EXPECT_FALSE(theHold.Holding());
  EXPECT_EQ(theHold.NumUndo(), 1);
  EXPECT_STREQ(theHold.UndoName(), "Drag Spinner");
  EXPECT_TRUE(theHold.Undo());
  EXPECT_EQ(ValueOf(c), 1.0f);
  EXPECT_EQ(theHold.NumRedo(), 1);
  EXPECT_STREQ(theHold.RedoName(), "Drag Spinner");
  EXPECT_TRUE(theHold.Redo());
  EXPECT_EQ(ValueOf(c), 3.0f);
  EXPECT_FALSE(theHold.Redo());
  owner->DeleteMe();
}

TEST_F(HoldTest, CancelRestoresAndDropsWhatWasRecorded) {
  Thing* owner = new Thing(1);
  owner->MakeRefByID(FOREVER, 0, NewDefaultFloatController());
  Control* c = static_cast<Control*>(owner->GetReference(0));
  SetTo(c, 5.0f);
  AnimateOn();
  theHold.Begin();
  SetTo(c, 8.0f, 100);
  EXPECT_EQ(c->NumKeys(), 1);
  theHold.Cancel();
  AnimateOff();
  EXPECT_EQ(c->NumKeys(), 0);
  EXPECT_EQ(ValueOf(c), 5.0f);
  EXPECT_EQ(theHold.NumUndo(), 0);
  owner->DeleteMe();
}

TEST_F(HoldTest, NothingRecordedMakesNoStepAndChangesOutsideAHoldAreNotRecorded) {
  theHold.Begin();
  theHold.Accept("Nothing");
  EXPECT_EQ(theHold.NumUndo(), 0);
  Thing* owner = new Thing(1);
  owner->MakeRefByID(FOREVER, 0, NewDefaultFloatController());
  SetTo(static_cast<Control*>(owner->GetReference(0)), 4.0f);
  EXPECT_EQ(theHold.NumUndo(), 0);
  EXPECT_FALSE(theHold.Undo());
  owner->DeleteMe();
}

TEST_F(HoldTest, NestedHoldsMakeOneStepAndInnerCancelOnlyUndoesItsPart) {
  Thing* owner = new Thing(1);
  owner->MakeRefByID(FOREVER, 0, NewDefaultFloatController());
  Control* c = static_cast<Control*>(owner->GetReference(0));
  theHold.Begin();
  SetTo(c, 1.0f);
  theHold.Begin();
  SetTo(c, 2.0f);
  theHold.Cancel();
  EXPECT_EQ(ValueOf(c), 1.0f);
  theHold.Begin();
  SetTo(c, 3.0f);
  theHold.Accept("inner");
  EXPECT_EQ(theHold.NumUndo(), 0) << "only the outermost accept makes a step";
  theHold.Accept("outer");
  EXPECT_EQ(theHold.NumUndo(), 1);
  EXPECT_STREQ(theHold.UndoName(), "outer");
  theHold.Undo();
  EXPECT_EQ(ValueOf(c), 0.0f);
  owner->DeleteMe();
}

TEST_F(HoldTest, ReferenceChangesUndoAndKeepTheOldTargetAlive) {
  Thing* owner = new Thing(1);
  Thing* first = new Thing(0, 1);
  owner->MakeRefByID(FOREVER, 0, first);
  int destroyed = Thing::destroyed;
  theHold.Begin();
  owner->ReplaceReference(0, new Thing(0, 2), TRUE);
  theHold.Accept("Swap");
  EXPECT_EQ(Thing::destroyed, destroyed) << "the undo step still needs the old target";
  theHold.Undo();
  EXPECT_EQ(owner->GetReference(0), first);
  EXPECT_EQ(first->NumDependents(), 1);
  theHold.Redo();
  EXPECT_EQ(static_cast<Thing*>(owner->GetReference(0))->value, 2);
  theHold.ClearHistory();
  EXPECT_EQ(Thing::destroyed, destroyed + 1) << "with the history gone the orphan goes";
  owner->DeleteMe();
}

TEST_F(HoldTest, SuspendStopsRecording) {
  Thing* owner = new Thing(1);
  owner->MakeRefByID(FOREVER, 0, NewDefaultFloatController());
  Control* c = static_cast<Control*>(owner->GetReference(0));
  theHold.Begin();
  theHold.Suspend();
  EXPECT_FALSE(theHold.Holding());
  SetTo(c, 9.0f);
  theHold.Resume();
  theHold.Cancel();
  EXPECT_EQ(ValueOf(c), 9.0f);
  owner->DeleteMe();
}

TEST_F(HoldTest, ANewStepDropsTheRedoBranch) {
  Thing* owner = new Thing(1);
  owner->MakeRefByID(FOREVER, 0, NewDefaultFloatController());
  Control* c = static_cast<Control*>(owner->GetReference(0));
  for (float v : {1.0f, 2.0f}) {
    theHold.Begin();
    SetTo(c, v);
    theHold.Accept("set");
  }
  theHold.Undo();
  EXPECT_EQ(theHold.NumRedo(), 1);
  theHold.Begin();
  SetTo(c, 5.0f);
  theHold.Accept("other");
  EXPECT_EQ(theHold.NumRedo(), 0);
  EXPECT_EQ(theHold.NumUndo(), 2);
  theHold.Undo();
  theHold.Undo();
  EXPECT_EQ(ValueOf(c), 0.0f);
  owner->DeleteMe();
}
