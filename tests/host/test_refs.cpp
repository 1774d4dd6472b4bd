// The reference system: lifetimes, notification, loops, cloning.
#include "TestSupport.h"
#include "things.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <process.h>

namespace {
// Makes maker reference target in slot i and answers the target.
Thing* Link(Thing* maker, int i, Thing* target) {
  maker->MakeRefByID(FOREVER, i, target);
  return target;
}
}  // namespace

TEST(References, ReplaceReferenceKeepsTheBooksAndDeletesOnlyOrphans) {
  Thing* a = new Thing(2);
  Thing* b = new Thing(1);
  Thing* shared = Link(b, 0, Link(a, 1, new Thing));
  EXPECT_EQ(a->GetReference(1), shared);
  EXPECT_EQ(shared->NumDependents(), 2);
  EXPECT_EQ(shared->GetDependent(0), a);
  EXPECT_EQ(a->FindRef(shared), 1);
  EXPECT_EQ(a->FindRef(a), -1);
  int before = Thing::destroyed;
  a->DeleteReference(1);
  EXPECT_EQ(Thing::destroyed, before) << "b still references it";
  EXPECT_EQ(shared->NumDependents(), 1);
  Thing* other = new Thing;
  EXPECT_EQ(b->ReplaceReference(0, other, FALSE), REF_SUCCEED);
  EXPECT_EQ(Thing::destroyed, before) << "without delete-old the unreferenced target stays";
  EXPECT_EQ(shared->NumDependents(), 0);
  EXPECT_EQ(b->GetReference(0), other);
  b->ReplaceReference(0, shared, TRUE);
  EXPECT_EQ(Thing::destroyed, before + 1) << "with delete-old the last reference takes the target along";
  a->DeleteMe();
  b->DeleteMe();
}

TEST(References, DeleteMeOfATargetClearsWhatReferencesItAndOfAMakerReleasesAWholeTree) {
  long live = GetLiveRefTargetCount();
  Thing* m1 = new Thing(2);
  Thing* m2 = new Thing(1);
  Thing* target = Link(m2, 0, Link(m1, 1, Link(m1, 0, new Thing)));  // m1 holds it twice
  EXPECT_EQ(target->NumDependents(), 3);
  target->DeleteMe();
  EXPECT_TRUE(!m1->GetReference(0) && !m1->GetReference(1) && !m2->GetReference(0));
  ASSERT_FALSE(m2->heard.empty());
  EXPECT_EQ(m2->heard.back().first, (RefMessage)REFMSG_TARGET_DELETED);
  m1->DeleteMe();
  m2->DeleteMe();
  EXPECT_EQ(GetLiveRefTargetCount(), live);

  Thing* root = new Thing(2);
  Thing* mid = Link(root, 0, new Thing(2));
  Link(root, 1, new Thing);
  Link(mid, 0, new Thing);
  Link(mid, 1, new Thing);
  EXPECT_EQ(GetLiveRefTargetCount(), live + 5);
  root->DeleteMe();
  EXPECT_EQ(GetLiveRefTargetCount(), live);
}

TEST(References, CyclesAndBadIndicesAreRefused) {
  quortest::AssertRecorder rec;
  Thing* a = new Thing(1);
  Thing* c = Link(Link(a, 0, new Thing(1)), 0, new Thing(1));
  EXPECT_EQ(c->MakeRefByID(FOREVER, 0, a), REF_FAIL);
  EXPECT_EQ(c->GetReference(0), nullptr);
  EXPECT_EQ(a->NumDependents(), 0);
  EXPECT_EQ(a->TestForLoop(FOREVER, c), REF_FAIL);
  EXPECT_EQ(c->TestForLoop(FOREVER, a), REF_SUCCEED);
  EXPECT_EQ(a->MakeRefByID(FOREVER, 0, a), REF_FAIL) << "a reference to oneself is a cycle";
  EXPECT_TRUE(rec.Hits().empty());
  Thing* d = new Thing;
  EXPECT_EQ(a->MakeRefByID(FOREVER, 1, d), REF_FAIL);
  EXPECT_EQ(a->MakeRefByID(FOREVER, -1, d), REF_FAIL);
  EXPECT_EQ(rec.Hits().size(), 2u) << "a slot out of range is asserted";
  EXPECT_EQ(d->NumDependents(), 0);
  d->DeleteMe();
  a->DeleteMe();
}

