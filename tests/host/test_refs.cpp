// The reference system: lifetimes, notification, loops, cloning.
#include "TestSupport.h"
#include "things.h"

#include <gtest/gtest.h>

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

TEST(Dependents, IteratorWalksEachDependentOnce) {
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
