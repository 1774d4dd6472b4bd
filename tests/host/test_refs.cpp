// The reference system: lifetimes, notification, loops, cloning.
#include "TestSupport.h"
#include "things.h"

#include <gtest/gtest.h>

TEST(References, MakeRefByIDRecordsTheDependentAndCallsSetReference) {
  Thing* maker = new Thing(2);
  Thing* target = new Thing;
  EXPECT_EQ(maker->MakeRefByID(FOREVER, 1, target), REF_SUCCEED);
  EXPECT_EQ(maker->GetReference(1), target);
  EXPECT_EQ(target->NumDependents(), 1);
  EXPECT_EQ(target->GetDependent(0), maker);
  EXPECT_EQ(maker->FindRef(target), 1);
  EXPECT_EQ(maker->FindRef(maker), -1);
  maker->DeleteMe();  // the last dependent goes: the target goes with it
}

TEST(References, ATargetDiesWithItsLastReferenceWhenDeleteOldIsSet) {
  Thing* a = new Thing(1);
  Thing* b = new Thing(1);
  Thing* shared = new Thing;
  a->MakeRefByID(FOREVER, 0, shared);
  b->MakeRefByID(FOREVER, 0, shared);
  int before = Thing::destroyed;
  a->DeleteReference(0);
  EXPECT_EQ(Thing::destroyed, before) << "b still references it";
  EXPECT_EQ(shared->NumDependents(), 1);
  b->ReplaceReference(0, nullptr, TRUE);
  EXPECT_EQ(Thing::destroyed, before + 1);
  a->DeleteMe();
  b->DeleteMe();
}

TEST(References, ReplacingWithoutDeleteOldKeepsTheTarget) {
  Thing* maker = new Thing(1);
  Thing* first = new Thing;
  Thing* second = new Thing;
  maker->MakeRefByID(FOREVER, 0, first);
  int before = Thing::destroyed;
  EXPECT_EQ(maker->ReplaceReference(0, second, FALSE), REF_SUCCEED);
  EXPECT_EQ(Thing::destroyed, before);
  EXPECT_EQ(first->NumDependents(), 0);
  EXPECT_EQ(maker->GetReference(0), second);
  first->DeleteMe();
  maker->DeleteMe();
}

TEST(References, DeleteMeOfATargetClearsWhatReferencesIt) {
  Thing* m1 = new Thing(2);
  Thing* m2 = new Thing(1);
  Thing* target = new Thing;
  m1->MakeRefByID(FOREVER, 0, target);
  m1->MakeRefByID(FOREVER, 1, target);  // the same target twice
  m2->MakeRefByID(FOREVER, 0, target);
  EXPECT_EQ(target->NumDependents(), 3);
  target->DeleteMe();
  EXPECT_EQ(m1->GetReference(0), nullptr);
  EXPECT_EQ(m1->GetReference(1), nullptr);
  EXPECT_EQ(m2->GetReference(0), nullptr);
  ASSERT_FALSE(m2->heard.empty());
  EXPECT_EQ(m2->heard.back().first, (RefMessage)REFMSG_TARGET_DELETED);
  m1->DeleteMe();
  m2->DeleteMe();
}

TEST(References, DeletingAMakerReleasesAWholeTree) {
  long live = GetLiveRefTargetCount();
  Thing* root = new Thing(2);
  Thing* mid = new Thing(2);
  root->MakeRefByID(FOREVER, 0, mid);
  root->MakeRefByID(FOREVER, 1, new Thing);
  mid->MakeRefByID(FOREVER, 0, new Thing);
  mid->MakeRefByID(FOREVER, 1, new Thing);
  EXPECT_EQ(GetLiveRefTargetCount(), live + 5);
  root->DeleteMe();
  EXPECT_EQ(GetLiveRefTargetCount(), live);
}

TEST(References, CyclesAndBadIndicesAreRefused) {
  quortest::AssertRecorder rec;
  Thing* a = new Thing(1);
  Thing* b = new Thing(1);
  Thing* c = new Thing(1);
  a->MakeRefByID(FOREVER, 0, b);
  b->MakeRefByID(FOREVER, 0, c);
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
  EXPECT_EQ(rec.Hits().size(), 2u);
  EXPECT_EQ(d->NumDependents(), 0);
  d->DeleteMe();
  a->DeleteMe();
}

TEST(Notification, ReachesEveryDependentAndPropagatesUpward) {
  Thing* top = new Thing(1);
  Thing* mid = new Thing(1);
  Thing* other = new Thing(1);
  Thing* leaf = new Thing;
  top->MakeRefByID(FOREVER, 0, mid);
  mid->MakeRefByID(FOREVER, 0, leaf);
  other->MakeRefByID(FOREVER, 0, leaf);
  leaf->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  ASSERT_EQ(mid->heard.size(), 1u);
  EXPECT_EQ(mid->heard[0].first, (RefMessage)REFMSG_CHANGE);
  EXPECT_EQ(mid->heard[0].second, leaf);
  EXPECT_EQ(mid->lastPart, (PartID)PART_ALL);
  ASSERT_EQ(other->heard.size(), 1u);
  ASSERT_EQ(top->heard.size(), 1u);
  EXPECT_EQ(top->heard[0].second, mid) << "each level passes itself on as the changed target";
  top->DeleteMe();
  other->DeleteMe();
}