namespace {
// A maker that keeps its targets: a null is ignored.
struct Clinger : Thing {
  Clinger() : Thing(2) {}
  void SetReference(int i, RefTargetHandle t) override {
    if (t) Thing::SetReference(i, t);
  }
};
}  // namespace

// A maker that refuses to let go of a deleted target is a fault of that maker: each of its slots
// is reported once, the deletion ends, and the others still lose their references.
TEST(References, ADeletionEndsWhenAMakerRefusesToLetGo) {
  quortest::AssertRecorder rec;
  long live = GetLiveRefTargetCount();
  Thing* target = new Thing;
  Thing* plain = new Thing(1);
  Clinger* clinger = new Clinger;
  Link(plain, 0, target);
  Link(clinger, 1, Link(clinger, 0, target));
  target->DeleteMe();
  EXPECT_EQ(plain->GetReference(0), nullptr);
  EXPECT_EQ(rec.Hits().size(), 2u) << "one report per slot the maker kept";
  EXPECT_EQ(GetLiveRefTargetCount(), live + 2) << "the target went";
  clinger->refs.assign(2, nullptr);  // what it kept is gone; it must not let go of it again
  clinger->DeleteMe();
  plain->DeleteMe();
  EXPECT_EQ(GetLiveRefTargetCount(), live);
}

TEST(Notification, ReachesEveryDependentAndPropagatesUpward) {
  // The first dependent drops its reference while being told; the others are told all the same.
  struct Dropper : Thing {
    Dropper() : Thing(1) {}
    RefResult NotifyRefChanged(Interval i, RefTargetHandle t, PartID& p, RefMessage m) override {
      Thing::NotifyRefChanged(i, t, p, m);
      ReplaceReference(0, nullptr, FALSE);
      return REF_SUCCEED;
    }
  };
  Dropper* d = new Dropper;
  Thing* top = new Thing(1);
  Thing* mid = Link(top, 0, new Thing(1));
  Thing* leaf = Link(mid, 0, Link(d, 0, new Thing));
  leaf->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  EXPECT_EQ(d->heard.size(), 1u);
  EXPECT_EQ(leaf->NumDependents(), 1);
  ASSERT_EQ(mid->heard.size(), 1u);
  EXPECT_EQ(mid->heard[0].first, (RefMessage)REFMSG_CHANGE);
  EXPECT_EQ(mid->heard[0].second, leaf);
  EXPECT_EQ(mid->lastPart, (PartID)PART_ALL);
  ASSERT_EQ(top->heard.size(), 1u);
  EXPECT_EQ(top->heard[0].second, mid) << "each level passes itself on as the changed target";
  top->DeleteMe();
  d->DeleteMe();
}

TEST(Notification, StopNoPropagationAndFiltersKeepItLocal) {
  Thing* top = new Thing(1);
  Thing* mid = Link(top, 0, new Thing(1));
  Thing* leaf = Link(mid, 0, new Thing);
  mid->answer = REF_STOP;
  leaf->NotifyDependents(FOREVER, PART_ALL, 0xFD);
  EXPECT_EQ(mid->heard.size(), 1u);
  EXPECT_TRUE(top->heard.empty());
  mid->answer = REF_SUCCEED;
  leaf->NotifyDependents(FOREVER, 0, REFMSG_CONTROLREF_CHANGE, NOTIFY_ALL, FALSE);
  EXPECT_EQ(mid->heard.size(), 2u);
  EXPECT_EQ(mid->heard[1].first, (RefMessage)REFMSG_CONTROLREF_CHANGE);
  EXPECT_TRUE(top->heard.empty());
  // Messages reach dependents unchanged, whatever they are.
  for (RefMessage m : {0x50u, 0xFAu, 0xFDu, 0x102u, 258u, 80u}) leaf->NotifyDependents(FOREVER, 0, m);
  EXPECT_EQ(mid->heard.back().first, 80u);
  EXPECT_EQ(top->heard.size(), 6u);
  top->DeleteMe();

  // A super-class filter selects dependents.
  Thing* refTarget = new Thing(1);
  Thing* texture = new Thing(1);
  texture->superClass = TEXMAP_CLASS_ID;
  leaf = Link(texture, 0, Link(refTarget, 0, new Thing));
  leaf->NotifyDependents(FOREVER, 0, REFMSG_CHANGE, TEXMAP_CLASS_ID);
  EXPECT_TRUE(refTarget->heard.empty());
  EXPECT_EQ(texture->heard.size(), 1u);
  leaf->NotifyDependents(FOREVER, 0, REFMSG_CHANGE, 0xFFFFFF00);
  EXPECT_EQ(refTarget->heard.size(), 1u) << "0xFFFFFF00 and up reach everyone";
  EXPECT_EQ(texture->heard.size(), 2u);
  refTarget->DeleteMe();
  texture->DeleteMe();
}

