// The undo hold: recording, accepting, cancelling, undo and redo of whole steps.
#include "things.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

// Each test starts with an empty history and a float controller held by a thing.
struct HoldTest : testing::Test {
  void SetUp() override {
    theHold.ClearHistory();
    owner->MakeRefByID(FOREVER, 0, NewDefaultFloatController());
    c = static_cast<Control*>(owner->GetReference(0));
  }
  void TearDown() override {
    AnimateOff();
    while (theHold.Holding()) theHold.Cancel();
    theHold.ClearHistory();
    owner->DeleteMe();
  }
  float Value() {
    float v = 0;
    Interval valid = FOREVER;
    c->GetValue(0, &v, valid);
    return v;
  }
  void Set(float v, TimeValue t = 0) { c->SetValue(t, &v); }
  Thing* owner = new Thing(1);
  Control* c = nullptr;
};

}  // namespace

TEST_F(HoldTest, AcceptMakesOneNamedStepThatUndoesAndRedoes) {
  Set(1.0f);
  theHold.Begin();
  EXPECT_TRUE(theHold.Holding());
  Set(2.0f);
  Set(3.0f);
  theHold.Accept("Drag Spinner");
  EXPECT_FALSE(theHold.Holding());
  EXPECT_EQ(theHold.NumUndo(), 1);
  EXPECT_STREQ(theHold.UndoName(), "Drag Spinner");
  EXPECT_TRUE(theHold.Undo());
  EXPECT_EQ(Value(), 1.0f);
  EXPECT_EQ(theHold.NumRedo(), 1);
  EXPECT_STREQ(theHold.RedoName(), "Drag Spinner");
  EXPECT_TRUE(theHold.Redo());
  EXPECT_EQ(Value(), 3.0f);
  EXPECT_FALSE(theHold.Redo());

  // A new step after an undo drops the redo branch and keeps the steps below.
  theHold.Begin();
  Set(4.0f);
  theHold.Accept("four");
  theHold.Undo();
  theHold.Begin();
  Set(5.0f);
  theHold.Accept("other");
  EXPECT_EQ(theHold.NumRedo(), 0);
  EXPECT_EQ(theHold.NumUndo(), 2);
  theHold.Undo();
  theHold.Undo();
  EXPECT_EQ(Value(), 1.0f);
}

TEST_F(HoldTest, NothingIsRecordedOutsideAHoldOrWhileSuspended) {
  theHold.Begin();
  theHold.Accept("Nothing");
  EXPECT_EQ(theHold.NumUndo(), 0) << "an empty hold makes no step";
  Set(4.0f);
  EXPECT_EQ(theHold.NumUndo(), 0);
  EXPECT_FALSE(theHold.Undo());
  theHold.Begin();
  theHold.Suspend();
  EXPECT_FALSE(theHold.Holding());
  Set(9.0f);
  theHold.Resume();
  theHold.Cancel();
  EXPECT_EQ(Value(), 9.0f);
  // A suspension ends with its hold.
  theHold.Begin();
  theHold.Suspend();
  theHold.Accept("Suspended");
  theHold.Begin();
  EXPECT_TRUE(theHold.Holding());
  theHold.Cancel();
}

TEST_F(HoldTest, CancelRestoresAndNestedHoldsMakeOneStep) {
  Set(5.0f);
  AnimateOn();
  theHold.Begin();
  Set(8.0f, 100);
  EXPECT_EQ(c->NumKeys(), 1);
  theHold.Cancel();
  AnimateOff();
  EXPECT_EQ(c->NumKeys(), 0) << "the key made in the hold is gone";
  EXPECT_EQ(Value(), 5.0f);
  EXPECT_EQ(theHold.NumUndo(), 0);

  // An inner cancel undoes only its own part.
  theHold.Begin();
  Set(1.0f);
  theHold.Begin();
  Set(2.0f);
  theHold.Cancel();
  EXPECT_EQ(Value(), 1.0f);
  theHold.Begin();
  Set(3.0f);
  theHold.Accept("inner");
  EXPECT_EQ(theHold.NumUndo(), 0) << "only the outermost accept makes a step";
  theHold.Accept("outer");
  EXPECT_EQ(theHold.NumUndo(), 1);
  EXPECT_STREQ(theHold.UndoName(), "outer");
  theHold.Undo();
  EXPECT_EQ(Value(), 5.0f);
}

// A restored reference: the old target lives while the history needs it, and the maker tells its
// own dependents that it holds another target.
TEST_F(HoldTest, ReferenceChangesUndoKeepTheOldTargetAliveAndTellTheMakersDependents) {
  Thing* first = new Thing(0, 1);
  owner->ReplaceReference(0, first, TRUE);
  Thing* viewer = new Thing(1);
  viewer->MakeRefByID(FOREVER, 0, owner);
  int destroyed = Thing::destroyed;
  theHold.Begin();
  owner->ReplaceReference(0, new Thing(0, 2), TRUE);
  theHold.Accept("Swap");
  EXPECT_EQ(Thing::destroyed, destroyed) << "the undo step still needs the old target";
  viewer->heard.clear();
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(owner->GetReference(0), first);
  EXPECT_EQ(first->NumDependents(), 1);
  ASSERT_FALSE(viewer->heard.empty());
  EXPECT_EQ(viewer->heard.back().first, (RefMessage)REFMSG_CHANGE);
  EXPECT_EQ(viewer->heard.back().second, owner);
  theHold.Redo();
  EXPECT_EQ(static_cast<Thing*>(owner->GetReference(0))->value, 2);
  theHold.ClearHistory();
  EXPECT_EQ(Thing::destroyed, destroyed + 1) << "with the history gone the orphan goes";
  viewer->ReplaceReference(0, nullptr, FALSE);  // the fixture deletes the owner
  viewer->DeleteMe();
}