TEST(Notification, StopAndNoPropagationKeepItLocal) {
  Thing* top = new Thing(1);
  Thing* mid = new Thing(1);
  Thing* leaf = new Thing;
  top->MakeRefByID(FOREVER, 0, mid);
  mid->MakeRefByID(FOREVER, 0, leaf);
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
}

TEST(Notification, SuperClassFilterSelectsDependents) {
  Thing* refTarget = new Thing(1);
  Thing* texture = new Thing(1);
  texture->superClass = TEXMAP_CLASS_ID;
  Thing* leaf = new Thing;
  refTarget->MakeRefByID(FOREVER, 0, leaf);
  texture->MakeRefByID(FOREVER, 0, leaf);
  leaf->NotifyDependents(FOREVER, 0, REFMSG_CHANGE, TEXMAP_CLASS_ID);
  EXPECT_TRUE(refTarget->heard.empty());
  EXPECT_EQ(texture->heard.size(), 1u);
  leaf->NotifyDependents(FOREVER, 0, REFMSG_CHANGE, 0xFFFFFF00);
  EXPECT_EQ(refTarget->heard.size(), 1u) << "0xFFFFFF00 and up reach everyone";
  EXPECT_EQ(texture->heard.size(), 2u);
  refTarget->DeleteMe();
  texture->DeleteMe();
}

TEST(Notification, ADependentDroppingItsReferenceWhileToldIsSafe) {
  struct Dropper : Thing {
    Dropper() : Thing(1) {}
    RefResult NotifyRefChanged(Interval i, RefTargetHandle t, PartID& p, RefMessage m) override {
      Thing::NotifyRefChanged(i, t, p, m);
      ReplaceReference(0, nullptr, FALSE);
      return REF_SUCCEED;
    }
  };
  Dropper* d = new Dropper;
  Thing* other = new Thing(1);
  Thing* leaf = new Thing;
  d->MakeRefByID(FOREVER, 0, leaf);
  other->MakeRefByID(FOREVER, 0, leaf);
  leaf->NotifyDependents(FOREVER, 0, REFMSG_CHANGE);
  EXPECT_EQ(d->heard.size(), 1u);
  EXPECT_EQ(other->heard.size(), 1u);
  EXPECT_EQ(leaf->NumDependents(), 1);
  d->DeleteMe();
  other->DeleteMe();
}

TEST(Dependents, IteratorWalksEachDependentOnce) {
  Thing* a = new Thing(2);
  Thing* b = new Thing(1);
  Thing* t = new Thing;
  a->MakeRefByID(FOREVER, 0, t);
  a->MakeRefByID(FOREVER, 1, t);
  b->MakeRefByID(FOREVER, 0, t);
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

TEST(Cloning, ASharedObjectIsClonedOncePerOperation) {
  Thing* root = new Thing(2, 7);
  Thing* shared = new Thing(0, 3);
  root->MakeRefByID(FOREVER, 0, shared);
  root->MakeRefByID(FOREVER, 1, shared);
  Thing* copy = static_cast<Thing*>(root->Clone(NoRemap()));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->value, 7);
  ASSERT_NE(copy->GetReference(0), nullptr);
  EXPECT_NE(copy->GetReference(0), shared);
  EXPECT_EQ(copy->GetReference(0), copy->GetReference(1));
  EXPECT_EQ(static_cast<Thing*>(copy->GetReference(0))->value, 3);
  // A second operation makes new clones.
  Thing* again = static_cast<Thing*>(root->Clone(NoRemap()));
  EXPECT_NE(again->GetReference(0), copy->GetReference(0));
  again->DeleteMe();
  copy->DeleteMe();
  root->DeleteMe();
}

TEST(Cloning, OwnRemapDirectoryMapsAcrossCalls) {
  Thing* a = new Thing(1);
  Thing* b = new Thing(1);
  Thing* shared = new Thing;
  a->MakeRefByID(FOREVER, 0, shared);
  b->MakeRefByID(FOREVER, 0, shared);
  RemapDir* remap = NewRemapDir();
  Thing* ca = static_cast<Thing*>(remap->CloneRef(a));
  Thing* cb = static_cast<Thing*>(remap->CloneRef(b));
  EXPECT_EQ(ca->GetReference(0), cb->GetReference(0));
  EXPECT_EQ(remap->FindMapping(shared), ca->GetReference(0));
  EXPECT_EQ(remap->CloneRef(a), ca);
  EXPECT_EQ(remap->CloneRef(nullptr), nullptr);
  remap->DeleteThis();
  ca->DeleteMe();
  cb->DeleteMe();
  a->DeleteMe();
  b->DeleteMe();
}

TEST(Animatable, DefaultsOfTheHost) {
  Thing t;
  EXPECT_EQ(t.SubNumToRefNum(0), -1);
  EXPECT_FALSE(t.BypassTreeView());
  EXPECT_EQ(t.GetParamDimension(0), defaultDim);
  EXPECT_EQ(t.GetKeyIndex(0), -1);
  TimeValue nt = 5;
  EXPECT_FALSE(t.GetNextKeyTime(0, NEXTKEY_RIGHT, nt));
  EXPECT_EQ(nt, 5);
  EXPECT_FALSE(t.IsAnimated());
  CStr name;
  t.GetClassName(name);
  EXPECT_STREQ(name, "Thing");
  EXPECT_EQ(t.GetInterface(0x66B073EA), nullptr);
}