namespace {
// A dependent that deletes itself when told of a change and counts the things destroyed while
// its DeleteMe ran.
struct SelfDeleter : Thing {
  explicit SelfDeleter(int* destroyedMeanwhile) : Thing(2), destroyedMeanwhile(destroyedMeanwhile) {}
  RefResult NotifyRefChanged(Interval, RefTargetHandle, PartID&, RefMessage) override {
    int before = Thing::destroyed;
    DeleteMe();
    *destroyedMeanwhile = Thing::destroyed - before;
    return REF_SUCCEED;
  }
  int* destroyedMeanwhile;
};
}  // namespace

// A dependent that deletes itself while being told goes when the walk is done; what its deletion
// takes along goes at once and is not told any more; the target it was last to hold waits too.
TEST(Notification, ADependentThatDeletesItselfGoesAfterTheWalkAndWhatItTakesAlongIsPassedOver) {
  int meanwhile = -1;
  Thing* target = new Thing;
  SelfDeleter* deleter = new SelfDeleter(&meanwhile);
  Link(deleter, 0, target);
  Thing* owned = new Thing(1);
  Link(owned, 0, target);
  Link(deleter, 1, owned);  // held only by the deleter
  Thing* last = new Thing(1);
  Link(last, 0, target);
  ASSERT_EQ(target->GetDependent(1), owned);
  int destroyed = Thing::destroyed;
  target->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  EXPECT_EQ(meanwhile, 1) << "only what the deleter held went while it was told";
  EXPECT_EQ(Thing::destroyed, destroyed + 2);
  EXPECT_EQ(last->heard.size(), 1u) << "the walk went on past the deleted dependents";
  EXPECT_EQ(target->NumDependents(), 1);
  last->DeleteMe();

  // The deleter was the target's last dependent: the target waits for its own walk to end.
  Thing* alone = new Thing;
  Link(new SelfDeleter(&meanwhile), 0, alone);
  destroyed = Thing::destroyed;
  alone->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  EXPECT_EQ(meanwhile, 0);
  EXPECT_EQ(Thing::destroyed, destroyed + 2);
}

// The iterator walks each dependent once, also while each lets go of the target on the way: the
// walk a library does to replace a target by hand, without deleting it.
TEST(Dependents, IteratorWalksEachDependentOnceAlsoWhileTheyReplaceTheTarget) {
  Thing* a = new Thing(2);
  Thing* b = new Thing(1);
  Thing* t = Link(b, 0, Link(a, 1, Link(a, 0, new Thing)));
  DependentIterator it(t);
  std::vector<ReferenceMaker*> seen;
  while (ReferenceMaker* m = it.Next()) seen.push_back(m);
  EXPECT_EQ(seen, (std::vector<ReferenceMaker*>{a, b}));
  EXPECT_EQ(it.Next(), nullptr);
  it.Reset();
  EXPECT_EQ(it.Next(), a);

  a->DeleteReference(1);
  Thing* fresh = new Thing;
  int replaced = 0, destroyed = Thing::destroyed;
  it.Reset();
  while (ReferenceMaker* m = it.Next()) {
    int i = m->FindRef(t);
    if (i >= 0 && m->ReplaceReference(i, fresh, FALSE) == REF_SUCCEED) replaced++;
  }
  EXPECT_EQ(replaced, 2);
  EXPECT_EQ(t->NumDependents(), 0);
  EXPECT_EQ(fresh->NumDependents(), 2);
  EXPECT_EQ(Thing::destroyed, destroyed) << "without delete-old the target stays";
  t->DeleteMe();
  EXPECT_EQ(Thing::destroyed, destroyed + 1);
  a->DeleteMe();
  b->DeleteMe();
}