// Whoever shows a value hears of an undo and a redo as of any other change, so that every view
// shows the restored value.
TEST_F(HoldTest, UndoAndRedoTellTheDependentsOfWhatTheyRestore) {
  Set(1.0f);
  theHold.Begin();
  Set(2.0f);
  theHold.Accept("Two");
  owner->heard.clear();
  ASSERT_TRUE(GetCOREInterface()->Undo());
  EXPECT_EQ(Value(), 1.0f);
  ASSERT_EQ(owner->heard.size(), 1u);
  EXPECT_EQ(owner->heard[0].first, (RefMessage)REFMSG_CHANGE);
  EXPECT_EQ(owner->heard[0].second, c);
  ASSERT_TRUE(GetCOREInterface()->Redo());
  EXPECT_EQ(Value(), 2.0f);
  EXPECT_EQ(owner->heard.size(), 2u);
  EXPECT_FALSE(GetCOREInterface()->Redo());
  EXPECT_EQ(owner->heard.size(), 2u) << "nothing to redo, nothing told";
}

TEST_F(HoldTest, StepNamesReadFromTheNewestAndUndoMarksTheSceneChanged) {
  for (const char* name : {"First", "Second", "Third"}) {
    theHold.Begin();
    Set(Value() + 1.0f);
    theHold.Accept(name);
  }
  EXPECT_EQ(theHold.NumUndo(), 3);
  EXPECT_STREQ(theHold.UndoName(0), "Third");
  EXPECT_STREQ(theHold.UndoName(2), "First");
  EXPECT_STREQ(theHold.UndoName(3), "");
  EXPECT_STREQ(theHold.UndoName(-1), "");
  SetSaveRequiredFlag(FALSE);
  theHold.Undo();
  theHold.Undo();
  EXPECT_TRUE(GetSaveRequiredFlag());
  EXPECT_STREQ(theHold.RedoName(0), "Second");
  EXPECT_STREQ(theHold.RedoName(1), "Third");
  EXPECT_STREQ(theHold.UndoName(0), "First");

  // While a hold is open the history stays where it is.
  theHold.Begin();
  EXPECT_FALSE(GetCOREInterface()->Undo());
  EXPECT_FALSE(GetCOREInterface()->Redo());
  theHold.Cancel();
  EXPECT_EQ(theHold.NumUndo(), 1);
  EXPECT_EQ(theHold.NumRedo(), 2);
  EXPECT_EQ(Value(), 1.0f);
}

// Only the thread that began the hold records: a worker's changes meanwhile are neither recorded
// nor undone by a cancel.
TEST_F(HoldTest, OnlyTheThreadThatBeganTheHoldRecords) {
  Thing* second = new Thing(1);
  second->MakeRefByID(FOREVER, 0, NewDefaultFloatController());
  struct Worker {
    Control* c;
    BOOL holding = TRUE;
    static DWORD WINAPI Run(void* p) {
      Worker* w = static_cast<Worker*>(p);
      w->holding = theHold.Holding();
      float v = 5.0f;
      w->c->SetValue(0, &v);
      // Not this thread's hold: nothing happens.
      theHold.Suspend();
      theHold.Cancel();
      return 0;
    }
  } worker{static_cast<Control*>(second->GetReference(0))};
  Set(1.0f);
  theHold.Begin();
  Set(2.0f);
  HANDLE h = CreateThread(nullptr, 0, Worker::Run, &worker, 0, nullptr);
  ASSERT_NE(h, nullptr);
  WaitForSingleObject(h, INFINITE);
  CloseHandle(h);
  EXPECT_FALSE(worker.holding);
  EXPECT_TRUE(theHold.Holding()) << "the worker's suspend and cancel left this thread's hold recording";
  theHold.Cancel();
  EXPECT_EQ(Value(), 1.0f);
  float v = 0;
  Interval valid = FOREVER;
  worker.c->GetValue(0, &v, valid);
  EXPECT_EQ(v, 5.0f) << "the worker's change is not undone";
  second->DeleteMe();
}

namespace {
// Threads that begin and cancel a hold over and over: whenever the holder lets it go, the others
// find it free at the same moment.
struct Racers {
  static constexpr int kThreads = 4;
  static constexpr int kTries = 1000000;
  std::atomic<bool> go{false};
  static DWORD WINAPI Run(void* p) {
    Racers* r = static_cast<Racers*>(p);
    while (!r->go.load(std::memory_order_acquire)) {
    }
    for (int i = 0; i < kTries; i++) {
      theHold.Begin();
      theHold.Cancel();
    }
    return 0;
  }
};
}  // namespace

// Of threads beginning a hold at once only one takes it, and its cancel frees the hold: when they
// are done, any thread may begin the next.
TEST_F(HoldTest, ThreadsBeginningAtOnceLeaveTheHoldFreeAfterwards) {
  Racers racers;
  HANDLE threads[Racers::kThreads];
  for (HANDLE& h : threads) {
    h = CreateThread(nullptr, 0, Racers::Run, &racers, 0, nullptr);
    ASSERT_NE(h, nullptr);
  }
  racers.go.store(true, std::memory_order_release);
  WaitForMultipleObjects(Racers::kThreads, threads, TRUE, INFINITE);
  for (HANDLE h : threads) CloseHandle(h);
  theHold.Begin();
  EXPECT_TRUE(theHold.Holding()) << "the racing threads left the hold taken";
  theHold.Cancel();
}