TEST(Cloning, ASharedObjectIsClonedOncePerOperationOrRemapDirectory) {
  Thing* root = new Thing(2, 7);
  Thing* shared = Link(root, 1, Link(root, 0, new Thing(0, 3)));
  Thing* copy = static_cast<Thing*>(root->Clone(NoRemap()));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->value, 7);
  ASSERT_NE(copy->GetReference(0), nullptr);
  EXPECT_NE(copy->GetReference(0), shared);
  EXPECT_EQ(copy->GetReference(0), copy->GetReference(1));
  EXPECT_EQ(static_cast<Thing*>(copy->GetReference(0))->value, 3);
  Thing* again = static_cast<Thing*>(root->Clone(NoRemap()));
  EXPECT_NE(again->GetReference(0), copy->GetReference(0)) << "a second operation makes new clones";

  // A remap directory of one's own maps across calls.
  Thing* other = new Thing(1);
  Link(other, 0, shared);
  RemapDir* remap = NewRemapDir();
  Thing* c1 = static_cast<Thing*>(remap->CloneRef(root));
  Thing* c2 = static_cast<Thing*>(remap->CloneRef(other));
  EXPECT_EQ(c1->GetReference(0), c2->GetReference(0));
  EXPECT_EQ(remap->FindMapping(shared), c1->GetReference(0));
  EXPECT_EQ(remap->CloneRef(root), c1);
  EXPECT_EQ(remap->CloneRef(nullptr), nullptr);
  remap->DeleteThis();
  for (Thing* t : {again, copy, c1, c2, root, other}) t->DeleteMe();
}

namespace {
// A thing whose cloning stops halfway, after its parent's clone has mapped a shared child, until
// another thread has cloned too.
class PausingThing : public Thing {
 public:
  RefTargetHandle Clone(RemapDir& remap) override {
    SetEvent(paused);
    WaitForSingleObject(resume, INFINITE);
    return Thing::Clone(remap);
  }
  HANDLE paused = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE resume = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

struct SecondClone {
  PausingThing* pauser;
  Thing* source;
  Thing* copy = nullptr;
};

unsigned __stdcall CloneWhileTheOtherIsPaused(void* p) {
  SecondClone* c = static_cast<SecondClone*>(p);
  WaitForSingleObject(c->pauser->paused, INFINITE);
  c->copy = static_cast<Thing*>(c->source->Clone(NoRemap()));
  SetEvent(c->pauser->resume);
  return 0;
}
}  // namespace

TEST(Cloning, EachThreadStartsItsOwnOperationWhileAnotherIsInProgress) {
  Thing* first = new Thing(2, 1);
  Thing* shared = Link(first, 0, new Thing(0, 5));
  PausingThing* pauser = new PausingThing;
  Link(first, 1, pauser);
  Thing* second = new Thing(1, 2);
  Link(second, 0, shared);
  SecondClone other{pauser, second};
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, CloneWhileTheOtherIsPaused, &other, 0, nullptr));
  ASSERT_NE(thread, nullptr);
  Thing* copy = static_cast<Thing*>(first->Clone(NoRemap()));
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(other.copy, nullptr);
  Thing* mine = static_cast<Thing*>(copy->GetReference(0));
  Thing* theirs = static_cast<Thing*>(other.copy->GetReference(0));
  ASSERT_NE(theirs, nullptr);
  EXPECT_NE(theirs, mine) << "the other thread's clone did not take this thread's mapping";
  EXPECT_NE(theirs, shared);
  EXPECT_EQ(theirs->value, 5);
  CloseHandle(pauser->paused);
  CloseHandle(pauser->resume);
  for (Thing* t : {copy, other.copy, first, second}) t->DeleteMe();
}

namespace {
struct CloneJob {
  Thing* source;
  RefTargetHandle copy = nullptr;
};
// Clones a small tree through the thread's own directory and ends, leaving the directory's
// mappings for the end of the thread to release.
unsigned __stdcall CloneAndEnd(void* p) {
  CloneJob* job = static_cast<CloneJob*>(p);
  job->copy = job->source->Clone(NoRemap());
  return 0;
}
}  // namespace

// A thread's clone directory goes with the thread without touching memory that is no longer
// its own: the run-time heap, where both the directory and its mappings live, stays sound
// however many cloning threads come and go.
TEST(Cloning, AThreadsDirectoryGoesWithTheThreadAndLeavesTheHeapSound) {
  const int kRounds = 8;
  const int kThreads = 4;
  Thing* source = new Thing(2, 1);
  Link(source, 0, new Thing(0, 2));
  Link(source, 1, new Thing(0, 3));
  HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
  ASSERT_NE(heap, nullptr);
  for (int round = 0; round < kRounds; round++) {
    CloneJob jobs[kThreads];
    HANDLE threads[kThreads];
    for (int i = 0; i < kThreads; i++) {
      jobs[i].source = source;
      threads[i] = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, CloneAndEnd, &jobs[i], 0, nullptr));
      ASSERT_NE(threads[i], nullptr);
    }
    WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
    for (HANDLE h : threads) CloseHandle(h);
    ASSERT_TRUE(HeapValidate(heap, 0, nullptr)) << "round " << round;
    for (CloneJob& j : jobs) {
      ASSERT_NE(j.copy, nullptr);
      j.copy->DeleteMe();
    }
  }
  source->DeleteMe();
}

TEST(Animatable, NamesComeFromTheClassDirectoryAndSubAnimationsAnimateTheParent) {
  Thing* t = new Thing(1);
  CStr name;
  t->GetClassName(name);
  EXPECT_STREQ(name, "Thing");
  EXPECT_FALSE(t->IsAnimated());
  TimeValue nt = 5;
  EXPECT_FALSE(t->GetNextKeyTime(0, NEXTKEY_RIGHT, nt));
  EXPECT_EQ(nt, 5) << "no key, no time";
  Control* c = NewDefaultFloatController();
  t->MakeRefByID(FOREVER, 0, c);
  AnimateOn();
  float v = 1.0f;
  c->SetValue(10, &v);
  AnimateOff();
  EXPECT_TRUE(t->IsAnimated()) << "a keyed sub-animation animates its parent";
  t->DeleteMe();
}

// Swapping one object for a fresh one everywhere it is held: what a reset button does to a
// parameter. Every slot of every holder moves, except one that would close a cycle.
TEST(References, TransferMovesEverySlotOfEveryHolderAndUndoesAsOneStep) {
  theHold.ClearHistory();
  Thing* old = new Thing;
  Thing* fresh = new Thing(1);
  Thing* keeper = new Thing(1);
  Link(keeper, 0, fresh);
  Thing* single = new Thing(1);
  Thing* twice = new Thing(3);
  Thing* loop = new Thing(1);
  Link(single, 0, old);
  Link(twice, 0, old);
  Link(twice, 2, old);
  Link(loop, 0, old);
  Link(fresh, 0, loop);  // fresh depends on loop: loop cannot hold fresh
  theHold.Begin();
  EXPECT_EQ(old->TransferReferences(fresh), 3);
  theHold.Accept("Reset");
  EXPECT_EQ(single->GetReference(0), fresh);
  EXPECT_EQ(twice->GetReference(0), fresh);
  EXPECT_EQ(twice->GetReference(2), fresh);
  EXPECT_EQ(loop->GetReference(0), old);
  EXPECT_EQ(old->NumDependents(), 1);
  EXPECT_EQ(fresh->NumDependents(), 4);
  EXPECT_EQ(old->TransferReferences(old), 0);

  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(single->GetReference(0), old);
  EXPECT_EQ(twice->GetReference(2), old);
  EXPECT_EQ(old->NumDependents(), 4);
  EXPECT_EQ(fresh->NumDependents(), 1);
  theHold.ClearHistory();

  // With delete-old the object goes once nobody holds it.
  int destroyed = Thing::destroyed;
  fresh->ReplaceReference(0, nullptr, FALSE);  // loop is free to take fresh now
  EXPECT_EQ(old->TransferReferences(fresh, TRUE), 4);
  EXPECT_EQ(Thing::destroyed, destroyed + 1);
  // A holder that fresh depends on keeps its target, which stays although delete-old was asked.
  Thing* kept = new Thing;
  Link(single, 0, kept);
  Link(fresh, 0, single);
  EXPECT_EQ(kept->TransferReferences(fresh, TRUE), 0);
  EXPECT_EQ(single->GetReference(0), kept);
  EXPECT_EQ(kept->NumDependents(), 1);

  // The keeper holds fresh, fresh holds single, single holds kept: they go with it (the count of
  // live targets at the end of every test shows what stays).
  for (Thing* t : {twice, loop, keeper}) t->DeleteMe();
}

// A deletion made in a hold that is cancelled or undone gives the object back to whoever held
// it: it lives on after its records have gone, and a later deletion deletes it. A redone
// deletion lets it go with the history.
TEST(References, ADeletionCancelledOrUndoneGivesTheObjectBackForGood) {
  theHold.ClearHistory();
  Thing* maker = new Thing(1);
  Thing* target = Link(maker, 0, new Thing(1));
  Thing* child = Link(target, 0, new Thing);
  int destroyed = Thing::destroyed;
  theHold.Begin();
  target->DeleteMe();
  EXPECT_EQ(maker->GetReference(0), nullptr);
  theHold.Cancel();
  EXPECT_EQ(Thing::destroyed, destroyed) << "nothing goes with the cancelled records";
  ASSERT_EQ(maker->GetReference(0), target);
  EXPECT_EQ(target->GetReference(0), child);
  target->DeleteMe();
  EXPECT_EQ(Thing::destroyed, destroyed + 2) << "the object given back deletes as any other";
  EXPECT_EQ(maker->GetReference(0), nullptr);

  target = Link(maker, 0, new Thing(1));
  child = Link(target, 0, new Thing);
  destroyed = Thing::destroyed;
  theHold.Begin();
  target->DeleteMe();
  theHold.Accept("Delete");
  ASSERT_TRUE(theHold.Undo());
  theHold.ClearHistory();
  EXPECT_EQ(Thing::destroyed, destroyed) << "the history went, the undone deletion stays undone";
  ASSERT_EQ(maker->GetReference(0), target);
  EXPECT_EQ(target->NumDependents(), 1);

  theHold.Begin();
  target->DeleteMe();
  theHold.Accept("Delete");
  ASSERT_TRUE(theHold.Undo());
  ASSERT_TRUE(theHold.Redo());
  EXPECT_EQ(maker->GetReference(0), nullptr);
  EXPECT_EQ(Thing::destroyed, destroyed) << "the redo step still needs it";
  theHold.ClearHistory();
  EXPECT_EQ(Thing::destroyed, destroyed + 2);
  maker->DeleteMe();
}

// Transfer with delete-old in a hold: undone, the old object serves its holders again after the
// history has gone; redone, it goes with the history.
TEST(References, ATransferWithDeleteOldUndoneKeepsTheOldObjectAndRedoneLetsItGo) {
  theHold.ClearHistory();
  Thing* holder = new Thing(1);
  Thing* old = Link(holder, 0, new Thing);
  Thing* fresh = new Thing;
  int destroyed = Thing::destroyed;
  theHold.Begin();
  EXPECT_EQ(old->TransferReferences(fresh, TRUE), 1);
  theHold.Accept("Reset");
  ASSERT_TRUE(theHold.Undo());
  theHold.ClearHistory();
  EXPECT_EQ(Thing::destroyed, destroyed + 1) << "only the fresh object, which nobody holds, goes";
  ASSERT_EQ(holder->GetReference(0), old);
  EXPECT_EQ(old->NumDependents(), 1);

  fresh = new Thing;
  theHold.Begin();
  old->TransferReferences(fresh, TRUE);
  theHold.Accept("Reset");
  ASSERT_TRUE(theHold.Undo());
  ASSERT_TRUE(theHold.Redo());
  EXPECT_EQ(holder->GetReference(0), fresh);
  destroyed = Thing::destroyed;
  theHold.ClearHistory();
  EXPECT_EQ(Thing::destroyed, destroyed + 1) << "the old object went with the history";
  holder->DeleteMe();
}

// A change that kept its old target (no delete-old) keeps it when redone: the caller still owns it.
TEST(References, ARedoneChangeWithoutDeleteOldLeavesTheOldTargetToItsCaller) {
  theHold.ClearHistory();
  Thing* maker = new Thing(1);
  Thing* kept = Link(maker, 0, new Thing(0, 1));
  theHold.Begin();
  maker->ReplaceReference(0, new Thing(0, 2), FALSE);
  theHold.Accept("Swap");
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(maker->GetReference(0), kept);
  ASSERT_TRUE(theHold.Redo());
  int destroyed = Thing::destroyed;
  theHold.ClearHistory();
  EXPECT_EQ(Thing::destroyed, destroyed) << "the kept target is the caller's";
  EXPECT_EQ(kept->value, 1);
  EXPECT_EQ(kept->NumDependents(), 0);
  kept->DeleteMe();
  maker->DeleteMe();
}
